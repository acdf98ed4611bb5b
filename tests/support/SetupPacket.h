#pragma once

#include "platform/backend/UsbBackend.h"

#include <cstdint>

namespace usbtest {

// A control request's setup packet, in the order the tests name its fields.
inline platform::UsbSetup setup(std::uint8_t type, std::uint8_t request, std::uint16_t length,
                                std::uint16_t value = 0, std::uint16_t index = 0)
{
    platform::UsbSetup s;
    s.bmRequestType = type;
    s.bRequest = request;
    s.wValue = value;
    s.wIndex = index;
    s.wLength = length;
    return s;
}

} // namespace usbtest
