#include "shell/LauncherPushButton.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/widgets/StyleHelpers.h"

namespace {
constexpr int kWidth = 114;
constexpr int kHeight = 28;
constexpr int kDisabledAlpha = 100;
constexpr int kDefaultBorderAlpha = 180;
} // namespace

QString LauncherPushButton::launcherStyleSheet()
{
    const QColor top = kitColourGrey58();
    const QColor bottom = kitColourGrey40();
    const QColor border(23, 23, 23);
    const QColor text = kitColourBorder();
    QString sheet = QStringLiteral("QPushButton {\tbackground-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 "
                                   "%1, stop:1 %2);\tborder: 1px solid %3; border-radius: 4px;\tcolor: %4;}")
                        .arg(colourToHex(top), colourToHex(bottom), colourToHex(border), colourToHex(text));
    sheet += QStringLiteral("QPushButton:pressed {\tbackground-color: %1;}").arg(colourToHex(bottom));
    sheet += QStringLiteral("QPushButton:toggled {\tbackground-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
                            "stop:0 %1, stop:1 %2);}")
                 .arg(colourToHex(kitColourGrey45()), colourToHex(kitColourGrey26()));
    sheet += QStringLiteral("QPushButton:disabled {\tbackground-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 "
                            "%1, stop:1 %2);\tborder: 1px solid %3; border-radius: 4px;\tcolor: %4;}")
                 .arg(colourToRgba(top, kDisabledAlpha), colourToRgba(bottom, kDisabledAlpha),
                      colourToRgba(border, kDisabledAlpha), colourToRgba(text, kDisabledAlpha));
    sheet += QStringLiteral("QPushButton:default {\tborder: 1px solid %1;}")
                 .arg(colourToRgba(brandingAccentColour(), kDefaultBorderAlpha));
    return sheet;
}

LauncherPushButton::LauncherPushButton(const QString& text, QWidget* parent) : QPushButton(text, parent)
{
    setStyleSheet(launcherStyleSheet());
    setFont(kitFont(3));
    setFixedSize(kWidth, kHeight);
}
