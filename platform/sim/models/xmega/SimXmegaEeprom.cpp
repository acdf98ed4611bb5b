#include "platform/sim/models/xmega/SimXmegaEeprom.h"

#include <algorithm>
#include <cstdio>

namespace platform {

SimXmegaEeprom::SimXmegaEeprom(std::uint64_t size_, std::uint32_t sectorSize_, std::uint32_t pageSize_)
    : size(size_), sectorSize(sectorSize_), pageSize(pageSize_), bytes(static_cast<std::size_t>(size_), 0xFF)
{
}

void SimXmegaEeprom::eraseSector(std::uint32_t sector)
{
    const std::uint64_t from = static_cast<std::uint64_t>(sector) * sectorSize;
    if (from >= bytes.size())
        return;
    const std::uint64_t to = std::min<std::uint64_t>(from + sectorSize, bytes.size());
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(to), 0xFF);
}

bool SimXmegaEeprom::program(std::uint64_t address, const std::uint8_t* data, std::size_t length,
                             std::string* violation)
{
    char text[96];
    if (address + length > bytes.size()) {
        std::snprintf(text, sizeof text, "EEPROM write past the end at 0x%llx", static_cast<unsigned long long>(address));
        *violation = text;
        return false;
    }
    bool erased = true;
    for (std::size_t i = 0; i < length; ++i) {
        std::uint8_t& b = bytes[static_cast<std::size_t>(address + i)];
        erased = erased && b == 0xFF;
        b &= data[i];
    }
    if (!erased) {
        std::snprintf(text, sizeof text, "programming an unerased EEPROM page at 0x%llx",
                      static_cast<unsigned long long>(address));
        *violation = text;
        return false;
    }
    return true;
}

} // namespace platform
