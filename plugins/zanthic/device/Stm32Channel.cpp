#include "plugins/zanthic/device/Stm32Channel.h"

#include "protocol/Stm32Protocol.h"
#include "usb/IUSBDevice.h"
#include "usb/IUSBInterface.h"
#include "usb/IUSBInterfaceIterator.h"

#include <array>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace TWG {
namespace Zanthic {

namespace {

void sendRequest(USB::IUSBDevice* device, std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                 std::uint16_t index, std::uint16_t length, void* data)
{
    USB::USBControlRequest r =
        USB::USBControlRequest::make(requestType, request, value, index, length, data, stm32::kRequestTimeoutMs);
    if (device && device->controlTransfer(&r) == 0)
        return;
    const bool in = (requestType & 0x80) != 0;
    throw std::runtime_error((in ? "Failed to send get request " : "Failed to send set request ") +
                             std::to_string(request));
}

std::uint16_t handleOf(const std::array<std::uint8_t, stm32::kHandleLength>& bytes)
{
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

// Releases a reference-counted USB object when the scope ends.
template <typename T>
struct Held {
    T* object = nullptr;
    ~Held()
    {
        if (object)
            object->release();
    }
};

} // namespace

// --- Stm32PropertyChannel ------------------------------------------------------------------

Stm32PropertyChannel::Stm32PropertyChannel(USB::IUSBDevice* device, Progress progress)
    : device_(device), progress_(std::move(progress))
{
}

void Stm32PropertyChannel::send(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                                std::uint16_t length, void* data)
{
    sendRequest(device_, requestType, request, value, 0, length, data);
}

std::uint16_t Stm32PropertyChannel::getHandle()
{
    std::array<std::uint8_t, stm32::kHandleLength> handle{};
    send(stm32::kVendorDeviceIn, stm32::kGetHandle, 0, stm32::kHandleLength, handle.data());
    return handleOf(handle);
}

void Stm32PropertyChannel::getSettingsProperty(const std::string& key, void* buffer, std::uint16_t size)
{
    const std::uint16_t handle = getHandle();
    std::vector<std::uint8_t> keyBytes(key.begin(), key.end());
    send(stm32::kVendorDeviceOut, stm32::kSetKey, handle, static_cast<std::uint16_t>(keyBytes.size()),
         keyBytes.data());
    send(stm32::kVendorDeviceIn, stm32::kGetValue, handle, size, buffer);
}

void Stm32PropertyChannel::setSettingsProperty(const std::string& key, const void* data, std::uint32_t size)
{
    const std::uint16_t handle = getHandle();
    sendChunked(stm32::kSetKey, handle, reinterpret_cast<const std::uint8_t*>(key.data()),
                static_cast<std::uint32_t>(key.size()));
    sendChunked(stm32::kSetValue, handle, static_cast<const std::uint8_t*>(data), size);
}

void Stm32PropertyChannel::factoryReset() { send(stm32::kVendorDeviceOut, stm32::kFactoryReset, 0, 0, nullptr); }

void Stm32PropertyChannel::sendChunked(std::uint8_t request, std::uint16_t value, const std::uint8_t* data,
                                       std::uint32_t size)
{
    auto report = [this](int percent) {
        if (progress_)
            progress_(percent);
    };
    report(0);
    if (size == 0) {
        send(stm32::kVendorDeviceOut, request, value, 0, nullptr);
        report(100);
        return;
    }
    std::vector<std::uint8_t> piece;
    std::uint32_t remaining = size;
    int last = 0;
    while (remaining > 0) {
        const std::uint32_t n = std::min(remaining, stm32::kChunkSize);
        piece.assign(data + (size - remaining), data + (size - remaining) + n);
        send(stm32::kVendorDeviceOut, request, value, static_cast<std::uint16_t>(n), piece.data());
        remaining -= n;
        const int percent = static_cast<int>(static_cast<std::uint64_t>(size - remaining) * 100 / size);
        if (percent != last) {
            last = percent;
            report(percent);
        }
    }
    if (size % stm32::kChunkSize == 0)
        send(stm32::kVendorDeviceOut, request, value, 0, nullptr);
    report(100);
}

// --- Stm32ControlInterface -----------------------------------------------------------------

Stm32ControlInterface::Stm32ControlInterface(USB::IUSBDevice* device)
    : device_(device)
{
    const std::uint32_t filter[2] = {stm32::kControlFilterWord0, stm32::kControlFilterWord1};
    Held<USB::IUSBInterfaceIterator> iterator;
    if (!device || device->createInterfaceIterator(filter, &iterator.object) != 0 || !iterator.object)
        throw std::runtime_error("Unable to create iterator");
    Held<USB::IUSBInterface> interface;
    if (!iterator.object->next(&interface.object) || !interface.object)
        throw std::runtime_error("Unable to find interface");
    interface.object->getInterfaceNumber(&interfaceNumber_);
    const std::uint8_t* functional = interface.object->getDescriptor(nullptr, stm32::kFunctionalDescriptorType);
    if (!functional || functional[0] < stm32::kFunctionalDescriptorMinLength)
        throw std::runtime_error("Unable to find associated functional descriptor");
    attributes_ = functional[stm32::kFunctionalAttributesOffset];
}

bool Stm32ControlInterface::answers() const { return (attributes_ & stm32::kAttributeAnswers) != 0; }

void Stm32ControlInterface::send(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                                 std::uint16_t length, void* data)
{
    sendRequest(device_, requestType, request, value, interfaceNumber_, length, data);
}

std::uint8_t Stm32ControlInterface::readBootMode()
{
    std::uint8_t mode = stm32::kBootModeUnknown;
    send(stm32::kClassInterfaceIn, stm32::kClassGetBootMode, 0, stm32::kBootModeLength, &mode);
    return mode;
}

std::uint16_t Stm32ControlInterface::getHandle()
{
    std::array<std::uint8_t, stm32::kHandleLength> handle{};
    send(stm32::kClassInterfaceIn, stm32::kClassGetHandle, 0, stm32::kHandleLength, handle.data());
    return handleOf(handle);
}

void Stm32ControlInterface::setKey(std::uint16_t handle, const std::string& key)
{
    std::vector<std::uint8_t> bytes(key.begin(), key.end());
    send(stm32::kClassInterfaceOut, stm32::kClassSetKey, handle, static_cast<std::uint16_t>(bytes.size()),
         bytes.data());
}

std::string Stm32ControlInterface::getProperty(const std::string& key)
{
    const std::uint16_t handle = getHandle();
    setKey(handle, key);
    std::array<char, stm32::kTextBufferLength> text{};
    send(stm32::kClassInterfaceIn, stm32::kClassGetValue, handle, stm32::kTextValueLength, text.data());
    return std::string(text.data(), strnlen(text.data(), text.size()));
}

void Stm32ControlInterface::setProperty(const std::string& key, const std::string& value)
{
    const std::uint16_t handle = getHandle();
    setKey(handle, key);
    std::vector<std::uint8_t> bytes(value.begin(), value.end());
    send(stm32::kClassInterfaceOut, stm32::kClassSetValue, handle, static_cast<std::uint16_t>(bytes.size()),
         bytes.data());
}

} // namespace Zanthic
} // namespace TWG
