#include "plugins/zanthic/device/BasicUSBNotifier.h"

#include "usb/DeviceNotifier.h"

#include <algorithm>

namespace TWG {
namespace Zanthic {

BasicUSBNotifier::BasicUSBNotifier(BasicUSBDelegate* delegate)
    : delegate_(delegate)
{
}

BasicUSBNotifier::~BasicUSBNotifier()
{
    USB::TWGUsb_DestroyDeviceNotifier(context_);
    for (USB::IUSBDevice* d : devices_)
        d->release();
}

void BasicUSBNotifier::addFilter(std::uint32_t productId) { productIds_.push_back(productId); }

void BasicUSBNotifier::setDeviceChangeWindow(platform::WindowId window, int flags)
{
    window_ = window;
    flags_ = flags;
}

void BasicUSBNotifier::setAsyncWindow(platform::WindowId window, std::uint32_t message)
{
    asyncWindow_ = window;
    asyncMessage_ = message;
    for (USB::IUSBDevice* d : devices_)
        d->setAsyncWindow(window, message);
}

bool BasicUSBNotifier::start()
{
    USB::DeviceIdFilter filter;
    filter.productIds = productIds_.data();
    filter.productCount = static_cast<std::uint32_t>(productIds_.size());
    context_ = USB::TWGUsb_CreateDeviceNotifier(&BasicUSBNotifier::arrivalThunk, this, &BasicUSBNotifier::removalThunk,
                                                this, &filter, window_, flags_);
    return context_ != nullptr;
}

bool BasicUSBNotifier::handleDeviceChange(platform::WPARAM wParam, platform::LPARAM lParam)
{
    return USB::TWGUsb_HandleDeviceChange(context_, wParam, lParam);
}

bool BasicUSBNotifier::handleAsyncMessage(platform::WPARAM wParam, platform::LPARAM lParam)
{
    return std::any_of(devices_.begin(), devices_.end(),
                       [&](USB::IUSBDevice* d) { return d->handleAsyncMessage(wParam, lParam) == 0; });
}

bool BasicUSBNotifier::arrivalThunk(USB::IUSBDevice* device, void* self)
{
    // Every device of the filter is kept: the connection manager decides what it becomes.
    static_cast<BasicUSBNotifier*>(self)->arrived(device);
    return true;
}

void BasicUSBNotifier::removalThunk(USB::IUSBDevice* device, void* self)
{
    static_cast<BasicUSBNotifier*>(self)->departed(device);
}

void BasicUSBNotifier::arrived(USB::IUSBDevice* device)
{
    device->addRef();
    devices_.push_back(device);
    if (asyncWindow_ != platform::kNoWindow)
        device->setAsyncWindow(asyncWindow_, asyncMessage_);
    delegate_->deviceArrived(device);
}

void BasicUSBNotifier::departed(USB::IUSBDevice* device)
{
    const auto found = std::find(devices_.begin(), devices_.end(), device);
    if (found == devices_.end())
        return;
    devices_.erase(found);
    delegate_->deviceDeparted(device);
    device->release();
}

} // namespace Zanthic
} // namespace TWG
