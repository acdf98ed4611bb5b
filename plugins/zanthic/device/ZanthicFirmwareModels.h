#pragma once

#include <array>
#include <cstdint>

// The build numbers of the STM32 firmware that the plug-in's packages carry, by product id.
// Placeholders: the maker's numbers are product data this tree does not hold. The simulated
// devices and the synthetic packages read the same numbers, so "current" means the same to
// all of them.
namespace TWG {
namespace Zanthic {
namespace firmware {

struct PackagedBuild {
    std::uint16_t productId;
    std::uint32_t buildNumber;
};

constexpr std::array<PackagedBuild, 6> kStm32PackagedBuilds = {{
    {0xBE6F, 0x00010f6f},
    {0xBE70, 0x00011070},
    {0xBE77, 0x00011777},
    {0xBE78, 0x00011878},
    {0xBE79, 0x00011979},
    {0xBE89, 0x00012989},
}};

// 0 for a product without a packaged STM32 build.
constexpr std::uint32_t packagedBuildNumber(std::uint16_t productId)
{
    for (const PackagedBuild& b : kStm32PackagedBuilds)
        if (b.productId == productId)
            return b.buildNumber;
    return 0;
}

} // namespace firmware
} // namespace Zanthic
} // namespace TWG
