#include "shell/FooterLeftRegion.h"

#include "kit/widgets/FlatImageButton.h"
#include "kit/widgets/SecretButton.h"
#include "shell/CrossMenu.h"

namespace {
constexpr int kMenuGap = 10;
} // namespace

FooterLeftRegion::FooterLeftRegion(QWidget* parent) : QFrame(parent)
{
    crossMenu_ = new CrossMenu(this);
    connect(crossMenu_, &CrossMenu::menuOptionSelected, this, &FooterLeftRegion::crossMenuOptionSelected);

    crossButton_ = new FlatImageButton(QStringLiteral(":/Cross"), this);
    crossButton_->setHoverImage(QStringLiteral(":/Cross_Hover"));
    crossButton_->move(40, 0);
    crossButton_->hide();
    connect(crossButton_, &FlatImageButton::clicked, this, &FooterLeftRegion::onCrossButtonClicked);

    hotSpot_ = new SecretButton(this);
    hotSpot_->setFixedSize(20, 20);
    hotSpot_->move(0, 44);
    connect(hotSpot_, &SecretButton::secretClick, this, &FooterLeftRegion::easterEggClicked);

    setFixedSize(110, 64);
}

void FooterLeftRegion::setOptions(const QStringList& texts)
{
    options_ = texts;
    crossButton_->setVisible(!texts.isEmpty());
    if (texts.size() > 1)
        crossMenu_->setOptions(texts);
}

void FooterLeftRegion::onCrossButtonClicked()
{
    if (options_.isEmpty())
        return;
    if (options_.size() == 1) {
        emit crossMenuOptionSelected(options_.first());
        return;
    }
    crossMenu_->popup(crossButton_->mapToGlobal(QPoint(0, -kMenuGap - crossMenu_->sizeHint().height())));
}
