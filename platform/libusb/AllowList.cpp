#include "platform/libusb/AllowList.h"

#include "protocol/ZanthicIds.h"

#include <algorithm>
#include <array>

namespace platform {

namespace {

namespace ids = TWG::Converters::ids;
namespace zanthic = TWG::Zanthic::ids;

// The FX2 converters under both vendor ids, the XMEGA converters, the identity a blank XMEGA
// device is given, and the Zanthic converters.
constexpr std::size_t kCount = 2 * ids::kFx2ProductIds.size() + ids::kXmegaProductIds.size() + 1 +
                               zanthic::kStm32ProductIds.size() + zanthic::kXmegaProductIds.size();

constexpr std::array<UsbIdPair, kCount> makeTable()
{
    std::array<UsbIdPair, kCount> t{};
    std::size_t n = 0;
    for (std::uint16_t p : ids::kFx2ProductIds)
        t[n++] = {ids::kVendorId, p};
    for (std::uint16_t p : ids::kXmegaProductIds)
        t[n++] = {ids::kVendorId, p};
    t[n++] = {ids::kVendorId, ids::kXmegaBlankProductId};
    for (std::uint16_t p : zanthic::kStm32ProductIds)
        t[n++] = {zanthic::kVendorId, p};
    for (std::uint16_t p : zanthic::kXmegaProductIds)
        t[n++] = {zanthic::kVendorId, p};
    for (std::uint16_t p : ids::kFx2ProductIds)
        t[n++] = {ids::kFx2ChipVendorId, p};
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
