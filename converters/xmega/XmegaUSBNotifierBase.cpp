#include "converters/xmega/XmegaUSBNotifierBase.h"

#include "converters/xmega/XmegaLog.h"
#include "protocol/XmegaProtocol.h"
#include "platform/Clock.h"
#include "usb/DeviceNotifier.h"
#include "usb/IUSBDevice.h"
#include "usb/UsbConstants.h"

#include <algorithm>

namespace TWG {
namespace Converters {

XmegaUSBNotifierBase::XmegaUSBNotifierBase() = default;

XmegaUSBNotifierBase::~XmegaUSBNotifierBase()
{
    if (context_)
        USB::TWGUsb_DestroyDeviceNotifier(context_);
}

void XmegaUSBNotifierBase::addEntry(std::uint16_t vendorId, std::uint16_t productId, Factory factory)
{
    entries_.push_back({vendorId, productId, std::move(factory)});
}

bool XmegaUSBNotifierBase::create(platform::WindowId window, int flags)
{
    if (context_)
        return false;
    registerExtraIds();
    for (const Entry& e : entries_) {
        if (std::find(vendorIds_.begin(), vendorIds_.end(), e.vendorId) == vendorIds_.end())
            vendorIds_.push_back(e.vendorId);
        if (std::find(productIds_.begin(), productIds_.end(), e.productId) == productIds_.end())
            productIds_.push_back(e.productId);
    }
    window_ = window;
    flags_ = flags;
    const USB::DeviceIdFilter filter{vendorIds_.data(), static_cast<std::uint32_t>(vendorIds_.size()),
                                     productIds_.data(), static_cast<std::uint32_t>(productIds_.size())};
    context_ = USB::TWGUsb_CreateDeviceNotifier(&XmegaUSBNotifierBase::arrivalThunk, this,
                                                &XmegaUSBNotifierBase::removalThunk, this, &filter, window, flags);
    return context_ != nullptr;
}

void XmegaUSBNotifierBase::setAsyncWindow(platform::WindowId window, std::uint32_t message)
{
    asyncWindow_ = window;
    asyncMessage_ = message;
}

bool XmegaUSBNotifierBase::handleDeviceChange(platform::WPARAM wParam, platform::LPARAM lParam)
{
    return USB::TWGUsb_HandleDeviceChange(context_, wParam, lParam);
}

bool XmegaUSBNotifierBase::arrivalThunk(USB::IUSBDevice* device, void* self)
{
    return static_cast<XmegaUSBNotifierBase*>(self)->deviceArrived(device);
}

void XmegaUSBNotifierBase::removalThunk(USB::IUSBDevice* device, void* self)
{
    static_cast<XmegaUSBNotifierBase*>(self)->deviceRemoved(device);
}

bool XmegaUSBNotifierBase::restartedFromBootloader(XmegaUSBDevice& device)
{
    std::uint8_t mode = 0;
    if (!device.getMode(&mode))
        return true; // a failed request drops the device
    if (mode == 0)
        return false;
    XmegaUSBDevice::Uuid uuid{};
    if (!device.getUuid(&uuid))
        return true;
    const auto known = std::find(restarted_.begin(), restarted_.end(), uuid);
    if (known != restarted_.end()) {
        // Back in its bootloader after our restart: it stays there, unreported.
        restarted_.erase(known);
        return true;
    }
    restarted_.push_back(uuid);
    device.restart();
    return true;
}

std::shared_ptr<XmegaUSBDevice> XmegaUSBNotifierBase::openWithRetries(const Entry& entry, USB::IUSBDevice* usb)
{
    // A converter just back from a restart may not answer yet; dropped, it would stay unseen
    // until it is replugged.
    for (int attempt = 1;; ++attempt) {
        if (std::shared_ptr<XmegaUSBDevice> device = entry.factory(usb))
            return device;
        if (attempt == xmega::kOpenAttempts)
            return nullptr;
        platform::clock().sleepFor(platform::Clock::Duration(xmega::kOpenRetryMs));
    }
}

bool XmegaUSBNotifierBase::deviceArrived(USB::IUSBDevice* usb)
{
    std::uint16_t vendor = 0, product = 0;
    if (!usb || usb->getVendorId(&vendor) != USB::kResultSuccess ||
        usb->getProductId(&product) != USB::kResultSuccess)
        return false;
    const auto entry = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
        return e.vendorId == vendor && e.productId == product;
    });
    if (entry == entries_.end() || !entry->factory)
        return false;
    std::shared_ptr<XmegaUSBDevice> device = openWithRetries(*entry, usb);
    if (!device) {
        qCWarning(lcXmega, "XMEGA device %04x:%04x could not be opened", vendor, product);
        return false;
    }
    if (restartOnce_ && restartedFromBootloader(*device))
        return false;
    devices_[usb] = device;
    handleDeviceArrived(device);
    if (asyncWindow_ != platform::kNoWindow)
        device->setAsyncWindow(asyncWindow_, asyncMessage_);
    return true;
}

void XmegaUSBNotifierBase::deviceRemoved(USB::IUSBDevice* usb)
{
    const auto found = devices_.find(usb);
    if (found == devices_.end())
        return;
    std::shared_ptr<XmegaUSBDevice> device = found->second.lock();
    devices_.erase(found);
    if (device)
        handleDeviceRemoved(device);
}

} // namespace Converters
} // namespace TWG
