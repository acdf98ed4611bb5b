#pragma once

#include "platform/Export.h"
#include "platform/sim/SimDescriptors.h"
#include "protocol/ZanthicIds.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// What a simulated STM32 Zanthic converter keeps across its personas: identity, the control
// interface's shape, the boot mode and the properties with the protocol's handle table. Tests
// read and change it between requests.
struct TWG_PLATFORM_API SimStm32State {
    SimStm32State();

    // Identity the device enumerates with; bcdDevice is the hardware revision.
    std::uint16_t vendorId = TWG::Zanthic::ids::kVendorId;
    std::uint16_t productId = 0xBE6F;
    std::uint16_t release = 0x0100;
    std::string serial = "5A4E0001ABCD";
    // Answered in place of the serial-number string descriptor (bytes as sent, bLength and all).
    std::optional<std::vector<std::uint8_t>> rawSerialDescriptor;

    // The vendor-class control interface (FF/03/00) and its functional descriptor (type 0x21).
    bool controlInterface = true;
    std::uint8_t controlInterfaceNumber = 0;
    bool answersIdentity = true;        // attribute bit 0
    std::uint8_t functionalLength = 10; // below 10: too short for the host
    std::uint8_t bootMode = 1;

    // Property values by key. A key never set reads as a get failure (stall).
    std::map<std::string, std::vector<std::uint8_t>> properties;
    int factoryResets = 0;

    // The handle table: each get-handle request makes a new handle; a key and a value reach
    // it in pieces, and a piece shorter than the chunk size ends either.
    std::uint16_t nextHandle = 1;
    std::map<std::uint16_t, std::string> handleKeys;
    std::map<std::uint16_t, std::vector<std::uint8_t>> pendingKeys;
    std::map<std::uint16_t, std::vector<std::uint8_t>> pendingValues;
    std::vector<std::string> violations;

    SimDescriptors descriptors() const;
    std::string text(const std::string& key) const;
    void setText(const std::string& key, const std::string& value);
    // What a factory reset gives the settings.
    void restoreFactorySettings();
};

} // namespace platform
