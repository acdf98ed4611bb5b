#pragma once

#include <cstdint>

// The 3D LUT as the Zanthic converters hold it: a cube of N x N x N words, red index fastest,
// then green, then blue, each word four bytes least significant first. Every value is defined
// here once.
namespace TWG {
namespace Zanthic {
namespace lut {

// --- One word: three 10-bit channels, bits 30-31 zero ----------------------------------------
constexpr int kChannelBits = 10;
constexpr std::uint32_t kChannelMax = (1u << kChannelBits) - 1; // 1023
constexpr int kRedShift = 0;
constexpr int kGreenShift = kChannelBits;
constexpr int kBlueShift = 2 * kChannelBits;
constexpr int kWordBytes = 4;

// --- Points per axis -----------------------------------------------------------------------------
// The STM32 models 0xBE77, 0xBE78 and 0xBE89 take 33 points, every other model 17 (the XMEGA
// models among them).
constexpr int kLargePoints = 33;
constexpr int kSmallPoints = 17;
constexpr bool hasLargeCube(std::uint16_t productId)
{
    return productId == 0xBE77 || productId == 0xBE78 || productId == 0xBE89;
}

// The largest table a ".cube" file may hold, per axis, for 1D and 3D tables alike.
constexpr std::uint64_t kFileSizeLimit = 33;

} // namespace lut
} // namespace Zanthic
} // namespace TWG
