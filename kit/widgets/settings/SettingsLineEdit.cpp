#include "kit/widgets/settings/SettingsLineEdit.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/widgets/settings/SettingsControlStyle.h"

#include <QLabel>

namespace {
constexpr int kHeight = 27;
constexpr int kIconSize = 17;
constexpr int kIconRightInset = 24;
constexpr int kPaddingLeft = 6;
const char kOkIcon[] = ":/Field_Icon_OK";
const char kAlertIcon[] = ":/Field_Icon_Alert";

QString lineEditStyle(const QColor& focus)
{
    return QStringLiteral(
               "QLineEdit { border: 1px solid white; border-radius: 4px; color: %1; "
               "background-color: %2; padding-bottom: 3px; padding-left: %7px; margin-left: 0px; }"
               "QLineEdit:focus { border: 1px solid %3; background-color: %4; margin-left: 0px; }"
               "QLineEdit:disabled { color: %5; background-color: %6; margin-left: 1px; }")
        .arg(colourToHex(kitColourText()), colourToRgba(kitColourLightFill(), 150),
             colourToHex(focus), colourToRgba(focus, 30), colourToRgba(kitColourInactiveText(), 100),
             colourToRgba(kitColourLightFill(), 100), QString::number(kPaddingLeft));
}
}

SettingsLineEdit::SettingsLineEdit(QWidget* parent)
    : QLineEdit(parent)
{
    setStyleSheet(lineEditStyle(brandingAccentColour()));
    setFrame(false);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setFont(kitFont(kSettingsControlFont));
    setFixedHeight(kHeight);

    statusIcon_ = new QLabel(this);
    statusIcon_->setFixedSize(kIconSize, kIconSize);
    statusIcon_->setStyleSheet(QStringLiteral("QLabel { background: none; }"));
    statusIcon_->hide();

    connect(this, &QLineEdit::textChanged, this, &SettingsLineEdit::updateStatusIcon);
    connect(this, &QLineEdit::returnPressed, this, &SettingsLineEdit::onReturnPressed);
}

void SettingsLineEdit::showIcon(const QString& resourceName)
{
    statusIcon_->setPixmap(loadIconPixmap(resourceName));
    statusIcon_->move(width() - kIconRightInset, (height() - statusIcon_->height()) / 2);
    statusIcon_->show();
}

void SettingsLineEdit::updateStatusIcon()
{
    if (hasAcceptableInput()) {
        if (hasFocus())
            showIcon(QString::fromLatin1(kOkIcon));
        else
            statusIcon_->hide();
    } else if (showStatus_) {
        showIcon(QString::fromLatin1(kAlertIcon));
    } else {
        statusIcon_->hide();
    }
}

void SettingsLineEdit::setStatusIcon(int kind)
{
    if (!showStatus_)
        kind = 0;
    switch (kind) {
    case 1: showIcon(QString::fromLatin1(kOkIcon)); break;
    case 2: showIcon(QString::fromLatin1(kAlertIcon)); break;
    default: statusIcon_->hide(); break;
    }
}

void SettingsLineEdit::setShowStatus(bool show)
{
    showStatus_ = show;
    if (!show)
        statusIcon_->hide();
}

void SettingsLineEdit::onReturnPressed()
{
    focusNextChild();
}

void SettingsLineEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (hasAcceptableInput())
        statusIcon_->hide();
}
