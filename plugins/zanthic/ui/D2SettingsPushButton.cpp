#include "plugins/zanthic/ui/D2SettingsPushButton.h"

#include "kit/branding/BrandingSettings.h"
#include "plugins/zanthic/ui/D2ControlStyle.h"

namespace TWG {
namespace Zanthic {

namespace {
constexpr int kButtonHeight = 24;
constexpr int kDefaultBorderAlpha = 180;

QString pushButtonStyle()
{
    const QColor top = kitColourLightFill();
    const QColor bottom = kitColourBorder();
    const QColor border = kitColourButtonBorder();
    const QColor text = kitColourText();
    return QStringLiteral("QPushButton {\tbackground-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, "
                          "stop:1 %2);\tborder: 1px solid %3; border-radius: 4px;\tcolor: %4;}")
               .arg(colourToHex(top), colourToHex(bottom), colourToHex(border), colourToHex(text)) +
           QStringLiteral("QPushButton:pressed {\tbackground-color: %1;}").arg(colourToHex(bottom)) +
           QStringLiteral("QPushButton:toggled {\tbackground-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                          "stop:0 white, stop:1 %1);}")
               .arg(colourToHex(top)) +
           QStringLiteral("QPushButton:disabled {\tbackground-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                          "stop:0 %1, stop:1 %2);\tborder: 1px solid %3; border-radius: 4px;\tcolor: %4;}")
               .arg(colourToRgba(top, kD2DisabledAlpha), colourToRgba(bottom, kD2DisabledAlpha),
                    colourToRgba(border, kD2DisabledAlpha), colourToRgba(text, kD2DisabledAlpha)) +
           QStringLiteral("QPushButton:default {\tborder: 1px solid %1;}")
               .arg(colourToRgba(brandingAccentColour(), kDefaultBorderAlpha));
}
} // namespace

D2SettingsPushButton::D2SettingsPushButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
    static const QString style = pushButtonStyle();
    setFont(kitFont(kD2ControlFont));
    setFixedSize(kWidth, kButtonHeight);
    setStyleSheet(style);
}

} // namespace Zanthic
} // namespace TWG
