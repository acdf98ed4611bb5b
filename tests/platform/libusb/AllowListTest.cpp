#include "platform/libusb/AllowList.h"
#include "tools/usb-udev-rule/UdevRule.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>

using platform::AllowList;
using platform::UsbIdPair;

namespace {

constexpr std::uint16_t kVendor = AllowList::kConverterVendorId;
constexpr std::uint16_t kChip = AllowList::kFx2ChipVendorId;

std::set<std::pair<int, int>> tablePairs()
{
    std::set<std::pair<int, int>> pairs;
    for (const UsbIdPair* p = AllowList::begin(); p != AllowList::end(); ++p)
        pairs.insert({p->vendorId, p->productId});
    return pairs;
}

} // namespace

TEST(AllowList, HoldsExactPairsWithTheChipVendorOnlyForFx2Converters)
{
    const std::set<std::pair<int, int>> pairs = tablePairs();
    EXPECT_EQ(pairs.size(), AllowList::size()) << "duplicate pairs";
    std::set<int> chipProducts;
    for (const auto& p : pairs) {
        ASSERT_TRUE(p.first == kVendor || p.first == kChip) << std::hex << p.first;
        if (p.first == kChip)
            chipProducts.insert(p.second);
    }
    // Every chip-vendor entry is an FX2 converter, which is also listed under the maker's id.
    ASSERT_FALSE(chipProducts.empty());
    for (int product : chipProducts)
        EXPECT_TRUE(pairs.count({kVendor, product})) << std::hex << product;
}

TEST(AllowList, MatchesOnlyTheWholePair)
{
    struct Row {
        const char* name;
        std::uint16_t vendor;
        std::uint16_t product;
        bool allowed;
    };
    const Row rows[] = {
        {"first FX2 converter", kVendor, 0xBD15, true},
        {"last FX2 converter", kVendor, 0xBD85, true},
        {"FX2 converter under the chip vendor", kChip, 0xBD15, true},
        {"XMEGA converter", kVendor, 0xBD91, true},
        {"blank XMEGA identity", kVendor, 0xBD86, true},
        {"XMEGA converter under the chip vendor", kChip, 0xBD91, false},
        {"first Zanthic STM32 converter", kVendor, 0xBE6F, true},
        {"last Zanthic STM32 converter", kVendor, 0xBE89, true},
        {"Zanthic XMEGA converter", kVendor, 0xBE90, true},
        {"Zanthic XMEGA converter 0xBE91", kVendor, 0xBE91, true},
        {"between the Zanthic ids", kVendor, 0xBE71, false},
        {"Zanthic converter under the chip vendor", kChip, 0xBE6F, false},
        {"other vendor with a Zanthic product id", 0x1D6B, 0xBE90, false},
        {"chip vendor's own development board", kChip, 0x8613, false},
        {"chip vendor, product zero", kChip, 0x0000, false},
        {"maker's id, unknown product", kVendor, 0xBD14, false},
        {"maker's id, product 0xFFFF", kVendor, 0xFFFF, false},
        {"other vendor with a converter's product id", 0x1D6B, 0xBD15, false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(AllowList::contains(r.vendor, r.product), r.allowed) << r.name;
}

TEST(UdevRule, CheckedInFileIsTheGeneratedOne)
{
    const std::string path = std::string(TWG_SOURCE_DIR) + "/tools/udev/60-vantorel-converters.rules";
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << path;
    std::stringstream checkedIn;
    checkedIn << in.rdbuf();
    EXPECT_EQ(checkedIn.str(), udevrule::ruleText())
        << "regenerate it: build/tools/vantorel-usb-udev-rule tools/udev/60-vantorel-converters.rules";
}

TEST(UdevRule, HasOneLineForEachAllowedPairAndNoOther)
{
    std::istringstream text(udevrule::ruleText());
    std::set<std::pair<int, int>> ruled;
    std::string line;
    int ruleLines = 0;
    while (std::getline(text, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        ++ruleLines;
        unsigned vendor = 0, product = 0;
        const std::size_t v = line.find("ATTR{idVendor}==\"");
        const std::size_t p = line.find("ATTR{idProduct}==\"");
        ASSERT_NE(v, std::string::npos) << line;
        ASSERT_NE(p, std::string::npos) << line;
        ASSERT_EQ(std::sscanf(line.c_str() + v, "ATTR{idVendor}==\"%4x\"", &vendor), 1) << line;
        ASSERT_EQ(std::sscanf(line.c_str() + p, "ATTR{idProduct}==\"%4x\"", &product), 1) << line;
        EXPECT_NE(line.find("SUBSYSTEM==\"usb\""), std::string::npos) << line;
        EXPECT_NE(line.find("TAG+=\"uaccess\""), std::string::npos) << line;
        ruled.insert({static_cast<int>(vendor), static_cast<int>(product)});
    }
    EXPECT_EQ(ruleLines, static_cast<int>(AllowList::size()));
    EXPECT_EQ(ruled, tablePairs());
}
