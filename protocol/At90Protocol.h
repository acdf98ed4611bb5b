#pragma once

#include <cstdint>

// The AT90 programming requests that the FX2 passes on, their status bytes and timing.
namespace TWG {
namespace Converters {
namespace at90 {

constexpr std::uint8_t kRequestEnable = 0xB0;       // status
constexpr std::uint8_t kRequestPollEnable = 0xB1;   // status
constexpr std::uint8_t kRequestLeave = 0xB2;        // status
constexpr std::uint8_t kRequestChipErase = 0xB3;    // status
constexpr std::uint8_t kRequestProgramPage = 0xB4;  // wIndex page, status
constexpr std::uint8_t kRequestLoadBuffer = 0xB5;   // OUT, no data: the bytes follow on the bulk pipe
constexpr std::uint8_t kRequestWriteFuse = 0xB6;    // wValue value, wIndex fuse, status
constexpr std::uint8_t kRequestReadFlash = 0xB7;    // wValue address bit 16, wIndex address & 0xFFFF
constexpr std::uint8_t kRequestSignature = 0xB8;    // wIndex signature index
constexpr std::uint8_t kRequestReadFuse = 0xB9;     // wIndex fuse

// Status byte of the IN requests; the buffer is preset so that a missing answer is a failure.
constexpr std::uint8_t kStatusDone = 0x00;
constexpr std::uint8_t kStatusBusy = 0xE1;
constexpr std::uint8_t kStatusError = 0xE2;
constexpr std::uint8_t kStatusPreset = 0xE0;

enum class Status : std::uint32_t {
    Done = 0,
    Failure = 1,
    Busy = 2,
    Error = 4,
};

constexpr std::uint8_t kSignatureIndexVendor = 0;
constexpr std::uint8_t kSignatureIndexPart = 2;
struct Signature {
    std::uint8_t vendor;
    std::uint8_t part;
};
constexpr Signature kAcceptedSignatures[] = {{0x1E, 0x81}, {0xFF, 0xFF}};

constexpr int kFuseCount = 3;
constexpr std::uint8_t kFuseValues[kFuseCount] = {0xCF, 0x9F, 0xF1};

constexpr int kEnableRounds = 50;
constexpr int kEnablePauseMs = 25;
constexpr int kChipErasePauseMs = 20;
constexpr int kFusePauseMs = 10;

constexpr std::uint32_t kPageSize = 256;
constexpr std::uint32_t kMaxPage = 511;
constexpr int kBufferPauseMs = 1;
constexpr int kProgramPauseMs = 5;
constexpr std::uint32_t kVerifyFromOffset = 5;
constexpr std::uint8_t kErased = 0xFF;
constexpr int kVerifyRereads = 4;
constexpr int kVerifyRereadMs = 1;

} // namespace at90
} // namespace Converters
} // namespace TWG
