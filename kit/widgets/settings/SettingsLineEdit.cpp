#include "kit/widgets/settings/SettingsLineEdit.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/widgets/settings/SettingsControlStyle.h"

#include <QLabel>

namespace {
constexpr int kHeight = 27;
constexpr int kIconRightInset = 24;
constexpr int kPaddingLeft = 6;

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
    : StatusIconLineEdit(parent)
{
    setStyleSheet(lineEditStyle(brandingAccentColour()));
    setFrame(false);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setFont(kitFont(kSettingsControlFont));
    setFixedHeight(kHeight);
    statusIconLabel()->setStyleSheet(QStringLiteral("QLabel { background: none; }"));
}

void SettingsLineEdit::showIcon(int kind)
{
    showStatusIcon(kind, width() - kIconRightInset);
}

void SettingsLineEdit::updateStatusIcon()
{
    if (hasAcceptableInput())
        showIcon(hasFocus() ? OkIcon : NoIcon);
    else
        showIcon(showStatus_ ? AlertIcon : NoIcon);
}

void SettingsLineEdit::setStatusIcon(int kind)
{
    showIcon(showStatus_ ? kind : NoIcon);
}

void SettingsLineEdit::setShowStatus(bool show)
{
    showStatus_ = show;
    if (!show)
        showIcon(NoIcon);
}

void SettingsLineEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (hasAcceptableInput())
        showIcon(NoIcon);
}
