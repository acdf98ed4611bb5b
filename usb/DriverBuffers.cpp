#include "usb/DriverBuffers.h"

#include "platform/driver/DriverPort.h"
#include "protocol/UsbChapter9.h"
#include "usb/UsbConstants.h"
#include "usb/UsbStatus.h"

#include <cstring>

namespace TWG {
namespace USB {

void putU16(std::uint8_t* at, std::uint16_t value)
{
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void putU32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint16_t getU16(const std::uint8_t* at)
{
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

std::uint32_t getU32(const std::uint8_t* at)
{
    return std::uint32_t(at[0]) | (std::uint32_t(at[1]) << 8) | (std::uint32_t(at[2]) << 16) |
           (std::uint32_t(at[3]) << 24);
}

void encodeControlHeader(const USBControlRequest& request, std::uint8_t* header)
{
    std::memset(header, 0, driver::kControlHeaderLength);
    header[driver::kCtlDirection] = (request.bmRequestType & usbch9::kRequestDirectionIn) ? 1 : 0;
    header[driver::kCtlType] = (request.bmRequestType & usbch9::kRequestTypeMask) >> usbch9::kRequestTypeShift;
    header[driver::kCtlRecipient] = request.bmRequestType & usbch9::kRequestRecipientMask;
    header[driver::kCtlRequest] = request.bRequest;
    putU16(header + driver::kCtlValue, request.wValue);
    putU16(header + driver::kCtlIndex, request.wIndex);
    putU16(header + driver::kCtlLength, request.wLength);
    putU16(header + driver::kCtlZero, 0);
    putU32(header + driver::kCtlTimeoutA, request.timeoutA);
    putU32(header + driver::kCtlTimeoutB, request.timeoutB);
}

void encodePipeHeader(std::uint8_t interfaceNumber, std::uint8_t pipe, std::uint32_t length,
                      std::uint32_t timeoutA, std::uint32_t timeoutB, std::uint8_t* header)
{
    std::memset(header, 0, driver::kPipeHeaderLength);
    header[driver::kPipeInterface] = interfaceNumber;
    header[driver::kPipeIndex] = pipe;
    putU32(header + driver::kPipeLength, length);
    putU32(header + driver::kPipeTimeoutA, timeoutA);
    putU32(header + driver::kPipeTimeoutB, timeoutB);
}

bool queryValue(platform::ConnectionId connection, std::uint32_t code, const void* in, std::uint32_t inLength,
                std::uint32_t required, std::uint32_t* value)
{
    std::uint8_t out[driver::kWordLength] = {};
    std::uint32_t returned = 0;
    if (!platform::DriverPort::instance().ioctl(connection, code, in, inLength, out, sizeof out, &returned))
        return false;
    if (returned != required)
        return false;
    *value = getU32(out);
    return true;
}

std::uint32_t resultFromLastUsbStatus(platform::ConnectionId connection)
{
    std::uint32_t status = 0;
    if (!queryValue(connection, driver::kGetLastUsbStatus, nullptr, 0, driver::kWordLength, &status))
        return kResultFailure;
    return resultForUsbStatus(static_cast<std::int32_t>(status));
}

} // namespace USB
} // namespace TWG
