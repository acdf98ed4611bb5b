#pragma once

#include "plugins/zanthic/device/PotentialDevice.h"

#include <QSharedPointer>

#include <memory>

namespace TWG {
namespace Zanthic {

class UsbConnectionManager;

// The classes of a product id; a product outside the model table gets none.
// A device that cannot be made is logged and gets none; one that could not say who it is yet
// raises DeviceNotIdentified, so that its manager tries it again.
std::shared_ptr<UsbPotentialDevice> createPotentialDevice(std::weak_ptr<UsbConnectionManager> manager,
                                                          USB::IUSBDevice* device);
QSharedPointer<DeviceFirmwareUpdater> createFirmwareUpdater(std::shared_ptr<UsbConnectionManager> manager,
                                                            std::shared_ptr<UsbPotentialDevice> device);
std::shared_ptr<ConnectedDevice> createConnectedDevice(ConnectedDeviceOwner* owner,
                                                       std::shared_ptr<UsbPotentialDevice> device);

} // namespace Zanthic
} // namespace TWG
