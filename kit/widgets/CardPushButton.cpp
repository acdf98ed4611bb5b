#include "kit/widgets/CardPushButton.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/widgets/StyleHelpers.h"

namespace {

constexpr int kDisabledAlpha = 100;
constexpr int kDefaultBorderAlpha = 180;

QString cardPushButtonStyle()
{
    const QColor& top = kitColourLightFill();
    const QColor& bottom = kitColourBorder();
    const QColor& border = kitColourButtonBorder();
    const QColor& text = kitColourText();
    QString style;
    style += QStringLiteral("QPushButton {\tbackground-color: qlineargradient(x1:0, y1:0, x2:0, "
                            "y2:1, stop:0 %1, stop:1 %2);\tborder: 1px solid %3; border-radius: "
                            "4px;\tcolor: %4;}")
                 .arg(colourToHex(top), colourToHex(bottom), colourToHex(border), colourToHex(text));
    style += QStringLiteral("QPushButton:pressed {\tbackground-color: %1;}").arg(colourToHex(bottom));
    style += QStringLiteral("QPushButton:toggled {\tbackground-color: qlineargradient(x1:0, y1:0, "
                            "x2:0, y2:1, stop:0 white, stop:1 %1);}")
                 .arg(colourToHex(top));
    style += QStringLiteral("QPushButton:disabled {\tbackground-color: qlineargradient(x1:0, y1:0, "
                            "x2:0, y2:1, stop:0 %1, stop:1 %2);\tborder: 1px solid %3; "
                            "border-radius: 4px;\tcolor: %4;}")
                 .arg(colourToRgba(top, kDisabledAlpha), colourToRgba(bottom, kDisabledAlpha),
                      colourToRgba(border, kDisabledAlpha), colourToRgba(text, kDisabledAlpha));
    style += QStringLiteral("QPushButton:default {\tborder: 1px solid %1;}")
                 .arg(colourToRgba(brandingAccentColour(), kDefaultBorderAlpha));
    return style;
}

} // namespace

CardPushButton::CardPushButton(const QString& text, QWidget* parent, int width, int height)
    : QPushButton(text, parent)
{
    setFixedSize(width, height);
    setFont(kitFont(7));
    setStyleSheet(cardPushButtonStyle());
}
