#pragma once

#include <cstdint>

// USB Device Firmware Upgrade 1.1: the class requests, descriptors and states that the host's
// upgrade task and the simulated STM32 bootloader both use, grouped by the section of the DFU 1.1
// document they come from. Every value is defined here once.
namespace TWG {
namespace Dfu {

// --- 4.1 / 4.2 Interface descriptors (run-time and DFU mode) ----------------------------------
constexpr std::uint8_t kInterfaceClass = 0xFE;    // application specific
constexpr std::uint8_t kInterfaceSubClass = 0x01; // device firmware upgrade
constexpr std::uint8_t kProtocolRuntime = 0x01;
constexpr std::uint8_t kProtocolDfuMode = 0x02;
// The driver's interface filter: class 0xFE, subclass 1, any protocol (both modes).
constexpr std::uint32_t kFilterWord0 = 0x000100FE;
constexpr std::uint32_t kFilterWord1 = 0xFFFFFFFF;

// --- 4.1.3 DFU functional descriptor ----------------------------------------------------------
constexpr std::uint8_t kFunctionalDescriptorType = 0x21;
constexpr std::uint8_t kFunctionalDescriptorLength = 9;
constexpr int kFunctionalAttributesOffset = 2;
constexpr int kFunctionalDetachTimeoutOffset = 3; // wDetachTimeOut, little-endian, ms
constexpr int kFunctionalTransferSizeOffset = 5;  // wTransferSize, little-endian
constexpr int kFunctionalVersionOffset = 7;       // bcdDFUVersion, little-endian
constexpr std::uint8_t kAttributeCanDnload = 0x01;
constexpr std::uint8_t kAttributeCanUpload = 0x02;
constexpr std::uint8_t kAttributeManifestationTolerant = 0x04;
constexpr std::uint8_t kAttributeWillDetach = 0x08;
constexpr std::uint16_t kVersion11 = 0x0110;

// --- 3 Requests (class requests to the interface; wIndex is its number) ---------------------
constexpr std::uint8_t kRequestOut = 0x21; // host to device, class, interface
constexpr std::uint8_t kRequestIn = 0xA1;  // device to host, class, interface
constexpr std::uint8_t kDetach = 0;
constexpr std::uint8_t kDnload = 1;
constexpr std::uint8_t kUpload = 2;
constexpr std::uint8_t kGetStatus = 3;
constexpr std::uint8_t kClrStatus = 4;
constexpr std::uint8_t kGetState = 5;
constexpr std::uint8_t kAbort = 6;

// --- 5.1 DFU_DETACH ---------------------------------------------------------------------------
// wValue of DETACH: how long the application waits for the bus reset, in ms. The device waits
// the shorter of this and its wDetachTimeOut; without bitWillDetach the host must reset the bus
// within that time, with it the device detaches and re-attaches by itself.
constexpr std::uint16_t kDetachWaitMs = 1000;

// --- 6.1.2 DFU_GETSTATUS answer -----------------------------------------------------------
constexpr std::uint16_t kStatusLength = 6;
constexpr int kStatusOffset = 0;       // bStatus
constexpr int kPollTimeoutOffset = 1;  // bwPollTimeout: 24 bits, little-endian, ms
constexpr int kStateOffset = 4;        // bState
constexpr int kStatusStringOffset = 5; // iString
constexpr std::uint32_t kPollTimeoutMax = 0xFFFFFF;

// bStatus values.
constexpr std::uint8_t kStatusOk = 0x00;
constexpr std::uint8_t kStatusErrTarget = 0x01;
constexpr std::uint8_t kStatusErrFile = 0x02;
constexpr std::uint8_t kStatusErrWrite = 0x03;
constexpr std::uint8_t kStatusErrErase = 0x04;
constexpr std::uint8_t kStatusErrCheckErased = 0x05;
constexpr std::uint8_t kStatusErrProg = 0x06;
constexpr std::uint8_t kStatusErrVerify = 0x07;
constexpr std::uint8_t kStatusErrAddress = 0x08;
constexpr std::uint8_t kStatusErrNotDone = 0x09;
constexpr std::uint8_t kStatusErrFirmware = 0x0A;
constexpr std::uint8_t kStatusErrVendor = 0x0B;
constexpr std::uint8_t kStatusErrUsbReset = 0x0C;
constexpr std::uint8_t kStatusErrPowerOnReset = 0x0D;
constexpr std::uint8_t kStatusErrUnknown = 0x0E;
constexpr std::uint8_t kStatusErrStalledPkt = 0x0F;

// bState values.
constexpr std::uint8_t kStateAppIdle = 0;
constexpr std::uint8_t kStateAppDetach = 1;
constexpr std::uint8_t kStateDfuIdle = 2;
constexpr std::uint8_t kStateDnloadSync = 3;
constexpr std::uint8_t kStateDnBusy = 4;
constexpr std::uint8_t kStateDnloadIdle = 5;
constexpr std::uint8_t kStateManifestSync = 6;
constexpr std::uint8_t kStateManifest = 7;
constexpr std::uint8_t kStateManifestWaitReset = 8;
constexpr std::uint8_t kStateUploadIdle = 9;
constexpr std::uint8_t kStateError = 10;

// Names as the standard spells them; a value it does not define reads "unknown".
constexpr const char* statusName(std::uint8_t status)
{
    constexpr const char* names[] = {"OK",         "errTARGET", "errFILE",    "errWRITE",
                                     "errERASE",   "errCHECK_ERASED", "errPROG", "errVERIFY",
                                     "errADDRESS", "errNOTDONE", "errFIRMWARE", "errVENDOR",
                                     "errUSBR",    "errPOR",    "errUNKNOWN", "errSTALLEDPKT"};
    return status < sizeof names / sizeof names[0] ? names[status] : "unknown";
}

constexpr const char* stateName(std::uint8_t state)
{
    constexpr const char* names[] = {"appIDLE",          "appDETACH",   "dfuIDLE",
                                     "dfuDNLOAD-SYNC",   "dfuDNBUSY",   "dfuDNLOAD-IDLE",
                                     "dfuMANIFEST-SYNC", "dfuMANIFEST", "dfuMANIFEST-WAIT-RESET",
                                     "dfuUPLOAD-IDLE",   "dfuERROR"};
    return state < sizeof names / sizeof names[0] ? names[state] : "unknown";
}

// --- Host time-outs (ms) ---------------------------------------------------------------------
constexpr std::uint32_t kGetStatusTimeoutMs = 10000;
constexpr std::uint32_t kDnloadTimeoutMs = 15000;
constexpr std::uint32_t kFinalDnloadTimeoutMs = 30000;
// CLRSTATUS and ABORT: the library's default.
constexpr std::uint32_t kDefaultTimeoutMs = 0;
// A device that stays busy this long after a block, or in manifestation, has failed; the wait
// between status polls goes in steps of kPollStepMs so that a stopping task is seen.
constexpr std::int64_t kStatusPollDeadlineMs = 30000;
constexpr std::int64_t kPollStepMs = 100;

// --- Appendix B File suffix (appended by dfu-suffix; the device never sees it) ----------------
constexpr std::uint32_t kSuffixLength = 16;

} // namespace Dfu
} // namespace TWG
