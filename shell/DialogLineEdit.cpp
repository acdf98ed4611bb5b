#include "shell/DialogLineEdit.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/widgets/StyleHelpers.h"

namespace {
constexpr int kHeight = 33;
constexpr int kPaddingLeft = 6;
constexpr int kFillAlpha = 150;
constexpr int kFocusAlpha = 30;
constexpr int kDisabledAlpha = 100;
} // namespace

DialogLineEdit::DialogLineEdit(QWidget* parent) : QLineEdit(parent)
{
    const QColor accent = brandingAccentColour();
    setStyleSheet(QStringLiteral("QLineEdit { border: 1px solid white; border-radius: 4px; color: %1; "
                                 "background-color: %2; padding-bottom: 2px; padding-left: %7px; "
                                 "margin-left: 0px; }QLineEdit:focus { border: 1px solid %3; background-color: "
                                 "%4; margin-left: 0px; }QLineEdit:disabled { color: %5; background-color: %6; "
                                 "margin-left: 1px; }")
                      .arg(colourToHex(kitColourText()), colourToRgba(kitColourLightFill(), kFillAlpha),
                           colourToHex(accent), colourToRgba(accent, kFocusAlpha),
                           colourToRgba(kitColourInactiveText(), kDisabledAlpha),
                           colourToRgba(kitColourLightFill(), kDisabledAlpha))
                      .arg(kPaddingLeft));
    setFrame(false);
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setFont(kitFont(4));
    setFixedHeight(kHeight);
    connect(this, &QLineEdit::returnPressed, this, &DialogLineEdit::onReturnPressed);
}

void DialogLineEdit::onReturnPressed()
{
    focusNextChild();
}
