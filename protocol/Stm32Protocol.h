#pragma once

#include <cstdint>

// The STM32 Zanthic converters' property protocol: vendor device requests for settings, class
// requests to the vendor-class control interface for the boot mode and the identity, the
// chunking of long writes, and the serial-number read. Every value is defined here once.
namespace TWG {
namespace Zanthic {
namespace stm32 {

// --- Vendor device requests (connected device) -------------------------------------------------
constexpr std::uint8_t kVendorDeviceIn = 0xC0;
constexpr std::uint8_t kVendorDeviceOut = 0x40;
constexpr std::uint8_t kGetHandle = 10;    // in: a 2-byte handle
constexpr std::uint8_t kSetKey = 11;       // out, wValue handle: the key's bytes, chunked
constexpr std::uint8_t kGetValue = 12;     // in, wValue handle: the value
constexpr std::uint8_t kSetValue = 13;     // out, wValue handle: the value, chunked
constexpr std::uint8_t kFactoryReset = 20; // out, no data

// --- Class requests to the control interface (wIndex: its interface number) ----------------
constexpr std::uint8_t kClassInterfaceIn = 0xA1;
constexpr std::uint8_t kClassInterfaceOut = 0x21;
constexpr std::uint8_t kClassGetBootMode = 0;  // in: 1 byte
constexpr std::uint8_t kClassGetHandle = 1;    // in: a 2-byte handle
constexpr std::uint8_t kClassSetKey = 2;       // out, wValue handle: the key's bytes
constexpr std::uint8_t kClassGetValue = 3;     // in, wValue handle: text up to the first NUL
constexpr std::uint8_t kClassSetValue = 4;     // out, wValue handle: the value

// --- Layouts -----------------------------------------------------------------------------------
constexpr std::uint16_t kHandleLength = 2; // little-endian
constexpr std::uint16_t kBootModeLength = 1;
constexpr std::uint16_t kFlagLength = 1;
// A text value is read as this many bytes into a zero-filled buffer one byte longer.
constexpr std::uint16_t kTextValueLength = 255;
constexpr std::uint16_t kTextBufferLength = kTextValueLength + 1;

// An out transfer goes in pieces of at most this size; a piece shorter than it ends the
// transfer, so a length that is a multiple of it is followed by a zero-length piece.
constexpr std::uint32_t kChunkSize = 4096;

// --- Time-outs (ms): both time-outs of every request ----------------------------------------
constexpr std::uint32_t kRequestTimeoutMs = 10000;

// --- The control interface -------------------------------------------------------------------
// Class 0xFF, subclass 3, protocol 0 in the driver's filter words.
constexpr std::uint32_t kControlFilterWord0 = 0x000300FF;
constexpr std::uint32_t kControlFilterWord1 = 0xFFFF0000;
constexpr std::uint8_t kControlClass = 0xFF;
constexpr std::uint8_t kControlSubClass = 0x03;
constexpr std::uint8_t kControlProtocol = 0x00;
// Its class-specific functional descriptor: bLength, bDescriptorType, then the attributes.
constexpr std::uint8_t kFunctionalDescriptorType = 0x21;
constexpr std::uint8_t kFunctionalDescriptorMinLength = 10;
constexpr int kFunctionalAttributesOffset = 2;
// Attribute bit 0: the interface answers the identity questions.
constexpr std::uint8_t kAttributeAnswers = 0x01;

// --- Boot modes --------------------------------------------------------------------------------
constexpr std::uint8_t kBootModeApplication = 0;
constexpr std::uint8_t kBootModeApplicationAlt = 1;
constexpr std::uint8_t kBootModeDfu = 10;
constexpr std::uint8_t kBootModeDfuAlt = 11;
constexpr std::uint8_t kBootModeUnknown = 255; // unreadable
constexpr bool isApplicationBootMode(std::uint8_t mode)
{
    return mode == kBootModeApplication || mode == kBootModeApplicationAlt;
}
constexpr bool isDfuBootMode(std::uint8_t mode) { return mode == kBootModeDfu || mode == kBootModeDfuAlt; }

// --- Property keys (ASCII, sent without a terminating NUL) ----------------------------------
namespace keys {
constexpr char kZephId[] = "ZephId";
constexpr char kHdmiClampEnable[] = "HdmiClampEnable";
constexpr char kHdmiRxCh34Swap[] = "HdmiRxCh34Swap";
constexpr char kHdmiTxCh34Swap[] = "HdmiTxCh34Swap";
constexpr char kLutHdmiOutEnable[] = "LutHdmiOutEnable";
constexpr char kLutLoopEnable[] = "LutLoopEnable";
constexpr char kLutSdiOutEnable[] = "LutSdiOutEnable";
constexpr char kLutSelection[] = "LutSelection";
constexpr char kSdiLevelAEnable[] = "SdiLevelAEnable";
constexpr char kLutName[] = "LutName";
constexpr char kLutData[] = "LutData";
// Through the control interface.
constexpr char kBuildId[] = "BuildId";
constexpr char kReleaseVersion[] = "ReleaseVersion";
constexpr char kDeviceName[] = "DeviceName";
} // namespace keys

// --- The serial number (standard GET_DESCRIPTOR of the serial-number string, UsbChapter9.h) -----
constexpr std::uint16_t kSerialDescriptorLength = 256;
constexpr std::uint32_t kSerialTimeoutMs = 1000;

} // namespace stm32
} // namespace Zanthic
} // namespace TWG
