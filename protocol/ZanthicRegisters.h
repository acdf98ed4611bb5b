#pragma once

#include <cstdint>

// The register map of the XMEGA Zanthic converters. Register N is the XMEGA channel's memory
// at address N; every value is defined here once.
namespace TWG {
namespace Zanthic {
namespace xmegareg {

// --- Registers and their sizes (bytes) --------------------------------------------------------
constexpr std::uint32_t kFpgaVersion = 0; // also the connection probe
constexpr std::uint32_t kFpgaVersionLength = 4; // little-endian
constexpr std::uint32_t kFactoryReset = 10;
constexpr std::uint8_t kFactoryResetCommand = 0x42; // reads 0 again once done
constexpr std::uint32_t kReleaseVersion = 176;
constexpr std::uint32_t kReleaseVersionLength = 7; // ASCII up to the first zero byte
constexpr std::uint32_t kDeviceName = 192;
constexpr std::uint32_t kTextLength = 64; // names: ASCII up to the first zero byte, zero-padded
constexpr std::uint32_t kHdmiClamp = 256;
constexpr std::uint32_t kHdmiRxCh34Swap = 257;
constexpr std::uint32_t kHdmiTxCh34Swap = 258;
constexpr std::uint32_t kSdiLevelA = 512;
constexpr std::uint32_t kLutSelection = 768;
constexpr std::uint32_t kLutLoop = 769;
constexpr std::uint32_t kLutName = 784;        // as the device reports it
constexpr std::uint32_t kLutCommand = 1024;
constexpr std::uint8_t kLutCommandLoaded = 3;  // written after a LUT upload
constexpr std::uint32_t kLutNameWritten = 1040; // as written after a LUT upload
constexpr std::uint32_t kFlagLength = 1;

// --- LUT data: staged EEPROM programming ------------------------------------------------------
constexpr std::uint16_t kLutEepromTarget = 0;
constexpr std::uint32_t kLutEepromAddress = 0x3F0000;
constexpr int kLutCubeSize = 17; // 17 x 17 x 17 words of four bytes, least significant first

// --- Staged EEPROM programming ------------------------------------------------------------------
// The erase and the write that follows it are polled this often.
constexpr int kEepromPollIntervalMs = 500;
// An erase sector smaller than this is a device fault: no serial memory erases less at once.
constexpr std::uint32_t kMinEraseSectorBytes = 256;
// The whole erase of an image gets a fixed allowance and this much per 64 KiB of the image
// before it counts as stuck, whatever sector size the device reports; the end of a write gets
// this many polls.
constexpr int kEraseAllowanceMs = 10000;
constexpr int kEraseMsPerSpan = 2000;
constexpr std::uint32_t kEraseSpanBytes = 64u << 10;
constexpr int kWriteFinishPolls = 60;
// A LUT upload: begin, program and end, tried this often with this pause between attempts.
constexpr int kLutUploadAttempts = 10;
constexpr int kLutUploadRetryMs = 200;

// --- Polls --------------------------------------------------------------------------------------
// The FPGA version is read until it is non-zero.
constexpr int kFpgaVersionReads = 20;
constexpr int kFpgaVersionReadIntervalMs = 100;
// The factory reset register is read until it is 0 again.
constexpr int kFactoryResetReads = 10;
constexpr int kFactoryResetReadIntervalMs = 200;

} // namespace xmegareg
} // namespace Zanthic
} // namespace TWG
