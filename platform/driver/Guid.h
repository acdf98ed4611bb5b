#pragma once

#include <cstdint>

namespace platform {

struct Guid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};

inline bool operator==(const Guid& a, const Guid& b)
{
    if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.data4[i] != b.data4[i])
            return false;
    return true;
}
inline bool operator!=(const Guid& a, const Guid& b) { return !(a == b); }

// The device-interface class of the converters' kernel driver.
constexpr Guid kDriverInterfaceGuid = {0x4E2A9C71, 0x53B8, 0x4D0E, {0x9F, 0x16, 0xA7, 0xC3, 0xE5, 0x8B, 0x2D, 0x94}};

} // namespace platform
