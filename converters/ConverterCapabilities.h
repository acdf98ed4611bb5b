#pragma once

#include <cstdint>

namespace TWG {
namespace Converters {

// What a converter model offers, derived from its USB product id alone.
struct ConverterCapabilities {
    bool adjustable = false;
    int videoLevelsAreOutput = 0; // 1 output levels, 0 input levels
    int audioLevelsAreOutput = 0;
    bool videoGains = false;
    bool audio = false;
    bool downconversion = false;
    int audioChannelCount = 0; // 0, 2 or 4
    bool aesEbuLevel = false;
    bool dviExtender = false;
    bool tally = false;
    bool clamping = false;
    bool videoLevel = false;
    int videoLevelControlBit = 0; // 0 none, else FX2 control bit + 1
    bool hdmiInstantLock = false;
    bool lut = false;
    bool sdAspect = false;

    // An unknown id offers nothing.
    static ConverterCapabilities forProduct(std::uint16_t productId);
};

} // namespace Converters
} // namespace TWG
