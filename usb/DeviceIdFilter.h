#pragma once

#include <cstdint>

namespace TWG {
namespace USB {

// Vendor and product ids a notifier accepts; an empty list (count 0) accepts any id.
struct DeviceIdFilter {
    const std::uint32_t* vendorIds = nullptr;
    std::uint32_t vendorCount = 0;
    const std::uint32_t* productIds = nullptr;
    std::uint32_t productCount = 0;
};

} // namespace USB
} // namespace TWG
