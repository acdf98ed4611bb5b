#pragma once

#include "platform/Export.h"

#include <cstdint>
#include <vector>

namespace platform {

struct LayoutEndpoint {
    std::uint8_t address = 0;
    std::uint8_t attributes = 0;
    std::uint16_t maxPacketSize = 0;
    std::uint8_t interval = 0;
};

struct LayoutInterface {
    std::uint8_t number = 0;
    std::uint8_t alternateSetting = 0;
    std::uint8_t interfaceClass = 0;
    std::uint8_t interfaceSubClass = 0;
    std::uint8_t interfaceProtocol = 0;
    std::uint8_t endpointCount = 0; // bNumEndpoints as the device declares it
    std::vector<LayoutEndpoint> endpoints;
};

// The interface descriptors of a configuration descriptor, in order (alternate settings
// included, as each counts as an interface entry). Stops at a malformed descriptor.
struct TWG_PLATFORM_API ConfigLayout {
    std::uint8_t configurationValue = 0;
    std::vector<LayoutInterface> interfaces;

    static ConfigLayout parse(const std::vector<std::uint8_t>& bytes);
    // Ordinals of the interfaces the two filter words select.
    std::vector<std::uint32_t> select(std::uint32_t word0, std::uint32_t word1) const;
    const LayoutInterface* interface(std::uint32_t entry) const;
};

} // namespace platform
