#pragma once

class QWidget;

namespace TWG {
namespace Zanthic {

class ZanthicConvertersConnectedDevice;

// Builds a connected device's settings page for its card; the page itself is still to come,
// so there is none yet.
QWidget* createD2SettingsPage(ZanthicConvertersConnectedDevice& device, QWidget* card);

} // namespace Zanthic
} // namespace TWG
