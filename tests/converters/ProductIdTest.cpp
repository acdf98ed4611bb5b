#include "converters/ConverterCapabilities.h"
#include "converters/ModelNames.h"
#include "converters/fx2/Fx2ProductTable.h"
#include "converters/xmega/ConverterXmegaNotifier.h"
#include "platform/libusb/AllowList.h"
#include "plugins/converters/firmware/FirmwareModelIds.h"
#include "protocol/ConverterIds.h"
#include "protocol/ZanthicIds.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <utility>

// The device layer's tables against the allow-list of the real backend: a converter the layer
// handles but the backend never opens stays unseen, and one the backend opens but no table
// handles is claimed for nothing.
namespace {

using Pair = std::pair<std::uint16_t, std::uint16_t>;
using Ids = std::set<std::uint16_t>;
using TWG::Converters::ConverterCapabilities;
using TWG::Converters::Fx2ProductTable;

constexpr std::size_t kFx2Converters = 31;
constexpr std::size_t kXmegaConverters = 15;

// Every product id for which a lookup says yes.
template <typename Names>
Ids named(Names names)
{
    Ids out;
    for (unsigned id = 0; id <= 0xFFFF; ++id) {
        if (names(static_cast<std::uint16_t>(id)))
            out.insert(static_cast<std::uint16_t>(id));
    }
    return out;
}

std::set<Pair> allowed()
{
    std::set<Pair> out;
    for (const platform::UsbIdPair* p = platform::AllowList::begin(); p != platform::AllowList::end(); ++p)
        out.insert({p->vendorId, p->productId});
    return out;
}

Ids fx2Handled()
{
    return named([](std::uint16_t id) {
        TWG::Converters::Fx2ProductEntry entry;
        return Fx2ProductTable::find(id, &entry);
    });
}

std::set<Pair> xmegaHandled()
{
    TWG::Converters::ConverterXmegaNotifier notifier(nullptr);
    notifier.registerExtraIds();
    std::set<Pair> out;
    for (const auto& e : notifier.entries())
        out.insert({e.vendorId, e.productId});
    return out;
}

// The ids one set has and the other lacks, in hex: a readable failure for sets of 46 ids.
std::string difference(const Ids& got, const Ids& want)
{
    std::ostringstream out;
    out << std::hex;
    for (std::uint16_t id : got)
        if (!want.count(id))
            out << " +" << id;
    for (std::uint16_t id : want)
        if (!got.count(id))
            out << " -" << id;
    return out.str();
}

Ids productsOf(const std::set<Pair>& pairs)
{
    Ids out;
    for (const Pair& p : pairs)
        out.insert(p.second);
    return out;
}

} // namespace

TEST(ProductIds, EveryAllowedPairIsHandledByTheFx2TableTheXmegaNotifierOrTheZanthicLineAndNothingElse)
{
    std::set<Pair> handled = xmegaHandled();
    // The Zanthic notifier goes by product id alone, under the maker's vendor id.
    for (std::uint16_t product : TWG::Zanthic::ids::kStm32ProductIds)
        handled.insert({TWG::Zanthic::ids::kVendorId, product});
    for (std::uint16_t product : TWG::Zanthic::ids::kXmegaProductIds)
        handled.insert({TWG::Zanthic::ids::kVendorId, product});
    const Ids fx2 = fx2Handled();
    for (std::uint16_t vendor : Fx2ProductTable::vendorIds()) {
        for (std::uint16_t product : fx2)
            handled.insert({vendor, product});
    }
    const std::set<Pair> allowList = allowed();
    EXPECT_EQ(allowList.size(), platform::AllowList::size()) << "a pair listed twice";
    for (const Pair& p : handled)
        EXPECT_TRUE(allowList.count(p)) << std::hex << p.first << ":" << p.second << " is handled but not allowed";
    for (const Pair& p : allowList)
        EXPECT_TRUE(handled.count(p)) << std::hex << p.first << ":" << p.second << " is allowed but not handled";

    EXPECT_EQ(fx2.size(), kFx2Converters);
    // The XMEGA converters and the identity a blank one is given.
    EXPECT_EQ(xmegaHandled().size(), kXmegaConverters + 1);
    for (std::uint16_t product : fx2)
        EXPECT_FALSE(productsOf(xmegaHandled()).count(product)) << std::hex << product << " is in both tables";
}

TEST(ProductIds, ModelNamesAndFirmwareModelsCoverExactlyTheConvertersAndCapabilitiesNameOnlyThem)
{
    const Ids fx2 = fx2Handled();
    // The XMEGA converters: what the notifier handles, but the blank identity, which has no model
    // until its application is loaded.
    Ids xmega = productsOf(xmegaHandled());
    xmega.erase(TWG::Converters::ids::kXmegaBlankProductId);
    ASSERT_EQ(xmega.size(), kXmegaConverters);
    Ids converters = fx2;
    converters.insert(xmega.begin(), xmega.end());

    const Ids withName = named([](std::uint16_t id) { return !TWG::Converters::modelNameForProduct(id).isNull(); });
    EXPECT_EQ(withName, converters) << "model names:" << difference(withName, converters);

    const std::vector<std::uint16_t>& fx2Models = FirmwareModels::fx2Models();
    const std::vector<std::uint16_t>& xmegaModels = FirmwareModels::xmegaModels();
    EXPECT_EQ(Ids(fx2Models.begin(), fx2Models.end()), fx2)
        << "FX2 firmware models:" << difference(Ids(fx2Models.begin(), fx2Models.end()), fx2);
    EXPECT_EQ(fx2Models.size(), fx2.size()) << "a firmware model listed twice";
    EXPECT_EQ(Ids(xmegaModels.begin(), xmegaModels.end()), xmega)
        << "XMEGA firmware models:" << difference(Ids(xmegaModels.begin(), xmegaModels.end()), xmega);
    EXPECT_EQ(xmegaModels.size(), xmega.size()) << "a firmware model listed twice";
    EXPECT_EQ(named(&FirmwareModels::isFx2Model), fx2);
    EXPECT_EQ(named(&FirmwareModels::isXmegaModel), xmega);

    // Some converters offer nothing to adjust; no other id offers anything.
    const Ids withCapability = named([](std::uint16_t id) { return ConverterCapabilities::forProduct(id).adjustable; });
    for (std::uint16_t id : withCapability)
        EXPECT_TRUE(converters.count(id)) << std::hex << id << " has capabilities but is no converter";
    EXPECT_LT(withCapability.size(), converters.size());
}
