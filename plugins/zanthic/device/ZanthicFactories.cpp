#include "plugins/zanthic/device/ZanthicFactories.h"

#include "kit/framework/DeviceFirmwareUpdater.h"
#include "plugins/zanthic/device/DfuUpgradeTask.h"
#include "plugins/zanthic/device/Stm32ConnectedDevice.h"
#include "plugins/zanthic/device/UsbConnectionManager.h"
#include "plugins/zanthic/device/XmegaConnectedDevice.h"
#include "plugins/zanthic/device/XmegaUsbPotentialDevice.h"
#include "plugins/zanthic/device/XmegaUsbUpgradeTask.h"
#include "plugins/zanthic/device/ZanthicLog.h"
#include "plugins/zanthic/device/ZanthicModels.h"
#include "protocol/ZanthicIds.h"
#include "usb/IUSBDevice.h"

#include <exception>

namespace TWG {
namespace Zanthic {

namespace {
bool listed(std::uint16_t productId) { return modelTable().count(productId) != 0; }
} // namespace

std::shared_ptr<UsbPotentialDevice> createPotentialDevice(std::weak_ptr<UsbConnectionManager> manager,
                                                          USB::IUSBDevice* device)
{
    if (!device)
        return nullptr;
    auto logged = [](const std::exception& e) {
        qCDebug(lcZanthic).noquote() << "Unable to connect to create potential device: " + QString::fromUtf8(e.what());
    };
    try {
        std::uint16_t productId = 0;
        if (device->getProductId(&productId) != 0 || !listed(productId))
            return nullptr;
        if (ids::isXmegaProduct(productId))
            return std::make_shared<XmegaUsbPotentialDevice>(manager, device);
        return std::make_shared<UsbPotentialDevice>(manager, device);
    } catch (const DeviceNotIdentified& e) {
        logged(e);
        throw;
    } catch (const std::exception& e) {
        logged(e);
        return nullptr;
    }
}

QSharedPointer<DeviceFirmwareUpdater> createFirmwareUpdater(std::shared_ptr<UsbConnectionManager> manager,
                                                            std::shared_ptr<UsbPotentialDevice> device)
{
    if (!device || !listed(device->productId()))
        return nullptr;
    if (ids::isXmegaProduct(device->productId()))
        return QSharedPointer<DeviceFirmwareUpdater>(new XmegaUsbUpgradeTask(std::move(manager), std::move(device)));
    return QSharedPointer<DeviceFirmwareUpdater>(new DfuUpgradeTask(std::move(manager), std::move(device)));
}

std::shared_ptr<ConnectedDevice> createConnectedDevice(ConnectedDeviceOwner* owner,
                                                       std::shared_ptr<UsbPotentialDevice> device)
{
    if (!device || !listed(device->productId()))
        return nullptr;
    if (ids::isXmegaProduct(device->productId()))
        return makeConnectedDevice<XmegaZanthicConvertersConnectedDevice>(owner, device);
    return makeConnectedDevice<Stm32ZanthicConvertersConnectedDevice>(owner, device);
}

} // namespace Zanthic
} // namespace TWG
