#pragma once

#include "platform/driver/DeviceBroadcast.h"
#include "usb/USBControlRequest.h"

#include <cstdint>

namespace TWG {
namespace USB {

// Little-endian fields of the driver's buffers.
void putU16(std::uint8_t* at, std::uint16_t value);
void putU32(std::uint8_t* at, std::uint32_t value);
std::uint16_t getU16(const std::uint8_t* at);
std::uint32_t getU32(const std::uint8_t* at);

// Fills the 20-byte control-transfer header from a request.
void encodeControlHeader(const USBControlRequest& request, std::uint8_t* header);

// Fills the 16-byte pipe header.
void encodePipeHeader(std::uint8_t interfaceNumber, std::uint8_t pipe, std::uint32_t length,
                      std::uint32_t timeoutA, std::uint32_t timeoutB, std::uint8_t* header);

// Asks a control code for a value with a 4-byte output buffer. True when the call succeeded
// and exactly `required` bytes came back; *value then holds them (zero-extended).
bool queryValue(platform::ConnectionId connection, std::uint32_t code, const void* in, std::uint32_t inLength,
                std::uint32_t required, std::uint32_t* value);

// Result code after a failed control transfer: the driver's last USB status, mapped.
std::uint32_t resultFromLastUsbStatus(platform::ConnectionId connection);

} // namespace USB
} // namespace TWG
