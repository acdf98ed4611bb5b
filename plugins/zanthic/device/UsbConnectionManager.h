#pragma once

#include "plugins/zanthic/device/ConnectionManager.h"

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace TWG {
namespace USB {
class IUSBDevice;
} // namespace USB

namespace Zanthic {

class UsbNotifier;
class UsbPotentialDevice;

// The USB devices of the family's models: listed as they arrive (through the potential-device
// factory), the family told of each, and opened or updated on the family's request. Used on
// the GUI thread; the family's handlers run under the manager's recursive lock.
class UsbConnectionManager : public ConnectionManager {
public:
    using ConnectedDeviceFactory =
        std::function<std::shared_ptr<ConnectedDevice>(ConnectedDeviceOwner*, std::shared_ptr<UsbPotentialDevice>)>;
    using UpdaterFactory = std::function<QSharedPointer<DeviceFirmwareUpdater>(
        std::shared_ptr<UsbConnectionManager>, std::shared_ptr<UsbPotentialDevice>)>;
    // Empty: the device is not listed.
    using PotentialDeviceFactory =
        std::function<std::shared_ptr<UsbPotentialDevice>(std::shared_ptr<UsbConnectionManager>, USB::IUSBDevice*)>;
    using CardWidgetHook = std::function<QWidget*(ConnectedDeviceOwner*, std::shared_ptr<UsbPotentialDevice>)>;

    // Throws std::invalid_argument without a potential-device factory.
    UsbConnectionManager(DeviceListener* family, ModelTable models, ConnectedDeviceFactory connectedDeviceFactory,
                         UpdaterFactory updaterFactory, PotentialDeviceFactory potentialDeviceFactory,
                         CardWidgetHook cardWidgetHook);
    ~UsbConnectionManager() override;

    // Devices present now arrive on a later turn of the event loop, as later ones do.
    bool start() override;
    std::shared_ptr<ConnectedDevice> connect(ConnectedDeviceOwner* owner, PotentialDevice* device) override;
    QSharedPointer<DeviceFirmwareUpdater> createUpdater(PotentialDevice& device) override;
    QWidget* callHook(ConnectedDeviceOwner* owner, PotentialDevice* device) override;

    // Empty for an empty serial: a device whose serial could not be read is never found.
    std::shared_ptr<UsbPotentialDevice> findPotentialDevice(const QString& serial);
    std::shared_ptr<UsbPotentialDevice> findPotentialDeviceByUsbDevice(USB::IUSBDevice* device);

    void onDeviceAdded(USB::IUSBDevice* device);
    void onDeviceRemoved(USB::IUSBDevice* device);

private:
    std::shared_ptr<UsbConnectionManager> self();

    std::recursive_mutex mutex_; // guards devices_
    std::vector<std::shared_ptr<UsbPotentialDevice>> devices_;
    std::unique_ptr<UsbNotifier> notifier_;
    ConnectedDeviceFactory connectedDeviceFactory_;
    UpdaterFactory updaterFactory_;
    PotentialDeviceFactory potentialDeviceFactory_;
    CardWidgetHook cardWidgetHook_;
};

} // namespace Zanthic
} // namespace TWG
