#pragma once

#include "platform/Export.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// One EEPROM target of a simulated XMEGA converter: geometry as the device reports it, and
// its bytes (erased to 0xFF). Programming ANDs into the bytes, as flash does.
struct TWG_PLATFORM_API SimXmegaEeprom {
    SimXmegaEeprom() = default;
    SimXmegaEeprom(std::uint64_t size, std::uint32_t sectorSize, std::uint32_t pageSize);

    std::uint64_t size = 0;
    std::uint32_t sectorSize = 0;
    std::uint32_t pageSize = 0;
    std::vector<std::uint8_t> bytes;

    void eraseSector(std::uint32_t sector);
    // False (with *violation) when the bytes were not erased or lie past the end.
    bool program(std::uint64_t address, const std::uint8_t* data, std::size_t length, std::string* violation);
};

} // namespace platform
