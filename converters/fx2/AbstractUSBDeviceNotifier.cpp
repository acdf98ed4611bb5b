#include "converters/fx2/AbstractUSBDeviceNotifier.h"

#include "converters/fx2/AbstractUSBDevice.h"
#include "converters/fx2/Fx2Log.h"
#include "usb/DeviceNotifier.h"
#include "usb/IUSBDevice.h"
#include "usb/UsbConstants.h"

namespace TWG {
namespace Converters {

AbstractUSBDeviceNotifier::AbstractUSBDeviceNotifier() = default;

AbstractUSBDeviceNotifier::~AbstractUSBDeviceNotifier()
{
    destroy();
}

bool AbstractUSBDeviceNotifier::acceptDevice(std::uint16_t, std::uint16_t, USB::IUSBDevice*)
{
    return true;
}

void AbstractUSBDeviceNotifier::beforeRemoval(AbstractUSBDevice*) {}

bool AbstractUSBDeviceNotifier::create(platform::WindowId window, int flags)
{
    if (context_)
        return false;
    vendorIds_ = vendorIdList();
    productIds_ = productIdList();
    const USB::DeviceIdFilter filter{vendorIds_.data(), static_cast<std::uint32_t>(vendorIds_.size()),
                                     productIds_.data(), static_cast<std::uint32_t>(productIds_.size())};
    context_ = USB::TWGUsb_CreateDeviceNotifier(&AbstractUSBDeviceNotifier::onArrival, this,
                                                &AbstractUSBDeviceNotifier::onRemoval, this, &filter, window, flags);
    return context_ != nullptr;
}

void AbstractUSBDeviceNotifier::destroy()
{
    if (context_) {
        USB::TWGUsb_DestroyDeviceNotifier(context_);
        context_ = nullptr;
    }
    std::map<USB::IUSBDevice*, AbstractUSBDevice*> devices;
    devices.swap(devices_);
    for (auto& d : devices)
        d.second->release();
}

bool AbstractUSBDeviceNotifier::handleDeviceChange(platform::WPARAM wParam, platform::LPARAM lParam)
{
    return USB::TWGUsb_HandleDeviceChange(context_, wParam, lParam);
}

void AbstractUSBDeviceNotifier::setAsyncWindow(platform::WindowId window, std::uint32_t message)
{
    asyncWindow_ = window;
    asyncMessage_ = message;
}

bool AbstractUSBDeviceNotifier::onArrival(USB::IUSBDevice* device, void* self)
{
    return static_cast<AbstractUSBDeviceNotifier*>(self)->arrived(device);
}

void AbstractUSBDeviceNotifier::onRemoval(USB::IUSBDevice* device, void* self)
{
    static_cast<AbstractUSBDeviceNotifier*>(self)->removed(device);
}

bool AbstractUSBDeviceNotifier::arrived(USB::IUSBDevice* device)
{
    if (!device)
        return false;
    if (devices_.count(device))
        return true;
    std::uint16_t vendor = 0, productId = 0;
    if (device->getVendorId(&vendor) != USB::kResultSuccess || device->getProductId(&productId) != USB::kResultSuccess)
        return false;
    Fx2ProductEntry entry;
    if (!findProduct(productId, &entry) || !entry.factory || !acceptDevice(vendor, productId, device))
        return false;
    AbstractUSBDevice* made = entry.factory(device, entry);
    if (!made)
        return false;
    if (!made->startUp()) {
        made->release();
        return false;
    }
    devices_[device] = made;
    handleArrival(made);
    if (asyncWindow_ != platform::kNoWindow)
        device->setAsyncWindow(asyncWindow_, asyncMessage_);
    return true;
}

void AbstractUSBDeviceNotifier::removed(USB::IUSBDevice* device)
{
    auto found = devices_.find(device);
    if (found == devices_.end())
        return;
    AbstractUSBDevice* gone = found->second;
    beforeRemoval(gone);
    devices_.erase(found);
    handleRemoval(gone);
    gone->release();
}

} // namespace Converters
} // namespace TWG
