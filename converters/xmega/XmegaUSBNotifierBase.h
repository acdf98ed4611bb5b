#pragma once

#include "converters/xmega/XmegaUSBDevice.h"
#include "platform/Messages.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace TWG {
namespace USB {
class IUSBDevice;
struct DeviceNotifierContext;
} // namespace USB

namespace Converters {

// Turns the notifier core's hot-plug reports into XmegaUSBDevice objects for a fixed table of
// vendor and product ids. With restart-once on, a device found in its bootloader is restarted
// into its application once instead of being reported. A device that cannot be opened is tried
// a few times more, then let go.
class XmegaUSBNotifierBase {
public:
    using Factory = std::function<std::shared_ptr<XmegaUSBDevice>(USB::IUSBDevice*)>;
    struct Entry {
        std::uint16_t vendorId;
        std::uint16_t productId;
        Factory factory;
    };

    XmegaUSBNotifierBase();
    virtual ~XmegaUSBNotifierBase();
    XmegaUSBNotifierBase(const XmegaUSBNotifierBase&) = delete;
    XmegaUSBNotifierBase& operator=(const XmegaUSBNotifierBase&) = delete;

    virtual void registerExtraIds() {}
    virtual void handleDeviceArrived(std::shared_ptr<XmegaUSBDevice>& device) = 0;
    virtual void handleDeviceRemoved(std::shared_ptr<XmegaUSBDevice>& device) = 0;

    // Registers the table with the notifier core for the window; the devices present now are
    // reported from inside. Once only.
    bool create(platform::WindowId window, int flags);
    void setRestartOnce(bool on) { restartOnce_ = on; }
    bool restartOnce() const { return restartOnce_; }
    void setAsyncWindow(platform::WindowId window, std::uint32_t message);
    // WM_DEVICECHANGE: true when the message was for this notifier's devices.
    bool handleDeviceChange(platform::WPARAM wParam, platform::LPARAM lParam);

    const std::vector<Entry>& entries() const { return entries_; }
    const std::vector<XmegaUSBDevice::Uuid>& restartedUuids() const { return restarted_; }

protected:
    void addEntry(std::uint16_t vendorId, std::uint16_t productId, Factory factory);

private:
    static bool arrivalThunk(USB::IUSBDevice* device, void* self);
    static void removalThunk(USB::IUSBDevice* device, void* self);
    // True when the device was filed and reported.
    bool deviceArrived(USB::IUSBDevice* device);
    std::shared_ptr<XmegaUSBDevice> openWithRetries(const Entry& entry, USB::IUSBDevice* usb);
    void deviceRemoved(USB::IUSBDevice* device);
    // True when the device was taken into its application instead of being reported.
    bool restartedFromBootloader(XmegaUSBDevice& device);

    platform::WindowId window_ = platform::kNoWindow;
    int flags_ = 0;
    platform::WindowId asyncWindow_ = platform::kNoWindow;
    std::uint32_t asyncMessage_ = 0;
    std::vector<Entry> entries_;
    bool restartOnce_ = true;
    std::vector<XmegaUSBDevice::Uuid> restarted_;
    std::vector<std::uint32_t> vendorIds_;
    std::vector<std::uint32_t> productIds_;
    USB::DeviceNotifierContext* context_ = nullptr;
    std::map<USB::IUSBDevice*, std::weak_ptr<XmegaUSBDevice>> devices_;
};

} // namespace Converters
} // namespace TWG
