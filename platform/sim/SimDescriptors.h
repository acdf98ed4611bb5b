#pragma once

#include "platform/Export.h"
#include "platform/backend/UsbBackend.h"
#include "protocol/UsbChapter9.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace platform {

struct SimEndpoint {
    std::uint8_t address = 0;       // bit 7 = IN
    std::uint8_t attributes = usbch9::kEndpointBulk;
    std::uint16_t maxPacketSize = 512;
    std::uint8_t interval = 0;
};

struct SimInterface {
    std::uint8_t number = 0;
    std::uint8_t alternateSetting = 0;
    std::uint8_t interfaceClass = 0xFF;
    std::uint8_t interfaceSubClass = 0xFF;
    std::uint8_t interfaceProtocol = 0xFF;
    std::uint8_t iInterface = 0;
    // Complete class-specific descriptors (bLength and bDescriptorType included), placed
    // between the interface descriptor and its endpoints.
    std::vector<std::vector<std::uint8_t>> classDescriptors;
    std::vector<SimEndpoint> endpoints;
};

struct SimConfiguration {
    std::uint8_t value = 1;
    std::uint8_t attributes = 0x80;
    std::uint8_t maxPower = 50; // in 2 mA units
    std::uint8_t iConfiguration = 0;
    std::vector<SimInterface> interfaces;
};

// Everything a device answers standard requests from.
struct SimDescriptors {
    UsbDeviceDescriptor device;
    std::vector<SimConfiguration> configurations{SimConfiguration{}};
    std::map<std::uint8_t, std::string> strings; // UTF-8, by string index (0 is the language list)
    std::uint16_t languageId = usbch9::kLanguageEnglishUs;
};

TWG_PLATFORM_API std::vector<std::uint8_t> encodeDeviceDescriptor(const UsbDeviceDescriptor& device);
TWG_PLATFORM_API std::vector<std::uint8_t> encodeConfiguration(const SimConfiguration& configuration);
// String descriptor in UTF-16LE.
TWG_PLATFORM_API std::vector<std::uint8_t> encodeString(const std::string& utf8);

} // namespace platform
