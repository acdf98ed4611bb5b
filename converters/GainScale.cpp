#include "converters/GainScale.h"

#include <cmath>

namespace TWG {
namespace Converters {

namespace {

constexpr double kMuted = -43.0;
constexpr double kAudioFull = 12.0;
constexpr double kVideoFull = 6.0;

double toDecibels(std::uint8_t value, std::uint8_t unity, double full)
{
    if (value == 0)
        return kMuted;
    if (value == 255)
        return full;
    return 20.0 * std::log10(static_cast<double>(value) / unity);
}

} // namespace

double audioGainToDecibels(std::uint8_t value) { return toDecibels(value, kDefaultAudioGain, kAudioFull); }

double videoGainToDecibels(std::uint8_t value) { return toDecibels(value, kDefaultVideoGain, kVideoFull); }

} // namespace Converters
} // namespace TWG
