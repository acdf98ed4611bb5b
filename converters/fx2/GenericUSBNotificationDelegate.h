#pragma once

namespace TWG {
namespace Converters {

class AbstractUSBDevice;

// The owner of a device notifier: hears of every started device that arrives or leaves.
// The device stays the notifier's; keep it with addRef.
class GenericUSBNotificationDelegate {
public:
    virtual void onUSBDeviceArrived(AbstractUSBDevice* device) = 0;
    virtual void onUSBDeviceRemoved(AbstractUSBDevice* device) = 0;
    virtual ~GenericUSBNotificationDelegate() = default;
};

} // namespace Converters
} // namespace TWG
