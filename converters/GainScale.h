#pragma once

#include <cstdint>

namespace TWG {
namespace Converters {

constexpr std::uint8_t kDefaultAudioGain = 64;  // 0 dB
constexpr std::uint8_t kDefaultVideoGain = 128; // 0 dB

// The settings page's decibel captions of the raw gain bytes.
double audioGainToDecibels(std::uint8_t value);
double videoGainToDecibels(std::uint8_t value);

} // namespace Converters
} // namespace TWG
