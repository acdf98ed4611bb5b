#include "kit/widgets/settings/SettingsCheckBox.h"

#include "kit/widgets/settings/SettingsControlStyle.h"

namespace {
constexpr int kIndicatorSize = 18;
}

SettingsCheckBox::SettingsCheckBox(const QString& text, QWidget* parent)
    : QCheckBox(text, parent)
{
    setFont(kitFont(kSettingsControlFont));
    setStyleSheet(
        QStringLiteral(
            "QCheckBox { spacing: 8px; color: %1 }QCheckBox::disabled { color: %4 }"
            "QCheckBox::indicator { width: %2px; height: %3px; margin-top: 2px; margin-left: 1px;}"
            "QCheckBox::indicator::unchecked { image: url(:/Checkbox); }"
            "QCheckBox::indicator::checked { image: url(:/Checkbox_Active); }"
            "QCheckBox::indicator::checked::disabled { image: url(:/Checkbox_Active_Disabled); }"
            "QCheckBox::indicator::unchecked::disabled { image: url(:/Checkbox_Disabled); }"
            "QCheckBox::indicator::unchecked::hover { image: url(:/Checkbox_Hover); }")
            .arg(colourToHex(kitColourText()), QString::number(kIndicatorSize),
                 QString::number(kIndicatorSize), colourToRgba(kitColourText(), kDisabledTextAlpha)));
}
