#include "plugins/zanthic/ui/D2SettingsRadioButton.h"

#include "kit/widgets/settings/SettingsControlStyle.h"
#include "plugins/zanthic/ui/D2ControlStyle.h"

namespace TWG {
namespace Zanthic {

namespace {
constexpr int kRadioHeight = 24;
} // namespace

D2SettingsRadioButton::D2SettingsRadioButton(const QString& text, QWidget* parent) : QRadioButton(text, parent)
{
    setFont(kitFont(kD2ControlFont));
    setStyleSheet(settingsRadioButtonStyle());
    setFixedHeight(kRadioHeight);
}

} // namespace Zanthic
} // namespace TWG
