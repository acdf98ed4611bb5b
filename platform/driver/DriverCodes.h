#pragma once

#include <cstdint>

// The kernel driver's interface: its control codes, buffer layouts (little-endian) and the USBD
// statuses it reports. The USB library builds these buffers and the emulator answers them.
namespace platform {

namespace usbd {
constexpr std::uint32_t kSuccess = 0x00000000;
constexpr std::uint32_t kStall = 0xC0000004;
constexpr std::uint32_t kNotResponding = 0xC0000005;
constexpr std::uint32_t kNoMemory = 0xC0001000;
constexpr std::uint32_t kInterfaceNotFound = 0xC0004000;
constexpr std::uint32_t kTimeout = 0xC0006000;
constexpr std::uint32_t kDeviceGone = 0xC0007000;
constexpr std::uint32_t kCancelled = 0xC0010000;
constexpr std::uint32_t kBadArgument = 0x80000300;
constexpr std::uint32_t kInvalidPipe = 0x80000600;
} // namespace usbd

namespace driver {

constexpr std::uint32_t kGetVersion = 0x222000;
constexpr std::uint32_t kGetLastUsbStatus = 0x22205C;
constexpr std::uint32_t kControlTransfer = 0x222080;
constexpr std::uint32_t kGetDeviceClass = 0x22208C;     // device field A
constexpr std::uint32_t kGetConfigDescriptor = 0x222090;
constexpr std::uint32_t kGetDeviceSubClass = 0x222094;  // device field B
constexpr std::uint32_t kGetProductId = 0x222098;
constexpr std::uint32_t kGetDeviceProtocol = 0x22209C;  // device field C
constexpr std::uint32_t kGetDeviceRelease = 0x2220A0;
constexpr std::uint32_t kGetMaxPacketSize0 = 0x2220A8;  // device field D
constexpr std::uint32_t kGetVendorId = 0x2220AC;
constexpr std::uint32_t kGetConfigurationCount = 0x2220B4;
constexpr std::uint32_t kSelectConfiguration = 0x2220B8;
constexpr std::uint32_t kGetInterfaceList = 0x2220BC;
constexpr std::uint32_t kGetInterfaceClass = 0x2220C0;     // interface field A
constexpr std::uint32_t kGetInterfaceNumber = 0x2220C4;
constexpr std::uint32_t kGetInterfaceSubClass = 0x2220C8;  // interface field B
constexpr std::uint32_t kGetInterfaceProtocol = 0x2220CC;  // interface field C
constexpr std::uint32_t kGetEndpointCount = 0x2220D0;
constexpr std::uint32_t kGetEndpointInfo = 0x2220D4;
constexpr std::uint32_t kPipeWrite = 0x2220D8;
constexpr std::uint32_t kPipeRead = 0x2220DC;
constexpr std::uint32_t kResetPort = 0x2220E0;
constexpr std::uint32_t kPipeWriteAsync = 0x2220E4;
constexpr std::uint32_t kPipeReadAsync = 0x2220E8;
constexpr std::uint32_t kEnablePipe = 0x2220EC;
constexpr std::uint32_t kGetSerialNumberIndex = 0x2220F0;

// Version answer: u32 a, u32 b.
constexpr std::uint32_t kVersionA = 5;
constexpr std::uint32_t kVersionB = 5;
constexpr std::uint32_t kVersionLength = 8;

constexpr std::uint32_t kWordLength = 4;       // query answers, list and descriptor length prefixes
constexpr std::uint32_t kSerialIndexLength = 1;
constexpr std::uint32_t kEndpointInfoLength = 6;
constexpr std::uint32_t kFilterLength = 8;
constexpr std::uint32_t kEntryEndpointLength = 8; // u32 entry, u32 endpoint

// Control-transfer header, then the data stage.
constexpr std::uint32_t kControlHeaderLength = 20;
constexpr int kCtlDirection = 0;
constexpr int kCtlType = 1;
constexpr int kCtlRecipient = 2;
constexpr int kCtlRequest = 3;
constexpr int kCtlValue = 4;
constexpr int kCtlIndex = 6;
constexpr int kCtlLength = 8;
constexpr int kCtlZero = 10; // u16, always 0
constexpr int kCtlTimeoutA = 12;
constexpr int kCtlTimeoutB = 16;
constexpr std::uint8_t kRecipientInterface = 1;
// The largest control data stage (the host stack's limit for one request): the emulator and
// both backends refuse a longer one as a bad argument.
constexpr std::uint32_t kMaxControlData = 4096;

// Pipe header, then the data of a write.
constexpr std::uint32_t kPipeHeaderLength = 16;
constexpr int kPipeInterface = 0;
constexpr int kPipeIndex = 1;
constexpr int kPipeLength = 4;
constexpr int kPipeTimeoutA = 8;
constexpr int kPipeTimeoutB = 12;

// Interface-list filter: word0 = class (low 16) | subclass (high 16), word1 = protocol
// (low 16) | reserved; a field of 0xFFFF matches anything.
constexpr std::uint32_t kFilterAny = 0xFFFF;

// A synchronous request whose both time-outs are 0 still ends.
constexpr std::uint32_t kDefaultSyncTimeoutMs = 5000;

} // namespace driver
} // namespace platform
