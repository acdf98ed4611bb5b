#include "PackageTestSupport.h"

#include "usb/package/FirmwarePackage.h"

#include <functional>

using namespace PackageTest;
using TWG::USB::FirmwarePackage;
using TWG::USB::FirmwarePackageEntryList;
namespace R = TWG::USB::PackageResult;

namespace {

constexpr std::uint32_t kImageSize = 4000;

Bytes compressible()
{
    Bytes b(kImageSize);
    for (std::size_t i = 0; i < b.size(); ++i)
        b[i] = std::uint8_t("firmware image "[i % 15] + (i / 600));
    return b;
}

struct InflateCase {
    const char* name;
    bool compress;
    std::function<void(Bytes&)> patch;
    bool inflates;
    std::uint32_t size; // when it inflates
};

const InflateCase kCases[] = {
    {"compressed as written", true, [](Bytes&) {}, true, kImageSize},
    {"uncompressed size one short", true, [](Bytes& b) { put32(b, kSection + F::kUncompressedSizeOffset, kImageSize - 1); },
     false, 0},
    {"uncompressed size one over", true, [](Bytes& b) { put32(b, kSection + F::kUncompressedSizeOffset, kImageSize + 1); },
     false, 0},
    {"uncompressed size 4 GiB", true, [](Bytes& b) { put32(b, kSection + F::kUncompressedSizeOffset, 0xFFFFFFFF); }, false, 0},
    {"corrupt stream", true, [](Bytes& b) { b[kData + 20] ^= 0x55; }, false, 0},
    {"stored as written", false, [](Bytes&) {}, true, kImageSize},
    // The header may claim more than a stored block holds; only the stored bytes exist.
    {"stored, header claims more", false, [](Bytes& b) { put32(b, kSection + F::kUncompressedSizeOffset, 0xFFFFFFFF); },
     true, kImageSize},
};

} // namespace

TEST(PackageInflate, EntriesInflateOrFailCleanly)
{
    TempFiles files;
    for (const InflateCase& c : kCases) {
        SCOPED_TRACE(c.name);
        Bytes file = build({section(compressible(), c.compress)});
        c.patch(file);
        TWG::Tools::PackageWriter::seal(file);
        FirmwarePackage package;
        package.setPath(files.write("p.bin", file));
        FirmwarePackageEntryList list;
        ASSERT_EQ(package.readEntries(1, kKey, list), R::Success);
        ASSERT_EQ(list.count(), 1);
        auto* entry = list.at(0);
        EXPECT_EQ(entry->isCompressed(), c.compress);
        const std::uint32_t stored = entry->storedSize();
        if (c.inflates) {
            ASSERT_EQ(entry->size(), c.size);
            ASSERT_NE(entry->data(), nullptr);
            EXPECT_EQ(Bytes(entry->data(), entry->data() + entry->size()), compressible());
            EXPECT_EQ(entry->isInflated(), c.compress);
        } else {
            // A failed inflation keeps the stored data and fails again on the next call.
            for (int attempt = 0; attempt < 2; ++attempt) {
                EXPECT_EQ(entry->data(), nullptr);
                EXPECT_EQ(entry->size(), 0u);
                EXPECT_FALSE(entry->isInflated());
                EXPECT_EQ(entry->storedSize(), stored);
            }
        }
    }
}

TEST(PackageInflate, InflatesOnceAndKeepsTheResult)
{
    TempFiles files;
    FirmwarePackage package;
    package.setPath(files.write("p.bin", build({section(compressible(), true)})));
    FirmwarePackageEntryList list;
    ASSERT_EQ(package.readEntries(1, kKey, list), R::Success);
    ASSERT_EQ(list.count(), 1);
    auto* entry = list.at(0);
    EXPECT_LT(entry->storedSize(), kImageSize);
    EXPECT_FALSE(entry->isInflated());
    const std::uint8_t* first = entry->data();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(entry->isInflated());
    EXPECT_EQ(entry->data(), first);
    EXPECT_EQ(entry->size(), kImageSize);
}
