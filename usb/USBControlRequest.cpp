#include "usb/USBControlRequest.h"

#include "protocol/UsbChapter9.h"
#include "usb/UsbConstants.h"

namespace TWG {
namespace USB {

USBControlRequest USBControlRequest::make(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                                          std::uint16_t index, std::uint16_t length, void* data,
                                          std::uint32_t timeoutMs)
{
    USBControlRequest r;
    r.bmRequestType = requestType;
    r.bRequest = request;
    r.wValue = value;
    r.wIndex = index;
    r.wLength = length;
    r.data = data;
    r.timeoutA = timeoutMs;
    r.timeoutB = timeoutMs;
    return r;
}

USBControlRequest USBControlRequest::deviceRequest(int direction, std::uint8_t request, std::uint16_t value,
                                                   std::uint16_t index, std::uint16_t length, void* data)
{
    const auto requestType = static_cast<std::uint8_t>(((direction & 1) << 7) | usbch9::kRequestTypeVendor |
                                                       usbch9::kRecipientDevice);
    return make(requestType, request, value, index, length, data, kDeviceRequestTimeoutMs);
}

} // namespace USB
} // namespace TWG
