#include "plugins/zanthic/ui/D2SettingsCheckBox.h"

#include "plugins/zanthic/ui/D2ControlStyle.h"

namespace TWG {
namespace Zanthic {

namespace {
const QString& checkBoxStyle()
{
    static const QString style =
        QStringLiteral("QCheckBox { spacing: 8px; color: %1 }QCheckBox::disabled { color: %4 }"
                       "QCheckBox::indicator { width: %2px; height: %3px; margin-top: 3px; margin-left: 1px;}"
                       "QCheckBox::indicator::unchecked { image: url(:/Checkbox); }"
                       "QCheckBox::indicator::checked { image: url(:/Checkbox_Active); }"
                       "QCheckBox::indicator::checked::disabled { image: url(:/Checkbox_Active_Disabled); }"
                       "QCheckBox::indicator::unchecked::disabled { image: url(:/Checkbox_Disabled); }"
                       "QCheckBox::indicator::unchecked::hover { image: url(:/Checkbox_Hover); }")
            .arg(colourToHex(kitColourText()), QString::number(18), QString::number(18), d2DisabledText());
    return style;
}
} // namespace

D2SettingsCheckBox::D2SettingsCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent)
{
    setFont(kitFont(kD2ControlFont));
    setStyleSheet(checkBoxStyle());
}

} // namespace Zanthic
} // namespace TWG
