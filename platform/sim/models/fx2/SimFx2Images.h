#pragma once

#include "platform/Export.h"

#include <cstdint>
#include <vector>

namespace platform {

// FX2 RAM images that a scenario's blank controllers bring along (records as the FX2 product
// table keeps them: count, big-endian address, type, data, checksum). The converter layer asks
// here when it has no image of its own, so only a simulated bus ever gets one. Thread-safe.
TWG_PLATFORM_API std::vector<std::uint8_t> simFx2RamImage(std::uint16_t productId);
TWG_PLATFORM_API void setSimFx2RamImage(std::uint16_t productId, std::vector<std::uint8_t> image);
TWG_PLATFORM_API void clearSimFx2RamImages();

// A small image that runs: one data record (an 8051 jump to itself at 0x0000) and the end record.
TWG_PLATFORM_API std::vector<std::uint8_t> syntheticFx2RamImage();

} // namespace platform
