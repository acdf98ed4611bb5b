#pragma once

#include <array>
#include <cstdint>

// Who the classic converters are on the bus. The allow-list, the device layer's tables, the
// firmware models and the simulated devices all take their ids from here.
namespace TWG {
namespace Converters {
namespace ids {

// The maker's vendor id: every converter enumerates under it.
constexpr std::uint16_t kVendorId = 0x7C5D;
// The FX2 chip maker's vendor id: an FX2 converter may also enumerate under it, with its own
// product id, so it is allowed with the FX2 product ids only.
constexpr std::uint16_t kFx2ChipVendorId = 0x04B4;

// The FX2 converters, in the FX2 product table's order.
constexpr std::array<std::uint16_t, 31> kFx2ProductIds = {
    0xBD15, 0xBD16, 0xBD46, 0xBD17, 0xBD18, 0xBD47, 0xBD19, 0xBD28, 0xBD27, 0xBD41, 0xBD2C,
    0xBD2E, 0xBD2F, 0xBDCF, 0xBD30, 0xBD31, 0xBDD0, 0xBD32, 0xBD34, 0xBD33, 0xBD53, 0xBD54,
    0xBD55, 0xBD82, 0xBD5F, 0xBD60, 0xBD69, 0xBD6A, 0xBD83, 0xBD84, 0xBD85,
};

// The XMEGA converters, in the XMEGA notifier's order.
constexpr std::array<std::uint16_t, 15> kXmegaProductIds = {
    0xBD91, 0xBD92, 0xBD95, 0xBDF2, 0xBD96, 0xBDF6, 0xBD93, 0xBD94,
    0xBDE7, 0xBDB8, 0xBDC5, 0xBDC6, 0xBE00, 0xBE0C, 0xBE06,
};

// The identity the device layer gives a blank XMEGA device (under kVendorId) so that its
// bootloader can be found again and loaded.
constexpr std::uint16_t kXmegaBlankProductId = 0xBD86;

template <std::size_t N>
constexpr bool contains(const std::array<std::uint16_t, N>& list, std::uint16_t productId)
{
    for (std::uint16_t id : list) {
        if (id == productId)
            return true;
    }
    return false;
}

constexpr bool isFx2Product(std::uint16_t productId) { return contains(kFx2ProductIds, productId); }
constexpr bool isXmegaProduct(std::uint16_t productId) { return contains(kXmegaProductIds, productId); }

} // namespace ids
} // namespace Converters
} // namespace TWG
