#pragma once

#include <cstdint>

// The XMEGA converters' settings in device memory: 4-byte little-endian words.
namespace TWG {
namespace Converters {
namespace xmegaaddr {

constexpr std::uint32_t kVersion = 0;
constexpr std::uint32_t kRequest = 8;        // request byte; also the mode register of 0xBDB8
constexpr std::uint32_t kAudioGainBase = 20; // gains 1-4 and AES/EBU at 20, 24, 28, 32, 36
constexpr std::uint32_t kLumaGain = 40;
constexpr std::uint32_t kChromaBGain = 44;
constexpr std::uint32_t kChromaRGain = 48;
constexpr std::uint32_t kDownconversion = 52;
constexpr std::uint32_t kClamping = 56;      // bit 0 clamping disabled, bit 1 option flag A
constexpr std::uint32_t kVideoLevel = 60;
constexpr std::uint32_t kStatus = 80;
constexpr std::uint32_t kModeRegister = 84;
constexpr std::uint32_t kInstantLock = 144;  // bit 0 clear: instant lock on
constexpr std::uint32_t kSdAspect = 148;
constexpr std::uint32_t kOptionB = 152;
constexpr std::uint32_t kModeRegisterBE06 = 156;
constexpr std::uint32_t kLutNameBase[2] = {512, 768};

constexpr std::uint32_t kDownconversionOn = 0x10;
constexpr std::uint32_t kRequestDoneBit = 0x04;
constexpr int kRequestPollMs = 500;
constexpr int kRequestPollReads = 100;
constexpr int kPowerProbeTries = 50;
constexpr int kPowerProbeIntervalMs = 100;

// LUT images on EEPROM target 0: a 40-byte name field, then the 33^3 entries.
constexpr std::uint16_t kLutTarget = 0;
constexpr std::uint32_t kLutOffsetBase = 0x380000;
constexpr std::uint32_t kLutSlotSize = 0x30000;
constexpr std::size_t kLutNameField = 40;
constexpr std::size_t kLutNameMaxBytes = 39;
constexpr std::size_t kLutNameCutOffset = 38;

} // namespace xmegaaddr
} // namespace Converters
} // namespace TWG
