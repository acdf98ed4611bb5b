#include "usb/CUSBInterface.h"

#include "protocol/UsbChapter9.h"
#include "usb/AsyncEventListener.h"
#include "usb/CUSBDevice.h"
#include "usb/DriverBuffers.h"
#include "usb/DriverConnection.h"
#include "usb/UsbConstants.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>

namespace TWG {
namespace USB {

CUSBInterface::CUSBInterface(CUSBDevice* device, DriverConnection* connection, std::uint32_t entry)
    : connection_(connection), device_(device), entry_(entry)
{
    device_->addRef();
}

CUSBInterface::~CUSBInterface()
{
    if (claimed_)
        close();
    listener_.reset();
    cancelPending();
    device_->release();
}

// Cancels this interface's requests and waits for each before its buffers go; the callbacks
// hear of it (status 1), as the callback is the only sign that a read buffer is free again.
void CUSBInterface::cancelPending()
{
    std::vector<std::unique_ptr<PendingRequest>> requests;
    {
        std::lock_guard<std::mutex> lock(pendingMutex_);
        requests.swap(pending_);
    }
    if (requests.empty())
        return;
    // Only this interface's requests: the device's other interfaces share the connection.
    platform::DriverPort& port = platform::DriverPort::instance();
    for (auto& request : requests)
        port.cancelIoEx(connection_->handle(), &request->overlapped);
    for (auto& request : requests) {
        std::uint32_t transferred = 0;
        port.getOverlappedResult(connection_->handle(), &request->overlapped, &transferred, true);
    }
    for (auto& request : requests) {
        USBCompletionCallback callback = request->callback;
        void* user = request->user;
        request.reset();
        if (callback)
            callback(kResultFailure, 0, user);
    }
}

std::int32_t CUSBInterface::addRef()
{
    return refCount_.fetch_add(1) + 1;
}

std::int32_t CUSBInterface::release()
{
    std::int32_t count = refCount_.fetch_sub(1) - 1;
    if (count == 0)
        delete this;
    return count;
}

std::uint32_t CUSBInterface::queryByte(std::uint32_t code, std::uint8_t* out)
{
    if (!out)
        return kResultBadArgument;
    std::uint8_t in[4];
    putU32(in, entry_);
    std::uint32_t value = 0;
    if (!queryValue(connection_->handle(), code, in, sizeof in, driver::kWordLength, &value))
        return kResultFailure;
    *out = static_cast<std::uint8_t>(value);
    return kResultSuccess;
}

std::uint32_t CUSBInterface::getInterfaceFieldA(std::uint8_t* out)
{
    return queryByte(driver::kGetInterfaceClass, out);
}

std::uint32_t CUSBInterface::getInterfaceNumber(std::uint8_t* out)
{
    return queryByte(driver::kGetInterfaceNumber, out);
}

std::uint32_t CUSBInterface::getInterfaceFieldB(std::uint8_t* out)
{
    return queryByte(driver::kGetInterfaceSubClass, out);
}

std::uint32_t CUSBInterface::getInterfaceFieldC(std::uint8_t* out)
{
    return queryByte(driver::kGetInterfaceProtocol, out);
}

std::uint32_t CUSBInterface::getEndpointCount(std::uint8_t* out)
{
    return queryByte(driver::kGetEndpointCount, out);
}

std::uint32_t CUSBInterface::getEndpointInfo(std::uint8_t endpoint, std::uint8_t* direction, std::uint8_t* type,
                                             std::uint16_t* maxPacket, std::uint8_t* extra)
{
    if (!direction || !type || !maxPacket || !extra)
        return kResultBadArgument;
    std::uint8_t in[8];
    putU32(in, entry_);
    putU32(in + 4, endpoint);
    std::uint8_t out[driver::kEndpointInfoLength] = {};
    std::uint32_t returned = 0;
    if (!platform::DriverPort::instance().ioctl(connection_->handle(), driver::kGetEndpointInfo, in, sizeof in, out,
                                                sizeof out, &returned) ||
        returned != driver::kEndpointInfoLength)
        return kResultFailure;
    *direction = out[0];
    *type = out[1];
    *maxPacket = getU16(out + 2);
    *extra = out[4];
    return kResultSuccess;
}

std::uint32_t CUSBInterface::enablePipe(std::uint8_t endpoint)
{
    std::uint8_t in[8];
    putU32(in, entry_);
    putU32(in + 4, endpoint);
    std::uint32_t returned = 0;
    if (!platform::DriverPort::instance().ioctl(connection_->handle(), driver::kEnablePipe, in, sizeof in, nullptr, 0,
                                                &returned))
        return kResultFailure;
    return kResultSuccess;
}

namespace {
std::uint32_t pipeFailure()
{
    return platform::DriverPort::lastError() == platform::ERROR_SEM_TIMEOUT ? kResultTimeout : kResultFailure;
}
} // namespace

std::uint32_t CUSBInterface::read(std::uint8_t pipe, void* buffer, std::uint32_t* size, std::uint32_t timeoutA,
                                  std::uint32_t timeoutB)
{
    if (!size || (*size != 0 && !buffer))
        return kResultBadArgument;
    std::uint8_t header[driver::kPipeHeaderLength];
    encodePipeHeader(interfaceByte(), pipe, *size, timeoutA, timeoutB, header);
    std::uint32_t returned = 0;
    if (!platform::DriverPort::instance().ioctl(connection_->handle(), driver::kPipeRead, header, sizeof header, buffer,
                                                *size, &returned))
        return pipeFailure();
    *size = std::min(returned, *size);
    return kResultSuccess;
}

std::uint32_t CUSBInterface::write(std::uint8_t pipe, const void* data, std::uint32_t length, std::uint32_t timeoutA,
                                   std::uint32_t timeoutB)
{
    if (length != 0 && !data)
        return kResultBadArgument;
    std::vector<std::uint8_t> in(driver::kPipeHeaderLength + std::size_t(length));
    encodePipeHeader(interfaceByte(), pipe, length, timeoutA, timeoutB, in.data());
    if (length != 0)
        std::memcpy(in.data() + driver::kPipeHeaderLength, data, length);
    std::uint32_t returned = 0;
    if (!platform::DriverPort::instance().ioctl(connection_->handle(), driver::kPipeWrite, in.data(),
                                                static_cast<std::uint32_t>(in.size()), nullptr, 0, &returned))
        return pipeFailure();
    return returned == length ? kResultSuccess : kResultFailure;
}

std::uint32_t CUSBInterface::readAsync(std::uint8_t pipe, void* buffer, std::uint32_t size,
                                       USBCompletionCallback callback, void* user)
{
    if (size != 0 && !buffer)
        return kResultBadArgument;
    return startAsync(driver::kPipeReadAsync, pipe, nullptr, size, buffer, callback, user);
}

std::uint32_t CUSBInterface::writeAsync(std::uint8_t pipe, const void* data, std::uint32_t length,
                                        USBCompletionCallback callback, void* user)
{
    if (length != 0 && !data)
        return kResultBadArgument;
    return startAsync(driver::kPipeWriteAsync, pipe, data, length, nullptr, callback, user);
}

std::uint32_t CUSBInterface::startAsync(std::uint32_t code, std::uint8_t pipe, const void* data,
                                        std::uint32_t length, void* readBuffer, USBCompletionCallback callback,
                                        void* user)
{
    std::unique_ptr<PendingRequest> request(new (std::nothrow) PendingRequest);
    if (!request)
        return kResultFailure;
    request->callback = callback;
    request->user = user;
    request->event = std::make_shared<platform::Event>();
    request->overlapped.event = request->event;
    request->header.resize(driver::kPipeHeaderLength + (data ? std::size_t(length) : 0));
    encodePipeHeader(interfaceByte(), pipe, length, 0, 0, request->header.data());
    if (data && length != 0)
        std::memcpy(request->header.data() + driver::kPipeHeaderLength, data, length);

    std::lock_guard<std::mutex> lock(pendingMutex_);
    // The listener waits for at most this many; one more would stop it and lose them all.
    if (pending_.size() >= std::size_t(kMaxPendingRequests))
        return kResultFailure;
    const bool done = platform::DriverPort::instance().ioctlOverlapped(
        connection_->handle(), code, request->header.data(), static_cast<std::uint32_t>(request->header.size()),
        readBuffer, readBuffer ? length : 0, &request->overlapped);
    if (!done && platform::DriverPort::lastError() != platform::ERROR_IO_PENDING)
        return kResultFailure;
    if (done)
        request->event->set();
    pending_.push_back(std::move(request));
    if (listener_)
        listener_->wake();
    return kResultSuccess;
}

std::uint32_t CUSBInterface::queryUnsupportedA()
{
    return kResultFailure;
}

std::uint32_t CUSBInterface::queryUnsupportedB()
{
    return kResultFailure;
}

// Walks within the bytes held and what wTotalLength claims, whichever is less; a descriptor
// shorter than 2 bytes or running past the end ends the walk.
const std::uint8_t* CUSBInterface::getDescriptor(const std::uint8_t* after, int type)
{
    const std::vector<std::uint8_t>* config = device_->configurationDescriptor(0);
    if (!config || config->size() < usbch9::kConfigurationTotalLengthOffset + 2)
        return nullptr;
    const std::uint8_t* bytes = config->data();
    const std::size_t total = std::min<std::size_t>(getU16(bytes + usbch9::kConfigurationTotalLengthOffset), config->size());
    std::size_t pos = bytes[0];
    if (pos < usbch9::kMinDescriptorLength || pos > total)
        return nullptr;
    std::int64_t interfaceCount = -1;
    const std::int64_t wanted = entry_;
    while (pos + usbch9::kMinDescriptorLength <= total) {
        const std::size_t length = bytes[pos];
        const int descriptorType = bytes[pos + 1];
        if (length < usbch9::kMinDescriptorLength || pos + length > total)
            return nullptr;
        if (descriptorType == usbch9::kDescriptorInterface && ++interfaceCount > wanted)
            return nullptr;
        const std::uint8_t* here = bytes + pos;
        if (interfaceCount == wanted && (type == kAnyDescriptorType || descriptorType == type) &&
            (!after || std::greater<const std::uint8_t*>()(here, after)))
            return here;
        pos += length;
    }
    return nullptr;
}

std::uint32_t CUSBInterface::open()
{
    if (!device_->claim(this))
        return kResultFailure;
    claimed_ = true;
    return kResultSuccess;
}

std::uint32_t CUSBInterface::close()
{
    device_->unclaim(this);
    claimed_ = false;
    return kResultSuccess;
}

std::uint32_t CUSBInterface::getPendingEvents(platform::EventHandle* out, int capacity, int* count)
{
    if (!out || !count)
        return kResultBadArgument;
    std::lock_guard<std::mutex> lock(pendingMutex_);
    *count = static_cast<int>(pending_.size());
    if (capacity < *count)
        return kResultBadArgument;
    for (std::size_t i = 0; i < pending_.size(); ++i)
        out[i] = pending_[i]->event;
    return kResultSuccess;
}

std::uint32_t CUSBInterface::completeRequest(platform::Event* event)
{
    if (!event)
        return kResultBadArgument;
    std::unique_ptr<PendingRequest> request;
    {
        std::lock_guard<std::mutex> lock(pendingMutex_);
        auto it = std::find_if(pending_.begin(), pending_.end(),
                               [event](const std::unique_ptr<PendingRequest>& r) { return r->event.get() == event; });
        if (it == pending_.end())
            return kResultBadArgument;
        request = std::move(*it);
        pending_.erase(it);
    }
    std::uint32_t transferred = 0;
    std::uint32_t status = kResultSuccess;
    if (!platform::DriverPort::instance().getOverlappedResult(connection_->handle(), &request->overlapped,
                                                              &transferred, true)) {
        status = kResultFailure;
        transferred = 0;
    }
    USBCompletionCallback callback = request->callback;
    void* user = request->user;
    request.reset();
    // Last: the callback may release this interface.
    if (callback)
        callback(status, transferred, user);
    return kResultSuccess;
}

std::uint32_t CUSBInterface::setAsyncListener(platform::WindowId window, std::uint32_t message)
{
    if (window == platform::kNoWindow) {
        listener_.reset();
        return kResultSuccess;
    }
    if (listener_)
        return kResultFailure;
    std::unique_ptr<AsyncEventListener> listener(new (std::nothrow) AsyncEventListener(this, window, message));
    if (!listener || !listener->start())
        return kResultFailure;
    listener_ = std::move(listener);
    return kResultSuccess;
}

std::uint32_t CUSBInterface::handleAsyncMessage(platform::WPARAM wParam, platform::LPARAM lParam)
{
    if (lParam != reinterpret_cast<platform::LPARAM>(static_cast<IUSBInterface*>(this)))
        return kResultFailure;
    return completeRequest(reinterpret_cast<platform::Event*>(wParam)) == kResultSuccess ? kResultSuccess
                                                                                         : kResultFailure;
}

} // namespace USB
} // namespace TWG
