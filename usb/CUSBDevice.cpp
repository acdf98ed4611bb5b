#include "usb/CUSBDevice.h"

#include "platform/driver/DriverPort.h"
#include "protocol/UsbChapter9.h"
#include "usb/CUSBInterface.h"
#include "usb/CUSBInterfaceIterator.h"
#include "usb/DriverBuffers.h"
#include "usb/DriverConnection.h"
#include "usb/UsbConstants.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace TWG {
namespace USB {

CUSBDevice::CUSBDevice(DriverConnection* connection) : connection_(connection)
{
    connection_->addRef();
}

CUSBDevice::~CUSBDevice()
{
    connection_->release();
}

std::int32_t CUSBDevice::addRef()
{
    return refCount_.fetch_add(1) + 1;
}

std::int32_t CUSBDevice::release()
{
    std::int32_t count = refCount_.fetch_sub(1) - 1;
    if (count == 0)
        delete this;
    return count;
}

std::uint32_t CUSBDevice::controlTransfer(USBControlRequest* request)
{
    if (!request || (request->wLength != 0 && !request->data))
        return kResultBadArgument;
    const std::uint32_t total = driver::kControlHeaderLength + request->wLength;
    std::vector<std::uint8_t> buffer(total, 0);
    encodeControlHeader(*request, buffer.data());
    if (request->wLength != 0)
        std::memcpy(buffer.data() + driver::kControlHeaderLength, request->data, request->wLength);

    std::uint32_t returned = 0;
    if (!platform::DriverPort::instance().ioctl(connection_->handle(), driver::kControlTransfer, buffer.data(), total,
                                                buffer.data(), total, &returned)) {
        // A status that reads as success cannot explain a failed call: the data stage is not
        // the device's answer.
        const std::uint32_t result = resultFromLastUsbStatus(connection_->handle());
        return result == kResultSuccess ? kResultFailure : result;
    }
    if (returned != total)
        return kResultFailure;
    if ((request->bmRequestType & usbch9::kRequestDirectionIn) && request->wLength != 0)
        std::memcpy(request->data, buffer.data() + driver::kControlHeaderLength, request->wLength);
    return kResultSuccess;
}

std::uint32_t CUSBDevice::queryByte(std::uint32_t code, std::uint32_t required, std::uint8_t* out)
{
    if (!out)
        return kResultBadArgument;
    std::uint32_t value = 0;
    if (!queryValue(connection_->handle(), code, nullptr, 0, required, &value))
        return kResultFailure;
    *out = static_cast<std::uint8_t>(value);
    return kResultSuccess;
}

std::uint32_t CUSBDevice::queryWord(std::uint32_t code, std::uint16_t* out)
{
    if (!out)
        return kResultBadArgument;
    std::uint32_t value = 0;
    if (!queryValue(connection_->handle(), code, nullptr, 0, driver::kWordLength, &value))
        return kResultFailure;
    *out = static_cast<std::uint16_t>(value);
    return kResultSuccess;
}

std::uint32_t CUSBDevice::getDeviceFieldA(std::uint8_t* out)
{
    return queryByte(driver::kGetDeviceClass, driver::kWordLength, out);
}

std::uint32_t CUSBDevice::getDeviceFieldB(std::uint8_t* out)
{
    return queryByte(driver::kGetDeviceSubClass, driver::kWordLength, out);
}

std::uint32_t CUSBDevice::getProductId(std::uint16_t* out)
{
    return queryWord(driver::kGetProductId, out);
}

std::uint32_t CUSBDevice::getDeviceFieldC(std::uint8_t* out)
{
    return queryByte(driver::kGetDeviceProtocol, driver::kWordLength, out);
}

std::uint32_t CUSBDevice::getDeviceRelease(std::uint16_t* out)
{
    return queryWord(driver::kGetDeviceRelease, out);
}

std::uint32_t CUSBDevice::queryUnsupportedA()
{
    return kResultFailure;
}

std::uint32_t CUSBDevice::getDeviceFieldD(std::uint8_t* out)
{
    return queryByte(driver::kGetMaxPacketSize0, driver::kWordLength, out);
}

std::uint32_t CUSBDevice::getVendorId(std::uint16_t* out)
{
    return queryWord(driver::kGetVendorId, out);
}

std::uint32_t CUSBDevice::queryUnsupportedB()
{
    return kResultFailure;
}

std::uint32_t CUSBDevice::getConfigurationCount(std::uint8_t* out)
{
    return queryByte(driver::kGetConfigurationCount, driver::kWordLength, out);
}

std::uint32_t CUSBDevice::selectConfiguration(std::uint8_t index)
{
    std::uint8_t in[4];
    putU32(in, index);
    std::uint32_t returned = 0;
    if (!platform::DriverPort::instance().ioctl(connection_->handle(), driver::kSelectConfiguration, in, sizeof in,
                                                nullptr, 0, &returned))
        return kResultFailure;
    return kResultSuccess;
}

std::uint32_t CUSBDevice::getConfigurationState()
{
    return kResultSuccess;
}

std::uint32_t CUSBDevice::reserved()
{
    return kResultSuccess;
}

std::uint32_t CUSBDevice::reset()
{
    std::uint32_t returned = 0;
    if (!platform::DriverPort::instance().ioctl(connection_->handle(), driver::kResetPort, nullptr, 0, nullptr, 0,
                                                &returned))
        return kResultFailure;
    return kResultSuccess;
}

std::uint32_t CUSBDevice::getSerialNumberIndex(std::uint8_t* out)
{
    return queryByte(driver::kGetSerialNumberIndex, driver::kSerialIndexLength, out);
}

std::uint32_t CUSBDevice::createInterfaceIterator(const std::uint32_t filter[2], IUSBInterfaceIterator** out)
{
    if (!filter || !out)
        return kResultBadArgument;
    std::uint8_t in[driver::kFilterLength];
    putU32(in, filter[0]);
    putU32(in + 4, filter[1]);

    std::uint32_t count = 0;
    if (!queryValue(connection_->handle(), driver::kGetInterfaceList, in, sizeof in, driver::kWordLength, &count))
        return kResultFailure;
    if (count > kMaxInterfaceEntries)
        return kResultFailure;
    const std::uint32_t size = driver::kWordLength + 4 * count;
    std::vector<std::uint8_t> answer(size, 0);
    std::uint32_t returned = 0;
    if (!platform::DriverPort::instance().ioctl(connection_->handle(), driver::kGetInterfaceList, in, sizeof in,
                                                answer.data(), size, &returned) ||
        returned != size)
        return kResultFailure;
    // The list may have shrunk between the two calls; never read beyond what came back.
    const std::uint32_t entries = std::min(count, getU32(answer.data()));
    std::vector<std::uint32_t> list(entries);
    for (std::uint32_t i = 0; i < entries; ++i)
        list[i] = getU32(answer.data() + driver::kWordLength + 4 * i);

    CUSBInterfaceIterator* iterator = new (std::nothrow) CUSBInterfaceIterator(this, connection_, std::move(list));
    if (!iterator)
        return kResultFailure;
    *out = iterator;
    return kResultSuccess;
}

std::uint32_t CUSBDevice::handleAsyncMessage(platform::WPARAM wParam, platform::LPARAM lParam)
{
    // The callback may close or free the interface: nothing is touched after a taker returns.
    for (std::size_t i = 0; i < claimed_.size(); ++i)
        if (claimed_[i]->handleAsyncMessage(wParam, lParam) == kResultSuccess)
            return kResultSuccess;
    return kResultNotHandled;
}

std::uint32_t CUSBDevice::setAsyncWindow(platform::WindowId window, std::uint32_t message)
{
    for (CUSBInterface* interface : claimed_)
        interface->setAsyncListener(window, message);
    asyncWindow_ = window;
    asyncMessage_ = message;
    return kResultSuccess;
}

const std::vector<std::uint8_t>* CUSBDevice::configurationDescriptor(std::uint32_t index)
{
    {
        std::lock_guard<std::mutex> lock(cacheMutex_);
        if (configCache_.size() < index + 1)
            configCache_.resize(index + 1);
        if (configCache_[index])
            return configCache_[index].get();
    }
    std::uint8_t in[4];
    putU32(in, index);
    std::uint32_t length = 0;
    if (!queryValue(connection_->handle(), driver::kGetConfigDescriptor, in, sizeof in, driver::kWordLength, &length))
        return nullptr;
    if (length < driver::kWordLength || length > kMaxConfigurationAnswer)
        return nullptr;
    std::vector<std::uint8_t> answer(length, 0);
    std::uint32_t returned = 0;
    if (!platform::DriverPort::instance().ioctl(connection_->handle(), driver::kGetConfigDescriptor, in,
                                                sizeof in, answer.data(), length, &returned) ||
        returned != length)
        return nullptr;

    std::lock_guard<std::mutex> lock(cacheMutex_);
    if (!configCache_[index]) {
        auto bytes = std::make_unique<std::vector<std::uint8_t>>(answer.begin() + driver::kWordLength, answer.end());
        configCache_[index] = std::move(bytes);
    }
    return configCache_[index].get();
}

bool CUSBDevice::claim(CUSBInterface* interface)
{
    if (std::find(claimed_.begin(), claimed_.end(), interface) != claimed_.end())
        return false;
    claimed_.push_back(interface);
    if (asyncWindow_ != platform::kNoWindow)
        interface->setAsyncListener(asyncWindow_, asyncMessage_);
    return true;
}

void CUSBDevice::unclaim(CUSBInterface* interface)
{
    auto it = std::find(claimed_.begin(), claimed_.end(), interface);
    if (it == claimed_.end())
        return;
    claimed_.erase(it);
    interface->setAsyncListener(platform::kNoWindow, 0);
}

} // namespace USB
} // namespace TWG
