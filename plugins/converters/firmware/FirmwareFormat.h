#pragma once

#include "protocol/ConverterFirmware.h"

#include <cstdint>

// The constants of the update run, beside the image kinds and table layout it shares with the
// simulated converters.
namespace FirmwareFormat {

constexpr const char kConverterSetName[] = "7.6.1";
constexpr const char kBaseSetName[] = "---";

// FX2 programming: flash chunks, and the share of the bar the FX2 image takes when an AT90
// image follows.
constexpr std::uint32_t kFx2ChunkSize = 4096;
constexpr double kFx2ShareWithAt90 = 0.75;

} // namespace FirmwareFormat
