#include "platform/libusb/AllowList.h"

#include <algorithm>
#include <array>

namespace platform {

namespace {

// FX2-based converters, which also enumerate under the chip's own vendor id.
constexpr std::uint16_t kFx2Products[] = {
    0xBD15, 0xBD16, 0xBD46, 0xBD17, 0xBD18, 0xBD47, 0xBD19, 0xBD28, 0xBD27, 0xBD41, 0xBD2C,
    0xBD2E, 0xBD2F, 0xBDCF, 0xBD30, 0xBD31, 0xBDD0, 0xBD32, 0xBD34, 0xBD33, 0xBD53, 0xBD54,
    0xBD55, 0xBD82, 0xBD5F, 0xBD60, 0xBD69, 0xBD6A, 0xBD83, 0xBD84, 0xBD85,
};

// XMEGA-based converters, then the identity a blank XMEGA device is given.
constexpr std::uint16_t kXmegaProducts[] = {
    0xBD91, 0xBD92, 0xBD95, 0xBDF2, 0xBD96, 0xBDF6, 0xBD93, 0xBD94,
    0xBDE7, 0xBDB8, 0xBDC5, 0xBDC6, 0xBE00, 0xBE0C, 0xBE06, 0xBD86,
};

constexpr std::size_t kFx2Count = sizeof kFx2Products / sizeof kFx2Products[0];
constexpr std::size_t kXmegaCount = sizeof kXmegaProducts / sizeof kXmegaProducts[0];
constexpr std::size_t kCount = 2 * kFx2Count + kXmegaCount;

constexpr std::array<UsbIdPair, kCount> makeTable()
{
    std::array<UsbIdPair, kCount> t{};
    std::size_t n = 0;
    for (std::uint16_t p : kFx2Products)
        t[n++] = {AllowList::kConverterVendorId, p};
    for (std::uint16_t p : kXmegaProducts)
        t[n++] = {AllowList::kConverterVendorId, p};
    for (std::uint16_t p : kFx2Products)
        t[n++] = {AllowList::kFx2ChipVendorId, p};
    return t;
}

constexpr std::array<UsbIdPair, kCount> kTable = makeTable();

} // namespace

const UsbIdPair* AllowList::begin()
{
    return kTable.data();
}

const UsbIdPair* AllowList::end()
{
    return kTable.data() + kTable.size();
}

std::size_t AllowList::size()
{
    return kTable.size();
}

bool AllowList::contains(std::uint16_t vendorId, std::uint16_t productId)
{
    return std::any_of(kTable.begin(), kTable.end(), [&](const UsbIdPair& p) {
        return p.vendorId == vendorId && p.productId == productId;
    });
}

} // namespace platform
