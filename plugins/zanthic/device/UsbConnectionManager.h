#pragma once

#include "plugins/zanthic/device/ConnectionManager.h"

#include <atomic>
#include <cstdint>
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

// The USB devices of the family's models: made as they arrive (through the potential-device
// factory, on the notifier's thread, where the reads a new device needs keep no window
// waiting), listed in that order on the GUI thread with the family told of each, and opened or
// updated on the family's request. The family's handlers run under the manager's recursive lock.
class UsbConnectionManager : public ConnectionManager {
public:
    using ConnectedDeviceFactory =
        std::function<std::shared_ptr<ConnectedDevice>(ConnectedDeviceOwner*, std::shared_ptr<UsbPotentialDevice>)>;
    using UpdaterFactory = std::function<QSharedPointer<DeviceFirmwareUpdater>(
        std::shared_ptr<UsbConnectionManager>, std::shared_ptr<UsbPotentialDevice>)>;
    // Called on the notifier thread. Empty: the device is not listed. DeviceNotIdentified: the
    // device is tried again a few times, then on each later arrival and poll.
    using PotentialDeviceFactory =
        std::function<std::shared_ptr<UsbPotentialDevice>(std::weak_ptr<UsbConnectionManager>, USB::IUSBDevice*)>;
    using CardWidgetHook = std::function<QWidget*(ConnectedDeviceOwner*, std::shared_ptr<UsbPotentialDevice>)>;

    // Throws std::invalid_argument without a potential-device factory.
    UsbConnectionManager(DeviceListener* family, ModelTable models, ConnectedDeviceFactory connectedDeviceFactory,
                         UpdaterFactory updaterFactory, PotentialDeviceFactory potentialDeviceFactory,
                         CardWidgetHook cardWidgetHook);
    ~UsbConnectionManager() override;

    // Devices present now arrive on a later turn of the event loop, as later ones do.
    bool start() override;
    std::shared_ptr<ConnectedDevice> connect(ConnectedDeviceOwner* owner, PotentialDevice* device) override;
    // For the listed device of the serial, or for a device known by no serial, itself.
    QSharedPointer<DeviceFirmwareUpdater> createUpdater(PotentialDevice& device) override;
    bool canCreateUpdater(const PotentialDevice& device) override;
    QWidget* callHook(ConnectedDeviceOwner* owner, PotentialDevice* device) override;

    // Empty for an empty serial: a device whose serial could not be read is never found by it.
    std::shared_ptr<UsbPotentialDevice> findPotentialDevice(const QString& serial);
    std::shared_ptr<UsbPotentialDevice> findPotentialDeviceByUsbDevice(USB::IUSBDevice* device);
    // The device known by serial and product id as it is listed again after a re-enumeration:
    // the one of that serial; else, where a serial is missing on either side (none, or one that
    // did not read), the only device of the product without a serial listed at or after
    // `listedSince` (any serial when the given one is empty). Empty when there is none, or more.
    std::shared_ptr<UsbPotentialDevice> findReturningDevice(const QString& serial, std::uint16_t productId,
                                                            std::uint64_t listedSince);

private:
    // Notifier thread.
    void deviceArrived(USB::IUSBDevice* device);
    void deviceDeparted(USB::IUSBDevice* device);
    // Makes the device and has it listed; false when it could not be identified in `attempts`.
    bool identify(USB::IUSBDevice* device, int attempts);
    void retryUnidentified();
    // GUI thread.
    void list(const std::shared_ptr<UsbPotentialDevice>& device);
    void unlist(USB::IUSBDevice* device);
    // Under the lock.
    std::shared_ptr<UsbPotentialDevice> listedFor(const PotentialDevice& device) const;

    std::weak_ptr<UsbConnectionManager> self_; // set by start, for the notifier thread
    std::recursive_mutex mutex_;               // guards devices_
    std::vector<std::shared_ptr<UsbPotentialDevice>> devices_;
    // Notifier thread only: devices that could not be identified yet, one reference each.
    std::vector<USB::IUSBDevice*> unidentified_;
    std::uint64_t listings_ = 0; // notifier thread only
    std::atomic<bool> stopping_{false};
    std::unique_ptr<UsbNotifier> notifier_;
    ConnectedDeviceFactory connectedDeviceFactory_;
    UpdaterFactory updaterFactory_;
    PotentialDeviceFactory potentialDeviceFactory_;
    CardWidgetHook cardWidgetHook_;
};

} // namespace Zanthic
} // namespace TWG
