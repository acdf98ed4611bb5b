#include "usb/DriverBuffers.h"

#include "platform/driver/DriverPort.h"
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
    std::memset(header, 0, kControlHeaderLength);
    header[kCtlOffDirection] = (request.bmRequestType & kRequestDirectionIn) ? 1 : 0;
    header[kCtlOffType] = (request.bmRequestType >> kRequestTypeShift) & kRequestTypeMask;
    header[kCtlOffRecipient] = request.bmRequestType & kRequestRecipientMask;
    header[kCtlOffRequest] = request.bRequest;
    putU16(header + kCtlOffValue, request.wValue);
    putU16(header + kCtlOffIndex, request.wIndex);
    putU16(header + kCtlOffLength, request.wLength);
    putU16(header + kCtlOffZero, 0);
    putU32(header + kCtlOffTimeoutA, request.timeoutA);
    putU32(header + kCtlOffTimeoutB, request.timeoutB);
}

void encodePipeHeader(std::uint8_t interfaceNumber, std::uint8_t pipe, std::uint32_t length,
                      std::uint32_t timeoutA, std::uint32_t timeoutB, std::uint8_t* header)
{
    std::memset(header, 0, kPipeHeaderLength);
    header[kPipeOffInterface] = interfaceNumber;
    header[kPipeOffPipe] = pipe;
    putU32(header + kPipeOffLength, length);
    putU32(header + kPipeOffTimeoutA, timeoutA);
    putU32(header + kPipeOffTimeoutB, timeoutB);
}

bool queryValue(platform::ConnectionId connection, std::uint32_t code, const void* in, std::uint32_t inLength,
                std::uint32_t required, std::uint32_t* value)
{
    std::uint8_t out[kQueryAnswerLength] = {};
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
    if (!queryValue(connection, kIoctlGetLastUsbStatus, nullptr, 0, kStatusAnswerLength, &status))
        return kResultFailure;
    return resultForUsbStatus(static_cast<std::int32_t>(status));
}

} // namespace USB
} // namespace TWG
