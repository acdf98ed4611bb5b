#pragma once

#include "protocol/ConverterIds.h"

#include <array>
#include <cstdint>

// Who the Zanthic converters are on the bus. They enumerate under the converters' vendor id;
// the allow-list, the plug-in's model table and the simulated devices take their ids from here.
namespace TWG {
namespace Zanthic {
namespace ids {

constexpr std::uint16_t kVendorId = TWG::Converters::ids::kVendorId;

// Settings as named properties, updated through USB DFU.
constexpr std::array<std::uint16_t, 6> kStm32ProductIds = {0xBE6F, 0xBE70, 0xBE77, 0xBE78, 0xBE79, 0xBE89};
// Settings as registers, updated through the staged XMEGA bootloader.
constexpr std::array<std::uint16_t, 2> kXmegaProductIds = {0xBE90, 0xBE91};

constexpr bool isStm32Product(std::uint16_t productId)
{
    return TWG::Converters::ids::contains(kStm32ProductIds, productId);
}
constexpr bool isXmegaProduct(std::uint16_t productId)
{
    return TWG::Converters::ids::contains(kXmegaProductIds, productId);
}

} // namespace ids
} // namespace Zanthic
} // namespace TWG
