#pragma once

#include <cstdint>

namespace TWG {
namespace Converters {

// Firmware programming of an FX2-based converter and of the AT90 behind it. Blocking; the
// firmware update thread calls it.
class IConverterFX2Programming {
public:
    virtual ~IConverterFX2Programming() = default;
    virtual bool eraseFirmware(std::uint32_t length) = 0;
    virtual bool writeFirmware(const std::uint8_t* data, std::uint32_t length) = 0;
    virtual bool restartDevice() = 0;
    virtual bool hasAT90() = 0;
    virtual bool eraseAT90() = 0;
    virtual bool writeAT90Fuses() = 0;
    virtual bool enterAT90Programming() = 0;
    virtual bool leaveAT90Programming() = 0;
    virtual bool prepareAT90Pages() = 0;
    virtual bool writeAT90Page(std::uint32_t page, const std::uint8_t* data, std::uint32_t remaining,
                               std::uint32_t* written) = 0;
};

} // namespace Converters
} // namespace TWG
