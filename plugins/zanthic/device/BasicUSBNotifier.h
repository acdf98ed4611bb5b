#pragma once

#include "platform/Messages.h"
#include "usb/IUSBDevice.h"

#include <cstdint>
#include <vector>

namespace TWG {
namespace USB {
struct DeviceNotifierContext;
} // namespace USB

namespace Zanthic {

// What a BasicUSBNotifier tells of, on its thread.
class BasicUSBDelegate {
public:
    virtual ~BasicUSBDelegate() = default;
    virtual void deviceArrived(USB::IUSBDevice* device) = 0;
    virtual void deviceDeparted(USB::IUSBDevice* device) = 0;
};

// The library notifier for a list of product ids (any vendor: the allow-list decides those),
// keeping one reference on each device it reports. Used on one thread only.
class BasicUSBNotifier {
public:
    explicit BasicUSBNotifier(BasicUSBDelegate* delegate);
    ~BasicUSBNotifier();
    BasicUSBNotifier(const BasicUSBNotifier&) = delete;
    BasicUSBNotifier& operator=(const BasicUSBNotifier&) = delete;

    void addFilter(std::uint32_t productId);
    void setDeviceChangeWindow(platform::WindowId window, int flags);
    void setAsyncWindow(platform::WindowId window, std::uint32_t message);
    // Opens the library notifier; the devices present now are reported from inside.
    bool start();
    bool handleDeviceChange(platform::WPARAM wParam, platform::LPARAM lParam);
    bool handleAsyncMessage(platform::WPARAM wParam, platform::LPARAM lParam);

private:
    static bool arrivalThunk(USB::IUSBDevice* device, void* self);
    static void removalThunk(USB::IUSBDevice* device, void* self);
    void arrived(USB::IUSBDevice* device);
    void departed(USB::IUSBDevice* device);

    USB::DeviceNotifierContext* context_ = nullptr;
    BasicUSBDelegate* delegate_;
    std::vector<std::uint32_t> productIds_;
    platform::WindowId window_ = platform::kNoWindow;
    int flags_ = 0;
    platform::WindowId asyncWindow_ = platform::kNoWindow;
    std::uint32_t asyncMessage_ = 0;
    std::vector<USB::IUSBDevice*> devices_;
};

} // namespace Zanthic
} // namespace TWG
