#include "usb/USBControlRequest.h"

#include "protocol/UsbChapter9.h"
#include "usb/UsbConstants.h"

namespace TWG {
namespace USB {

USBControlRequest USBControlRequest::deviceRequest(int direction, std::uint8_t request, std::uint16_t value,
                                                   std::uint16_t index, std::uint16_t length, void* data)
{
    USBControlRequest r;
    r.bmRequestType = static_cast<std::uint8_t>(((direction & 1) << 7) | usbch9::kRequestTypeVendor |
                                                usbch9::kRecipientDevice);
    r.bRequest = request;
    r.wValue = value;
    r.wIndex = index;
    r.wLength = length;
    r.data = data;
    r.timeoutA = kDeviceRequestTimeoutMs;
    r.timeoutB = kDeviceRequestTimeoutMs;
    return r;
}

} // namespace USB
} // namespace TWG
