#pragma once

#include "platform/Export.h"
#include "protocol/ConverterIds.h"

#include <cstddef>
#include <cstdint>

namespace platform {

// A device the real USB backend may open: an exact vendor/product pair.
struct UsbIdPair {
    std::uint16_t vendorId;
    std::uint16_t productId;
};

// The devices the converters' driver stands for, and the only ones the libusb backend ever
// opens, claims or detaches. The udev rule that ships with the program is generated from it.
class TWG_PLATFORM_API AllowList {
public:
    static constexpr std::uint16_t kConverterVendorId = TWG::Converters::ids::kVendorId;
    // Allowed only with the FX2 converters' product ids.
    static constexpr std::uint16_t kFx2ChipVendorId = TWG::Converters::ids::kFx2ChipVendorId;

    // The table, in a fixed order (the converter vendor first, then the FX2 chip vendor).
    static const UsbIdPair* begin();
    static const UsbIdPair* end();
    static std::size_t size();

    static bool contains(std::uint16_t vendorId, std::uint16_t productId);
};

} // namespace platform
