#pragma once

#include "converters/fx2/Fx2ProductTable.h"
#include "platform/Messages.h"

#include <cstdint>
#include <map>
#include <vector>

namespace TWG {
namespace USB {
class IUSBDevice;
struct DeviceNotifierContext;
} // namespace USB
namespace Converters {

class AbstractUSBDevice;

// Turns the USB library's notifier core into started FX2 device objects, filed by their USB
// device. Runs on the thread that handles the window's device-change messages.
class AbstractUSBDeviceNotifier {
public:
    AbstractUSBDeviceNotifier();
    AbstractUSBDeviceNotifier(const AbstractUSBDeviceNotifier&) = delete;
    AbstractUSBDeviceNotifier& operator=(const AbstractUSBDeviceNotifier&) = delete;

    virtual std::vector<std::uint32_t> vendorIdList() = 0;
    virtual std::vector<std::uint32_t> productIdList() = 0;
    virtual bool findProduct(std::uint16_t productId, Fx2ProductEntry* entry) = 0;
    virtual void handleArrival(AbstractUSBDevice* device) = 0;
    virtual void handleRemoval(AbstractUSBDevice* device) = 0;
    virtual bool acceptDevice(std::uint16_t vendorId, std::uint16_t productId, USB::IUSBDevice* device);
    virtual void beforeRemoval(AbstractUSBDevice* device);
    // Releases every filed device and destroys the notifier core.
    virtual ~AbstractUSBDeviceNotifier();

    // Creates the notifier core for the window; the devices present are reported inside.
    bool create(platform::WindowId window, int flags);
    // WM_DEVICECHANGE: true when the message was this notifier's.
    bool handleDeviceChange(platform::WPARAM wParam, platform::LPARAM lParam);
    // Completions of the devices' asynchronous transfers go to this window from now on.
    void setAsyncWindow(platform::WindowId window, std::uint32_t message);
    std::size_t deviceCount() const { return devices_.size(); }

protected:
    // Destroys the notifier core and releases the filed devices (without removal reports).
    void destroy();

private:
    static bool onArrival(USB::IUSBDevice* device, void* self);
    static void onRemoval(USB::IUSBDevice* device, void* self);
    // True when the device was started and filed.
    bool arrived(USB::IUSBDevice* device);
    void removed(USB::IUSBDevice* device);

    USB::DeviceNotifierContext* context_ = nullptr;
    std::vector<std::uint32_t> vendorIds_;
    std::vector<std::uint32_t> productIds_;
    std::map<USB::IUSBDevice*, AbstractUSBDevice*> devices_;
    platform::WindowId asyncWindow_ = platform::kNoWindow;
    std::uint32_t asyncMessage_ = 0;
};

} // namespace Converters
} // namespace TWG
