#pragma once

#include "platform/driver/DriverCodes.h"
#include "protocol/UsbChapter9.h"

#include <cstdint>

// The library's own result codes and limits. The driver's control codes, buffer layouts and
// USBD statuses are the driver interface's (platform/driver/DriverCodes.h).
namespace TWG {
namespace USB {

namespace driver = ::platform::driver;
namespace usbd = ::platform::usbd;

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

// --- Driver versions the library accepts -----------------------------------------------
constexpr std::uint32_t kMinVersionA = 5;
constexpr std::uint32_t kMaxVersionB = 5;

// Bounds on what a driver answer may ask us to allocate.
constexpr std::uint32_t kMaxInterfaceEntries = 1024;
constexpr std::uint32_t kMaxConfigurationAnswer = driver::kWordLength + 0xFFFF;

// --- Requests and descriptors (the standard's own values are in protocol/UsbChapter9.h) ----
constexpr std::uint32_t kDeviceRequestTimeoutMs = 1000;
constexpr int kAnyDescriptorType = 0xFF; // getDescriptor: any type

// --- Asynchronous transfers ------------------------------------------------------------------
// The wake event takes one slot of the listener's wait array of 64.
constexpr int kMaxPendingRequests = 63;
constexpr int kListenerFailedWaitSleepMs = 10;
constexpr int kListenerTimeoutSleepMs = 100;

// --- Notifier ----------------------------------------------------------------------------------
constexpr int kMaxNotifierFlags = 1;

} // namespace USB
} // namespace TWG
