#include "kit/widgets/CommonDialog.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/widgets/BusyButton.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/StyleHelpers.h"

#include <QLabel>
#include <QProgressBar>

namespace {

constexpr int kPanelWidth = 500;
constexpr int kTitleHeight = 40;
constexpr int kTextLeft = 30;
constexpr int kTextWidth = 440;
constexpr int kTextTop = 65;
constexpr int kHeadingLineHeight = 25;
constexpr int kMessageLineHeight = 20;
constexpr int kHeadingToMessage = 4;
constexpr int kButtonWidth = 114;
constexpr int kButtonHeight = 28;
constexpr int kNoButtonX = 222;
constexpr int kYesButtonX = 356;
constexpr int kButtonsBelowText = 39;
constexpr int kSpinnerBelowText = 43;
constexpr int kBarBelowText = 34;
constexpr int kProgressLabelBelowText = 40;
constexpr int kPanelBelowText = 97;
constexpr int kProgressBarHeight = 3;
constexpr int kProgressLabelHeight = 20;

QLabel* wrappedLabel(int fontIndex, QWidget* parent)
{
    QLabel* label = createStyledLabel(fontIndex, kitColourText(), parent);
    label->setAlignment(Qt::AlignLeft);
    label->setWordWrap(true);
    label->setFixedWidth(kTextWidth);
    return label;
}

} // namespace

int setLabelHeightForText(QLabel* label, int lineHeight)
{
    label->setFixedHeight(lineHeight);
    const int lineSpacing = label->fontMetrics().lineSpacing();
    const int lines = (label->sizeHint().height() + lineSpacing / 2) / lineSpacing;
    label->setFixedHeight(lineHeight * lines);
    return label->height();
}

CommonDialog::CommonDialog(const QString& title, QWidget* parent) : VantorelDialog(parent)
{
    QFrame* body = panel();

    titleBar_ = new QFrame(body);
    titleBar_->setObjectName(QStringLiteral("dialogTitle"));
    titleBar_->setStyleSheet(
        QStringLiteral("#dialogTitle {\tbackground: %1; border-width: 10; border-top-left-radius: "
                       "10; border-top-right-radius: 10; \tborder-bottom-color: %2; "
                       "border-bottom-width:1px; border-bottom-style:solid; }")
            .arg(colourToHex(kitColourLightFill()), colourToHex(kitColourBorder())));
    titleBar_->setGeometry(0, 0, kPanelWidth, kTitleHeight);

    titleLabel_ = createStyledLabel(1, kitColourText(), body);
    titleLabel_->setAlignment(Qt::AlignCenter);
    titleLabel_->setGeometry(0, 0, kPanelWidth, kTitleHeight);
    titleLabel_->setText(title);

    headingLabel_ = wrappedLabel(12, body);
    messageLabel_ = wrappedLabel(3, body);
    connect(messageLabel_, &QLabel::linkActivated, this, &CommonDialog::linkActivated);
    plainMessageLabel_ = wrappedLabel(3, body);

    progressLabel_ = createStyledLabel(3, kitColourText(), body);
    progressLabel_->setAlignment(Qt::AlignCenter);
    progressLabel_->setFixedSize(kTextWidth, kProgressLabelHeight);

    noButton_ = new CardPushButton(tr("Cancel"), body, kButtonWidth, kButtonHeight);
    connect(noButton_, &QPushButton::clicked, this, &CommonDialog::noClicked);
    yesButton_ = new CardPushButton(tr("Save"), body, kButtonWidth, kButtonHeight);
    connect(yesButton_, &QPushButton::clicked, this, &CommonDialog::yesClicked);
    closeButton_ = new CardPushButton(tr("Close"), body, kButtonWidth, kButtonHeight);
    connect(closeButton_, &QPushButton::clicked, this, &CommonDialog::closeClicked);

    progressBar_ = new QProgressBar(body);
    progressBar_->setFixedSize(kTextWidth, kProgressBarHeight);
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);
    progressBar_->setStyleSheet(QStringLiteral("QProgressBar { border: none; background: %1 } "
                                               "QProgressBar::chunk { background-color: %2; }")
                                    .arg(colourToHex(kitColourLightFill()),
                                         colourToHex(brandingAccentColour())));

    spinner_ = new BusyButton(body);
    connect(spinner_, &QAbstractButton::clicked, this, &CommonDialog::closeClicked);

    setMessageOnly(QString());
}

void CommonDialog::placeButtons(int y)
{
    noButton_->move(kNoButtonX, y + kButtonsBelowText);
    yesButton_->move(kYesButtonX, y + kButtonsBelowText);
    closeButton_->move(kYesButtonX, y + kButtonsBelowText);
    spinner_->move((kPanelWidth - spinner_->width()) / 2, y + kSpinnerBelowText);
    progressBar_->move(kTextLeft, y + kBarBelowText);
    progressLabel_->move(kTextLeft, y + kProgressLabelBelowText);
    panel()->setFixedSize(kPanelWidth, y + kPanelBelowText);
    centrePanel();
}

void CommonDialog::setTitleAndMessage(const QString& heading, const QString& message)
{
    headingLabel_->show();
    messageLabel_->show();
    plainMessageLabel_->hide();
    headingLabel_->setText(heading);
    const int headingHeight = setLabelHeightForText(headingLabel_, kHeadingLineHeight);
    headingLabel_->move(kTextLeft, kTextTop);
    messageLabel_->setText(message);
    const int messageHeight = setLabelHeightForText(messageLabel_, kMessageLineHeight);
    const int messageTop = headingHeight + kTextTop + kHeadingToMessage;
    messageLabel_->move(kTextLeft, messageTop);
    placeButtons(messageTop + messageHeight);
}

void CommonDialog::hideSpinner()
{
    spinner_->setBusy(false);
    spinner_->hide();
}

void CommonDialog::setTwoButtons(const QString& noText, const QString& yesText)
{
    noButton_->setText(noText);
    noButton_->show();
    yesButton_->setText(yesText);
    yesButton_->show();
    closeButton_->hide();
    progressBar_->hide();
    progressLabel_->hide();
    hideSpinner();
}

void CommonDialog::setSingleButton(const QString& text)
{
    noButton_->hide();
    yesButton_->hide();
    closeButton_->setText(text);
    closeButton_->show();
    progressBar_->hide();
    progressLabel_->hide();
    hideSpinner();
}

void CommonDialog::showProgressBar()
{
    noButton_->hide();
    yesButton_->hide();
    closeButton_->hide();
    progressBar_->show();
    progressLabel_->show();
    hideSpinner();
}

void CommonDialog::setProgress(int percent)
{
    if (percent < 0) {
        if (indeterminate_)
            return;
        indeterminate_ = true;
        progressBar_->setRange(0, 0);
        progressLabel_->setText(QStringLiteral("..."));
        return;
    }
    if (indeterminate_) {
        indeterminate_ = false;
        progressBar_->setRange(0, 100);
        progressBar_->setValue(0);
    }
    progressLabel_->setText(QStringLiteral("%1%").arg(percent));
    progressBar_->setValue(percent);
}

void CommonDialog::setMessageOnly(const QString& message)
{
    headingLabel_->hide();
    messageLabel_->hide();
    plainMessageLabel_->show();
    plainMessageLabel_->setText(message);
    const int height = setLabelHeightForText(plainMessageLabel_, kMessageLineHeight);
    plainMessageLabel_->move(kTextLeft, kTextTop);
    placeButtons(height + kTextTop);
}
