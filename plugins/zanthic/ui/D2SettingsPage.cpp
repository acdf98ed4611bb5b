#include "plugins/zanthic/ui/D2SettingsPage.h"

namespace TWG {
namespace Zanthic {

QWidget* createD2SettingsPage(ZanthicConvertersConnectedDevice&, QWidget*) { return nullptr; }

} // namespace Zanthic
} // namespace TWG
