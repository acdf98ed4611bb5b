#pragma once

#include "platform/Messages.h"
#include "usb/USBControlRequest.h"

#include <cstdint>

namespace TWG {
namespace USB {

class IUSBInterfaceIterator;

// One opened device. Reference-counted; results are the library's result codes.
class IUSBDevice {
public:
    virtual std::int32_t addRef() = 0;
    virtual std::int32_t release() = 0;

    virtual std::uint32_t controlTransfer(USBControlRequest* request) = 0;
    virtual std::uint32_t getDeviceFieldA(std::uint8_t* out) = 0;
    virtual std::uint32_t getDeviceFieldB(std::uint8_t* out) = 0;
    virtual std::uint32_t getProductId(std::uint16_t* out) = 0;
    virtual std::uint32_t getDeviceFieldC(std::uint8_t* out) = 0;
    virtual std::uint32_t getDeviceRelease(std::uint16_t* out) = 0;
    virtual std::uint32_t queryUnsupportedA() = 0;
    virtual std::uint32_t getDeviceFieldD(std::uint8_t* out) = 0;
    virtual std::uint32_t getVendorId(std::uint16_t* out) = 0;
    virtual std::uint32_t queryUnsupportedB() = 0;
    virtual std::uint32_t getConfigurationCount(std::uint8_t* out) = 0;
    virtual std::uint32_t selectConfiguration(std::uint8_t index) = 0;
    virtual std::uint32_t getConfigurationState() = 0;
    virtual std::uint32_t reserved() = 0;
    virtual std::uint32_t reset() = 0;
    virtual std::uint32_t getSerialNumberIndex(std::uint8_t* out) = 0;
    virtual std::uint32_t createInterfaceIterator(const std::uint32_t filter[2], IUSBInterfaceIterator** out) = 0;
    // Offers a posted completion message to the claimed interfaces; 10 when none took it.
    virtual std::uint32_t handleAsyncMessage(platform::WPARAM wParam, platform::LPARAM lParam) = 0;
    virtual std::uint32_t setAsyncWindow(platform::WindowId window, std::uint32_t message) = 0;

protected:
    virtual ~IUSBDevice() = default;
};

} // namespace USB
} // namespace TWG
