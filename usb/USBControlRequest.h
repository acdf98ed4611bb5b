#pragma once

#include <cstdint>

namespace TWG {
namespace USB {

// The callers' form of a control transfer.
struct USBControlRequest {
    std::uint8_t bmRequestType = 0;
    std::uint8_t bRequest = 0;
    std::uint16_t wValue = 0;
    std::uint16_t wIndex = 0;
    std::uint16_t wLength = 0;
    void* data = nullptr; // wLength bytes, in or out
    std::uint32_t timeoutA = 0;
    std::uint32_t timeoutB = 0;

    // Any request; both timeouts are timeoutMs.
    static USBControlRequest make(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                                  std::uint16_t index, std::uint16_t length, void* data, std::uint32_t timeoutMs);
    // A vendor request to the device; direction 1 is device to host.
    static USBControlRequest deviceRequest(int direction, std::uint8_t request, std::uint16_t value,
                                           std::uint16_t index, std::uint16_t length, void* data);
};

} // namespace USB
} // namespace TWG
