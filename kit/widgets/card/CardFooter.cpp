#include "kit/widgets/card/CardFooter.h"

#include "kit/framework/SettingsTab.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/FlatImageButton.h"
#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/card/CardPopupMenu.h"

namespace {
const char* const kFooterStyle =
    "#cardFooter {\tbackground: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2);"
    "\tborder-width: 10; border-bottom-left-radius: 10; border-bottom-right-radius: 10;}";
constexpr int kSettingsX = 36;
constexpr int kMadeWidth = 114;
constexpr int kMadeHeight = 25;
constexpr int kButtonWidth = 112;
constexpr int kButtonHeight = 24;
constexpr int kCancelX = 348;
constexpr int kSaveX = 478;
constexpr int kMenuGap = 5;
} // namespace

CardFooter::CardFooter(QWidget* parent)
    : QFrame(parent),
      settingsButton_(new FlatImageButton(QStringLiteral(":/Settings"), this)),
      popupMenu_(new CardPopupMenu(this)),
      cancelButton_(new CardPushButton(tr("Cancel"), this, kMadeWidth, kMadeHeight)),
      saveButton_(new CardPushButton(tr("Save"), this, kMadeWidth, kMadeHeight))
{
    setFixedHeight(kHeight);
    setObjectName(QStringLiteral("cardFooter"));
    setStyleSheet(QString::fromLatin1(kFooterStyle).arg(colourToHex(kitColourLightFill()), colourToHex(kitColourBorder())));

    settingsButton_->setPressedImage(QStringLiteral(":/Settings_Push"));
    settingsButton_->setDisabledImage(QStringLiteral(":/Settings_Disabled"));
    settingsButton_->move(kSettingsX, (kHeight - settingsButton_->height()) / 2);
    connect(settingsButton_, &FlatImageButton::clicked, this, &CardFooter::onSettingsPressed);

    const int buttonY = (kHeight - kButtonHeight) / 2;
    cancelButton_->setFixedSize(kButtonWidth, kButtonHeight);
    cancelButton_->move(kCancelX, buttonY);
    saveButton_->setFixedSize(kButtonWidth, kButtonHeight);
    saveButton_->move(kSaveX, buttonY);
    connect(cancelButton_, &CardPushButton::clicked, this, &CardFooter::cancelPressed);
    connect(saveButton_, &CardPushButton::clicked, this, &CardFooter::savePressed);
    connect(popupMenu_, &CardPopupMenu::menuOptionPressed, this, &CardFooter::menuOptionPressed);
}

void CardFooter::onSettingsPressed()
{
    emit settingsButtonPushed();
    if (popupMenu_->actions().isEmpty())
        return;
    const QPoint above(0, -kMenuGap - popupMenu_->sizeHint().height());
    popupMenu_->popup(settingsButton_->mapToGlobal(above));
}

void CardFooter::showCloseOnly()
{
    saveButton_->setText(tr("Close"));
    cancelButton_->hide();
}

void CardFooter::setButtonsVisible(bool visible)
{
    cancelButton_->setVisible(visible);
    saveButton_->setVisible(visible);
}

void CardFooter::setSettingsButtonVisible(bool visible)
{
    settingsButton_->setVisible(visible);
}

void CardFooter::setSaveEnabledForStatus(int settingsStatus)
{
    if (settingsStatus == SettingsStatus::Unchanged || settingsStatus == SettingsStatus::Changed)
        saveButton_->setEnabled(true);
    else if (settingsStatus == SettingsStatus::Invalid)
        saveButton_->setEnabled(false);
}
