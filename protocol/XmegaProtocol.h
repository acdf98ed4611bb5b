#pragma once

#include <cstdint>

// The XMEGA converters' vendor requests, byte layouts, time-outs and poll bounds. Every value
// is defined here once; multi-byte fields are little-endian unless noted.
namespace TWG {
namespace Converters {
namespace xmega {

// --- bmRequestType -------------------------------------------------------------------------
constexpr std::uint8_t kVendorInterfaceIn = 0xC1;
constexpr std::uint8_t kVendorInterfaceOut = 0x41;
constexpr std::uint8_t kVendorDeviceIn = 0xC0; // uuid read only

// --- bRequest --------------------------------------------------------------------------------
constexpr std::uint8_t kSetIdentity = 0x01;
constexpr std::uint8_t kProgramUuid = 0x02;
constexpr std::uint8_t kGetBootloaderStatus = 0x03;
constexpr std::uint8_t kEraseApplication = 0x04;
constexpr std::uint8_t kWriteApplication = 0x05;
constexpr std::uint8_t kReadApplication = 0x06;
constexpr std::uint8_t kGetUuid = 0x10; // with kVendorDeviceIn
constexpr std::uint8_t kGetMode = 0x10; // with kVendorInterfaceIn
constexpr std::uint8_t kGetVersions = 0x11;
constexpr std::uint8_t kRestart = 0x12;
constexpr std::uint8_t kGetSessionStatus = 0x30;
constexpr std::uint8_t kOpenSession = 0x31;
constexpr std::uint8_t kCloseSession = 0x32;
constexpr std::uint8_t kSetTargetEeprom = 0x34;
constexpr std::uint8_t kGetEepromInfo = 0x35;
constexpr std::uint8_t kEraseEeprom = 0x37;
constexpr std::uint8_t kGetEepromProgress = 0x38;
constexpr std::uint8_t kWriteEepromData = 0x39;
constexpr std::uint8_t kSelectSegment = 0x50;
constexpr std::uint8_t kWriteMemory = 0x52;
constexpr std::uint8_t kReadMemory = 0x53;
constexpr std::uint8_t kIsPowered = 0xA0;

// --- wValue of kRestart ------------------------------------------------------------------------
constexpr std::uint16_t kRestartApplication = 0;
constexpr std::uint16_t kRestartBootloader = 1;

// --- Layouts -----------------------------------------------------------------------------------
constexpr std::uint16_t kIdentityFieldLength = 10;
constexpr char kIdentityField[kIdentityFieldLength + 1] = "Tarnwright"; // sent without the NUL
constexpr std::uint16_t kUuidLength = 16;
constexpr std::uint16_t kSetIdentityLength = 4 + kIdentityFieldLength;          // vid, pid, identity
constexpr std::uint16_t kProgramUuidLength = kUuidLength + kIdentityFieldLength; // uuid, identity
constexpr std::uint16_t kBootloaderStatusLength = 4; // u16 page size, u16 page count
constexpr std::uint16_t kModeLength = 1;
constexpr std::uint16_t kVersionsLength = 8; // two u32
constexpr std::uint16_t kSessionStatusLength = 6;
constexpr int kSessionOffOpen = 0;
constexpr int kSessionOffBusyA = 1;
constexpr int kSessionOffBusyB = 2;
constexpr std::uint16_t kEepromInfoLength = 16; // u64 size, u32 sector size, u32 page size
constexpr int kInfoOffSize = 0;
constexpr int kInfoOffSectorSize = 8;
constexpr int kInfoOffPageSize = 12;
constexpr std::uint16_t kEraseEepromLength = 8; // u32 first sector, u32 sector count
constexpr std::uint16_t kEepromProgressLength = 15;
constexpr int kProgressOffStart = 0;
constexpr int kProgressOffTotal = 4;
constexpr int kProgressOffCurrent = 8;
constexpr int kProgressOffBusy = 12; // u16
constexpr int kProgressOffErasePhase = 14;
constexpr std::uint16_t kWriteEepromDataLength = 4; // u32 first page
constexpr std::uint16_t kPowerLength = 1;

// --- Interface filter: class, subclass and protocol 0xFF; a bulk pipe each way -----------
constexpr std::uint32_t kInterfaceFilterWord0 = 0x00FF00FF;
constexpr std::uint32_t kInterfaceFilterWord1 = 0xFFFF00FF;

// --- Geometry ------------------------------------------------------------------------------------
constexpr std::uint32_t kApplicationBlockLimit = 2048; // the largest application block
constexpr std::uint32_t kSegmentSize = 0x10000;
// A memory request never carries more: usbfs refuses larger data stages, and a 64 KiB piece
// would wrap wLength to 0.
constexpr std::uint32_t kMaxMemoryPiece = 4096;
constexpr std::uint32_t kEepromChunkLimit = 32768;

// --- Time-outs (ms) ----------------------------------------------------------------------------
constexpr std::uint32_t kRequestTimeoutMs = 5000;
constexpr std::uint32_t kEepromChunkTimeoutMs = 10000;
constexpr std::uint32_t kEepromFinalTimeoutMs = 5000;

// --- Polls ------------------------------------------------------------------------------------
constexpr int kStaleSessionPollMs = 100;
constexpr int kStaleSessionPolls = 50;
constexpr int kErasePollMs = 100;
constexpr int kErasePolls = 6000;      // 10 minutes: a whole 8 MiB part erases well within it
constexpr int kWriteFinishPollMs = 500;
constexpr int kWriteFinishPolls = 600; // 5 minutes
// Opening a device that just arrived: attempts in all, and the pause between two.
constexpr int kOpenAttempts = 3;
constexpr int kOpenRetryMs = 250;
// The application load gives up when the device has not come back this long after a restart.
constexpr int kReenumerationTimeoutMs = 30000;

// --- EEPROM write progress range -------------------------------------------------------------
constexpr int kEepromWriteProgressLow = 50;
constexpr int kEepromWriteProgressHigh = 100;

} // namespace xmega
} // namespace Converters
} // namespace TWG
