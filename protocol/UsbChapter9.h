#pragma once

#include <cstdint>

// The standard USB requests, descriptors and setup fields (chapter 9 of the USB standard) that
// the USB library, the driver emulator and the backends read and the simulated devices answer.
namespace usbch9 {

// --- bmRequestType ---------------------------------------------------------------------------
constexpr std::uint8_t kRequestDirectionIn = 0x80; // bit 7: device to host
constexpr int kRequestTypeShift = 5;               // bits 5-6: standard, class, vendor
constexpr std::uint8_t kRequestTypeMask = 0x60;
constexpr std::uint8_t kRequestTypeStandard = 0x00;
constexpr std::uint8_t kRequestTypeVendor = 0x40;
constexpr std::uint8_t kRequestRecipientMask = 0x1F; // bits 0-4: device, interface, endpoint
constexpr std::uint8_t kRecipientDevice = 0x00;
constexpr std::uint8_t kStandardDeviceOut = kRequestTypeStandard | kRecipientDevice;
constexpr std::uint8_t kStandardDeviceIn = kRequestDirectionIn | kRequestTypeStandard | kRecipientDevice;

// A transfer's direction as the driver and the library pass it: bit 7 of bmRequestType or of
// an endpoint address, shifted down.
constexpr int kDirectionOut = 0;
constexpr int kDirectionIn = 1;

// --- Standard requests (bRequest) ------------------------------------------------------------
constexpr std::uint8_t kGetStatus = 0;
constexpr std::uint8_t kClearFeature = 1;
constexpr std::uint8_t kSetFeature = 3;
constexpr std::uint8_t kGetDescriptor = 6;
constexpr std::uint8_t kGetConfiguration = 8;
constexpr std::uint8_t kSetConfiguration = 9;
constexpr std::uint8_t kGetInterface = 10;
constexpr std::uint8_t kSetInterface = 11;

// --- Descriptor types and lengths ------------------------------------------------------------
constexpr std::uint8_t kDescriptorDevice = 1;
constexpr std::uint8_t kDescriptorConfiguration = 2;
constexpr std::uint8_t kDescriptorString = 3;
constexpr std::uint8_t kDescriptorInterface = 4;
constexpr std::uint8_t kDescriptorEndpoint = 5;
constexpr std::uint8_t kDeviceLength = 18;
constexpr std::uint8_t kConfigurationLength = 9;
constexpr std::uint8_t kInterfaceLength = 9;
constexpr std::uint8_t kEndpointLength = 7;
// Every descriptor starts with bLength and bDescriptorType.
constexpr std::uint32_t kMinDescriptorLength = 2;
// wTotalLength of a configuration descriptor: the whole set with its interfaces and endpoints.
constexpr int kConfigurationTotalLengthOffset = 2;

// --- Endpoint transfer types (bmAttributes bits 0-1) -----------------------------------------
constexpr std::uint8_t kEndpointControl = 0;
constexpr std::uint8_t kEndpointIsochronous = 1;
constexpr std::uint8_t kEndpointBulk = 2;
constexpr std::uint8_t kEndpointInterrupt = 3;

// --- Strings ---------------------------------------------------------------------------------
constexpr std::uint16_t kLanguageEnglishUs = 0x0409;
// GET_DESCRIPTOR's wValue: the type in the high byte, the index in the low one.
constexpr int kDescriptorTypeShift = 8;
// bLength is one byte, so no string descriptor is longer; its text is UTF-16LE after the header.
constexpr std::uint16_t kStringDescriptorMaxLength = 255;

} // namespace usbch9
