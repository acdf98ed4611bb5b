#pragma once

#include <cstdint>

// Vendor requests, memory layout and timing of the converters' EZ-USB FX2 controller.
namespace TWG {
namespace Converters {
namespace fx2 {

// --- Request types (vendor, device recipient) ----------------------------------------------
constexpr std::uint8_t kRequestTypeOut = 0x40;
constexpr std::uint8_t kRequestTypeIn = 0xC0;

// --- Requests --------------------------------------------------------------------------------
constexpr std::uint8_t kRequestRamWrite = 0xA0;        // the chip's own firmware-load request
constexpr std::uint8_t kRequestModePair = 0xD2;        // 2 bytes out
constexpr std::uint8_t kRequestEepromWrite = 0xD3;     // wIndex address, 1 byte out
constexpr std::uint8_t kRequestEepromRead = 0xD4;      // wIndex address, 1 byte in
constexpr std::uint8_t kRequestReadyProbe = 0xD5;      // 1 byte in, non-zero = ready
constexpr std::uint8_t kRequestReadRegister = 0xD6;    // wIndex register << 8, 1 byte in
constexpr std::uint8_t kRequestWriteRegister = 0xD7;   // wIndex (register << 8) + value
constexpr std::uint8_t kRequestEnterProgramming = 0xDB;
constexpr std::uint8_t kRequestLeaveProgramming = 0xDC;
constexpr std::uint8_t kRequestFlashAddress = 0xDE;    // 3 bytes out, big-endian; a page follows on bulk
constexpr std::uint8_t kRequestFlashDone = 0xDF;       // 1 byte in, non-zero = done
constexpr std::uint8_t kRequestEraseBlock = 0xE0;      // 3 bytes out, big-endian block address
constexpr std::uint8_t kRequestPower = 0xE1;           // 1 byte in, non-zero = external power

constexpr std::uint32_t kRequestTimeoutMs = 1000;
constexpr std::uint32_t kBulkTimeoutMs = 5000;

// --- RAM download ----------------------------------------------------------------------------
constexpr std::uint16_t kCpucsAddress = 0xE600;        // bit 0 holds the 8051 in reset
constexpr std::uint8_t kCpucsReset = 1;
constexpr std::uint8_t kCpucsRun = 0;
constexpr int kRamWriteAttempts = 3;
// Image record: count n, address (big-endian), type, n data bytes, checksum.
constexpr std::uint32_t kRecordHeaderLength = 4;
constexpr std::uint32_t kRecordOverhead = 5;
constexpr std::uint8_t kRecordTypeData = 0;
// The device release of an FX2 that runs without firmware.
constexpr std::uint16_t kReleaseWithoutFirmware = 1;

// --- Registers -------------------------------------------------------------------------------
constexpr std::uint8_t kRegisterPing = 0;
constexpr std::uint8_t kRegisterVersion = 1;
constexpr int kRegisterWritePauseMs = 5;

// --- Flash -----------------------------------------------------------------------------------
constexpr std::uint32_t kPageSize = 256;
constexpr std::uint32_t kMaxBlockCount = 64;
constexpr std::uint32_t kBlockSize = 0x10000;
constexpr std::uint32_t kAddressWidth = 3;
constexpr std::uint32_t kFlashSize = kMaxBlockCount * kBlockSize;
constexpr std::uint32_t kStreamPieceSize = 16384;

constexpr std::uint8_t kModeEraseDone[2] = {1, 0};
constexpr std::uint8_t kModeAt90Pages[2] = {2, 0};
constexpr std::uint8_t kModeUnknown = 0xFF;
constexpr std::uint8_t kModeAlwaysSend = 2;            // a pair with this second byte is never skipped

constexpr int kEraseAttempts = 2;
constexpr int kErasePollMs = 100;
constexpr int kErasePolls = 60;
constexpr int kPageDonePollMs = 1;                     // write method 0
constexpr int kPageDonePolls = 20;
constexpr int kAddressedPageDonePollMs = 3;            // write method 1
constexpr int kAddressedPageDonePolls = 200;
constexpr int kWaitFlashDonePollMs = 100;              // erase method 1
constexpr int kWaitFlashDonePolls = 60;

// --- Restart and readiness -------------------------------------------------------------------
constexpr int kRestartStreamPauseMs = 1000;
constexpr int kRestartPollMs = 100;
constexpr int kRestartPolls = 100;
constexpr int kRestartEndPauseMs = 1000;
constexpr int kReadyRounds = 100;
constexpr int kReadyRoundPauseMs = 100;
constexpr int kReadyRegisterPollMs = 100;
constexpr int kReadyRegisterPolls = 20;
constexpr int kArrivalReadyProbes = 100;               // non-converter products on arrival
constexpr int kArrivalReadyProbeMs = 100;
constexpr int kArrivalReadySettleMs = 100;

constexpr std::uint16_t kBootloaderProductIdNoWait = 0xBD00;
constexpr std::uint16_t kBootloaderProductId = 0xBD01;

// --- Boot EEPROM ("C0" / "C2" load formats) --------------------------------------------------
constexpr int kEepromWritePauseMs = 10;
constexpr std::uint8_t kBootC0 = 0xC0;
constexpr std::uint8_t kBootC2 = 0xC2;
constexpr std::uint16_t kBootDeviceId = 0x0001;
constexpr std::uint32_t kBootHeaderLength = 11;
constexpr std::uint32_t kBootClearLength = 8;
constexpr std::uint8_t kBootErased = 0xFF;
constexpr std::uint16_t kBootConfigAddress = 7;
constexpr std::uint8_t kBootConfig = 0x01;
constexpr std::uint8_t kBootConfigAlt = 0x41;
constexpr std::uint16_t kBootRecordsAddress = 8;
constexpr std::uint8_t kBootEndRecord[5] = {0x80, 0x01, 0xE6, 0x00, 0x00};
constexpr std::uint32_t kEepromSize = 0x10000;

} // namespace fx2
} // namespace Converters
} // namespace TWG
