#pragma once

#include <cstdint>

// The FX2 converters' settings registers (one byte each, requests 0xD6/0xD7).
namespace TWG {
namespace Converters {
namespace fx2reg {

constexpr std::uint8_t kStatus = 0;
constexpr std::uint8_t kVersion = 1;
constexpr std::uint8_t kSwitches = 2;       // switch state; also the mode register of 0xBD82
constexpr std::uint8_t kControlLevels = 3;  // overriding levels; also the mode register of 0xBD69 ...
constexpr std::uint8_t kControlSelect = 4;  // which bits of register 3 override register 2
constexpr std::uint8_t kAudioGainBase = 5;  // gains 1-4 and AES/EBU in registers 5-9
constexpr std::uint8_t kLumaGain = 10;      // also the tally register of 0xBD54
constexpr std::uint8_t kChromaBGain = 11;
constexpr std::uint8_t kChromaRGain = 12;   // also the status/option register of 0xBD54
constexpr std::uint8_t kProcessing = 13;    // downconversion bits 0-1, video level bit 6, clamping bit 7
constexpr std::uint8_t kCameraNumber = 14;
constexpr std::uint8_t kProductControl = 15;
constexpr std::uint8_t kDviExtenderMode = 16;
constexpr std::uint8_t kProductExtra = 20;

constexpr std::uint8_t kTally = kLumaGain;
constexpr std::uint8_t kTallyOff = 0x80;
constexpr std::uint8_t kClampingDisabledBit = 0x80;
constexpr std::uint8_t kVideoLevelBit = 0x40;
constexpr std::uint8_t kDownconversionMask = 0x03;
constexpr std::uint8_t kProductOptionBit = 0x20;
constexpr std::uint8_t kProductStatusMask = 0x0F;
constexpr std::uint8_t kSwitchModeMask = 0x07;
constexpr int kDownconversionControlBit = 0;
constexpr int kMaxCameraNumber = 99;

} // namespace fx2reg
} // namespace Converters
} // namespace TWG
