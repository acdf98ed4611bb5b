#pragma once

#include <cstdint>

// The kernel driver's control codes, buffer layouts, result codes and USB statuses. Every
// value is defined here once; buffers are little-endian.
namespace TWG {
namespace USB {

// --- Result codes of all library operations ----------------------------------------------
constexpr std::uint32_t kResultSuccess = 0;
constexpr std::uint32_t kResultFailure = 1;
constexpr std::uint32_t kResultInsufficientResources = 2;
constexpr std::uint32_t kResultDeviceGone = 3;
constexpr std::uint32_t kResultBadArgument = 4; // null pointer, unknown event, list too small
constexpr std::uint32_t kResultDeviceNotResponding = 9;
constexpr std::uint32_t kResultNotHandled = 10; // no interface accepted a posted message
constexpr std::uint32_t kResultInvalidPipeHandle = 11;
constexpr std::uint32_t kResultTimeout = 15;
constexpr std::uint32_t kResultStall = 16;
constexpr std::uint32_t kResultInterfaceNotFound = 17;

// --- USBD statuses the driver reports after a failed control transfer --------------------
constexpr std::uint32_t kUsbdStatusInvalidParameter = 0x80000300;
constexpr std::uint32_t kUsbdStatusInvalidPipeHandle = 0x80000600;
constexpr std::uint32_t kUsbdStatusStall = 0xC0000004;
constexpr std::uint32_t kUsbdStatusDeviceNotResponding = 0xC0000005;
constexpr std::uint32_t kUsbdStatusInsufficientResources = 0xC0001000;
constexpr std::uint32_t kUsbdStatusInterfaceNotFound = 0xC0004000;
constexpr std::uint32_t kUsbdStatusTimeout = 0xC0006000;
constexpr std::uint32_t kUsbdStatusDeviceGone = 0xC0007000;

// --- Control codes (FILE_DEVICE_UNKNOWN, METHOD_BUFFERED, FILE_ANY_ACCESS) -----------------
constexpr std::uint32_t kIoctlGetVersion = 0x222000;
constexpr std::uint32_t kIoctlGetLastUsbStatus = 0x22205C;
constexpr std::uint32_t kIoctlControlTransfer = 0x222080;
constexpr std::uint32_t kIoctlGetDeviceFieldA = 0x22208C;
constexpr std::uint32_t kIoctlGetConfigurationDescriptor = 0x222090;
constexpr std::uint32_t kIoctlGetDeviceFieldB = 0x222094;
constexpr std::uint32_t kIoctlGetProductId = 0x222098;
constexpr std::uint32_t kIoctlGetDeviceFieldC = 0x22209C;
constexpr std::uint32_t kIoctlGetDeviceRelease = 0x2220A0;
constexpr std::uint32_t kIoctlGetDeviceFieldD = 0x2220A8;
constexpr std::uint32_t kIoctlGetVendorId = 0x2220AC;
constexpr std::uint32_t kIoctlGetConfigurationCount = 0x2220B4;
constexpr std::uint32_t kIoctlSelectConfiguration = 0x2220B8;
constexpr std::uint32_t kIoctlGetInterfaceList = 0x2220BC;
constexpr std::uint32_t kIoctlGetInterfaceFieldA = 0x2220C0;
constexpr std::uint32_t kIoctlGetInterfaceNumber = 0x2220C4;
constexpr std::uint32_t kIoctlGetInterfaceFieldB = 0x2220C8;
constexpr std::uint32_t kIoctlGetInterfaceFieldC = 0x2220CC;
constexpr std::uint32_t kIoctlGetEndpointCount = 0x2220D0;
constexpr std::uint32_t kIoctlGetEndpointInfo = 0x2220D4;
constexpr std::uint32_t kIoctlPipeWrite = 0x2220D8;
constexpr std::uint32_t kIoctlPipeRead = 0x2220DC;
constexpr std::uint32_t kIoctlResetPort = 0x2220E0;
constexpr std::uint32_t kIoctlPipeWriteAsync = 0x2220E4;
constexpr std::uint32_t kIoctlPipeReadAsync = 0x2220E8;
constexpr std::uint32_t kIoctlEnablePipe = 0x2220EC;
constexpr std::uint32_t kIoctlGetSerialNumberIndex = 0x2220F0;

// --- Driver version (0x222000): u32 a, u32 b --------------------------------------------
constexpr std::uint32_t kVersionAnswerLength = 8;
constexpr std::uint32_t kMinVersionA = 5;
constexpr std::uint32_t kMaxVersionB = 5;

// --- Query answers ---------------------------------------------------------------------------
constexpr std::uint32_t kQueryAnswerLength = 4;
constexpr std::uint32_t kSerialIndexAnswerLength = 1;
constexpr std::uint32_t kStatusAnswerLength = 4;
constexpr std::uint32_t kEndpointInfoLength = 6;
constexpr std::uint32_t kInterfaceListFilterLength = 8;
constexpr std::uint32_t kLengthPrefix = 4; // the u32 in front of list and descriptor answers

// Bounds on what a driver answer may ask us to allocate.
constexpr std::uint32_t kMaxInterfaceEntries = 1024;
constexpr std::uint32_t kMaxConfigurationAnswer = kLengthPrefix + 0xFFFF;

// --- Control-transfer header (20 bytes, then the data stage) --------------------------------
constexpr std::uint32_t kControlHeaderLength = 20;
constexpr int kCtlOffDirection = 0;
constexpr int kCtlOffType = 1;
constexpr int kCtlOffRecipient = 2;
constexpr int kCtlOffRequest = 3;
constexpr int kCtlOffValue = 4;
constexpr int kCtlOffIndex = 6;
constexpr int kCtlOffLength = 8;
constexpr int kCtlOffZero = 10;
constexpr int kCtlOffTimeoutA = 12;
constexpr int kCtlOffTimeoutB = 16;

constexpr std::uint8_t kRequestDirectionIn = 0x80; // bmRequestType bit 7: device to host
constexpr int kRequestTypeShift = 5;
constexpr std::uint8_t kRequestTypeMask = 0x03;
constexpr std::uint8_t kRequestRecipientMask = 0x1F;
constexpr std::uint8_t kRequestTypeVendorDevice = 0x40;
constexpr std::uint32_t kDeviceRequestTimeoutMs = 1000;

// --- Pipe header (16 bytes) ------------------------------------------------------------------
constexpr std::uint32_t kPipeHeaderLength = 16;
constexpr int kPipeOffInterface = 0;
constexpr int kPipeOffPipe = 1;
constexpr int kPipeOffLength = 4;
constexpr int kPipeOffTimeoutA = 8;
constexpr int kPipeOffTimeoutB = 12;

// --- Descriptors -----------------------------------------------------------------------------
constexpr std::uint8_t kDescriptorTypeInterface = 4;
constexpr int kAnyDescriptorType = 0xFF;
constexpr std::uint32_t kMinDescriptorLength = 2;
constexpr int kConfigOffTotalLength = 2;

// --- Asynchronous transfers ------------------------------------------------------------------
// The wake event takes one slot of the listener's wait array of 64.
constexpr int kMaxPendingRequests = 63;
constexpr int kListenerFailedWaitSleepMs = 10;
constexpr int kListenerTimeoutSleepMs = 100;

// --- Notifier ----------------------------------------------------------------------------------
constexpr int kMaxNotifierFlags = 1;

} // namespace USB
} // namespace TWG
