#include "PackageTestSupport.h"

#include "usb/package/FirmwarePackage.h"

#include <sys/stat.h>

#include <cstdio>
#include <functional>

using namespace PackageTest;
using TWG::Tools::PackageEntryRecord;
using TWG::Tools::PackageSection;
using TWG::USB::FirmwarePackage;
using TWG::USB::FirmwarePackageEntryList;
namespace R = TWG::USB::PackageResult;

namespace {

constexpr std::size_t kDataSize = 100;
constexpr std::uint32_t kSectionLength = F::kMinimumHeaderAreaLength + kDataSize;
constexpr std::size_t kSecondSection = kSection + kSectionLength;

Bytes onePackage() { return build({section(pattern(kDataSize))}); }
Bytes twoPackage() { return build({section(pattern(kDataSize)), section(pattern(kDataSize, 9))}); }

// A section whose header area is stretched over its data, which holds valid 16-byte records:
// the walk reaches a record that cannot be read as 24 bytes before the end of the file.
Bytes recordsRunOffTheEnd()
{
    Bytes records;
    for (int i = 0; i < 6; ++i) {
        Bytes r(16, 0);
        put16(r, F::kRecordLengthOffset, 16);
        put16(r, F::kEntryTypeOffset, 2);
        records.insert(records.end(), r.begin(), r.end());
    }
    Bytes file = build({section(records)});
    put16(file, kSection + F::kHeaderAreaLengthOffset, std::uint16_t(F::kMinimumHeaderAreaLength + records.size() - 1));
    TWG::Tools::PackageWriter::seal(file);
    return file;
}

struct DamageCase {
    const char* name;
    std::function<Bytes()> make;
    int readResult;
    int listResult;
    int entriesKept; // after readEntries
};

Bytes patched(Bytes file, const std::function<void(Bytes&)>& patch, bool reseal = true)
{
    patch(file);
    if (reseal)
        TWG::Tools::PackageWriter::seal(file);
    return file;
}

Bytes sealed(std::size_t length)
{
    Bytes b(length, 0);
    TWG::Tools::PackageWriter::seal(b);
    return b;
}

const DamageCase kDamage[] = {
    {"empty file", [] { return Bytes(); }, R::TooShort, R::Success, 0},
    {"72 bytes", [] { return sealed(72); }, R::TooShort, R::BadSection, 0},
    {"73 bytes, good digest, no section", [] { return sealed(73); }, R::BadSection, R::BadSection, 0},
    {"body byte flipped", [] { return patched(onePackage(), [](Bytes& b) { b.back() ^= 1; }, false); },
     R::DigestMismatch, R::Success, 0},
    {"digest byte flipped", [] { return patched(onePackage(), [](Bytes& b) { b[5] ^= 0x80; }, false); },
     R::DigestMismatch, R::Success, 0},
    {"bad magic", [] { return patched(onePackage(), [](Bytes& b) { put16(b, kSection, 0xBDBC); }); },
     R::BadSection, R::BadSection, 0},
    {"header area 24", [] { return patched(onePackage(), [](Bytes& b) { put16(b, kSection + F::kHeaderAreaLengthOffset, 24); }); },
     R::BadSection, R::BadSection, 0},
    {"header area 47", [] { return patched(onePackage(), [](Bytes& b) { put16(b, kSection + F::kHeaderAreaLengthOffset, 47); }); },
     R::BadSection, R::BadSection, 0},
    {"header area fills the section",
     [] { return patched(onePackage(), [](Bytes& b) { put16(b, kSection + F::kHeaderAreaLengthOffset, kSectionLength); }); },
     R::BadSection, R::BadSection, 0},
    {"compressed flag 2", [] { return patched(onePackage(), [](Bytes& b) { b[kSection + F::kCompressedFlagOffset] = 2; }); },
     R::BadSection, R::BadSection, 0},
    {"uncompressed size below stored size",
     [] { return patched(onePackage(), [](Bytes& b) { put32(b, kSection + F::kUncompressedSizeOffset, kDataSize - 1); }); },
     R::BadSection, R::BadSection, 0},
    {"section one byte past the end",
     [] { return patched(onePackage(), [](Bytes& b) { put32(b, kSection + F::kSectionLengthOffset, kSectionLength + 1); }); },
     R::BadSection, R::BadSection, 0},
    {"section length wraps back to the first section",
     [] {
         return patched(twoPackage(), [](Bytes& b) {
             put32(b, kSecondSection + F::kSectionLengthOffset, std::uint32_t(0x100000000ull - kSectionLength));
             put32(b, kSecondSection + F::kUncompressedSizeOffset, 0xFFFFFFFF);
         });
     },
     R::BadSection, R::BadSection, 1},
    {"maximum section length", [] {
         return patched(onePackage(), [](Bytes& b) {
             put32(b, kSection + F::kSectionLengthOffset, 0xFFFFFFFF);
             put32(b, kSection + F::kUncompressedSizeOffset, 0xFFFFFFFF);
         });
     },
     R::BadSection, R::BadSection, 0},
    {"23 trailing bytes", [] { return patched(onePackage(), [](Bytes& b) { b.resize(b.size() + 23, 0); }); },
     R::BadSection, R::BadSection, 1},
    {"record length 15 after a match",
     [] { return patched(twoPackage(), [](Bytes& b) { put16(b, kSecondSection + 24 + F::kRecordLengthOffset, 15); }); },
     R::BadEntry, R::BadEntry, 1},
    {"record length 25 after a match",
     [] { return patched(twoPackage(), [](Bytes& b) { put16(b, kSecondSection + 24 + F::kRecordLengthOffset, 25); }); },
     R::BadEntry, R::BadEntry, 1},
    {"entry type 3 after a match",
     [] { return patched(twoPackage(), [](Bytes& b) { put16(b, kSecondSection + 24 + F::kEntryTypeOffset, 3); }); },
     R::BadEntry, R::BadEntry, 1},
    {"record runs off the end of the file", recordsRunOffTheEnd, R::BadEntry, R::BadEntry, 1},
};

} // namespace

TEST(FirmwarePackage, EveryDamageHasItsResult)
{
    TempFiles files;
    for (const DamageCase& c : kDamage) {
        SCOPED_TRACE(c.name);
        const std::string path = files.write("data-bd54.bin", c.make());
        FirmwarePackageEntryList list;
        FirmwarePackage package;
        package.setPath(path);
        EXPECT_EQ(package.readEntries(1, kKey, list), c.readResult);
        EXPECT_EQ(list.count(), c.entriesKept);
        if (c.readResult == R::TooShort || c.readResult == R::DigestMismatch) {
            EXPECT_FALSE(package.isLoaded());
        }

        FirmwarePackage lister;
        lister.setPath(path);
        EXPECT_EQ(lister.listEntries(1, kKey, list), c.listResult);
    }
}

TEST(FirmwarePackage, PathFailures)
{
    TempFiles files;
    FirmwarePackageEntryList list;
    const std::string good = files.write("good.bin", onePackage());
    FirmwarePackage filler;
    filler.setPath(good);
    ASSERT_EQ(filler.readEntries(1, kKey, list), R::Success);
    ASSERT_EQ(list.count(), 1);

    const std::string fifo = files.path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        const char* name;
        std::string path;
        int result;
    } cases[] = {
        {"no path", "", R::NoPath},
        {"missing file", files.path("data-0000.bin"), R::CannotRead},
        {"directory", files.path(""), R::CannotRead},
        {"fifo, which must not block", fifo, R::CannotRead},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FirmwarePackage package;
        package.setPath(c.path);
        EXPECT_EQ(package.readEntries(1, kKey, list), c.result);
        EXPECT_EQ(package.listEntries(1, kKey, list), c.result);
    }
    // A file that cannot be opened leaves no stale entries behind.
    EXPECT_EQ(list.count(), 0);
}

TEST(FirmwarePackage, HandWrittenFixture)
{
    TempFiles files;
    const Bytes fixture = readHexFile(TWG_PACKAGE_FIXTURES "/two-sections.hex");
    ASSERT_EQ(fixture.size(), 182u);
    FirmwarePackage package;
    package.setPath(files.write("data-bd54.bin", fixture));

    FirmwarePackageEntryList images;
    ASSERT_EQ(package.readEntries(1, kKey, images), R::Success);
    ASSERT_EQ(images.count(), 2);
    const std::string image = "FIXTURE-IMAGE-01";
    for (int i = 0; i < 2; ++i) {
        auto* e = images.at(i);
        EXPECT_EQ(e->sectionId(), 0x00010203u);
        EXPECT_EQ(e->sectionAttributes(), 0xA1B2C3D4u);
        EXPECT_EQ(e->compressionMethod(), 2);
        EXPECT_FALSE(e->isCompressed());
        EXPECT_EQ(e->storedSize(), 16u);
        ASSERT_EQ(e->size(), 16u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(e->data()), e->size()), image);
    }
    // A 16-byte record of kind 1 carries neither value nor extra.
    EXPECT_EQ(images.at(0)->entryWord(), 0x11223344u);
    EXPECT_EQ(images.at(0)->entryByteA(), 5);
    EXPECT_EQ(images.at(0)->entryByteB(), 1);
    EXPECT_EQ(images.at(0)->entryValue(), 0xFFFFFFFFu);
    EXPECT_EQ(images.at(0)->extra(), 0xFFFF);
    EXPECT_EQ(images.at(1)->entryWord(), 0x100u);
    EXPECT_EQ(images.at(1)->entryValue(), 0x00C0FFEEu);
    EXPECT_EQ(images.at(1)->extra(), 0x1234);
    EXPECT_EQ(images.at(2), nullptr);
    EXPECT_EQ(images.at(-1), nullptr);

    FirmwarePackageEntryList info;
    ASSERT_EQ(package.readEntries(0, kKey, info), R::Success);
    ASSERT_EQ(info.count(), 1);
    auto* e = info.at(0);
    EXPECT_EQ(e->sectionId(), 0x2Au);
    EXPECT_EQ(e->compressionMethod(), 1);
    EXPECT_TRUE(e->isCompressed());
    EXPECT_EQ(e->entryValue(), 0x12345678u);
    EXPECT_EQ(e->extra(), 0xBEEF);
    ASSERT_EQ(e->size(), 74u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(e->data()), e->size()), std::string(64, 'A') + "VERSION-42");

    FirmwarePackageEntryList none;
    EXPECT_EQ(package.readEntries(1, F::productKey(0xBD55), none), R::Success);
    EXPECT_EQ(none.count(), 0);
}

TEST(FirmwarePackage, WriterReproducesHandWrittenFixture)
{
    PackageSection image;
    image.id = 0x00010203;
    image.attributes = 0xA1B2C3D4;
    image.methodFlags = TWG::Tools::PackageWriter::methodFlagsFor(2);
    const std::string text = "FIXTURE-IMAGE-01";
    image.data.assign(text.begin(), text.end());
    PackageEntryRecord shortRecord;
    shortRecord.kind = 1;
    shortRecord.length = 16;
    shortRecord.word = 0x11223344;
    shortRecord.byteA = 5;
    shortRecord.byteB = 1;
    shortRecord.key = kKey;
    PackageEntryRecord fullRecord;
    fullRecord.word = 0x100;
    fullRecord.byteA = 2;
    fullRecord.byteB = 2;
    fullRecord.key = kKey;
    fullRecord.value = 0x00C0FFEE;
    fullRecord.extra = 0x1234;
    image.entries = {shortRecord, fullRecord};

    const std::string infoText = std::string(64, 'A') + "VERSION-42";
    PackageSection info = section(Bytes(infoText.begin(), infoText.end()), true, 0x2A, 0);
    info.methodFlags = TWG::Tools::PackageWriter::methodFlagsFor(1);
    info.entries[0].value = 0x12345678;
    info.entries[0].extra = 0xBEEF;

    EXPECT_EQ(build({image, info}), readHexFile(TWG_PACKAGE_FIXTURES "/two-sections.hex"));
}

// Value and extra come from a record only when it holds them: bytes past its length are the next
// record's.
TEST(FirmwarePackage, ARecordHoldsTheFieldsItsLengthCovers)
{
    const struct {
        std::uint16_t kind;
        std::uint16_t length;
        bool value;
        bool extra;
    } cases[] = {
        {2, 16, false, false}, {2, 19, false, false}, {2, 20, true, false}, {2, 21, true, false},
        {2, 22, true, true},   {2, 24, true, true},   {1, 22, true, false}, {1, 24, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.length) + " bytes of kind " + std::to_string(c.kind));
        PackageSection s = section(pattern(kDataSize));
        PackageEntryRecord& first = s.entries[0];
        first.kind = c.kind;
        first.length = c.length;
        if (c.value)
            first.value = 0x0A0B0C0D;
        if (c.extra)
            first.extra = 0x1234;
        PackageEntryRecord next; // a full record of kind 2 follows
        next.key = kKey;
        next.value = 7;
        next.extra = 0x5678;
        s.entries.push_back(next);
        TempFiles files;
        FirmwarePackage package;
        package.setPath(files.write("p.bin", build({s})));
        FirmwarePackageEntryList list;
        ASSERT_EQ(package.readEntries(1, kKey, list), R::Success);
        ASSERT_EQ(list.count(), 2);
        EXPECT_EQ(list.at(0)->entryValue(), c.value ? 0x0A0B0C0Du : F::kAbsentEntryValue);
        EXPECT_EQ(list.at(0)->extra(), c.extra ? 0x1234 : F::kAbsentExtra);
        EXPECT_EQ(list.at(1)->entryValue(), 7u);
        EXPECT_EQ(list.at(1)->extra(), 0x5678);
    }
}

TEST(FirmwarePackage, EntriesOfOneSectionShareItsData)
{
    PackageSection s = section(pattern(kDataSize));
    s.entries.push_back(s.entries[0]);
    PackageEntryRecord other = s.entries[0];
    other.key = F::productKey(0xBD55);
    s.entries.push_back(other);
    TempFiles files;
    FirmwarePackage package;
    package.setPath(files.write("p.bin", build({s, section(pattern(10), false, 0x0207)})));
    FirmwarePackageEntryList list;
    ASSERT_EQ(package.readEntries(1, kKey, list), R::Success);
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.at(2)->sectionId(), 0x0207u);
    ASSERT_EQ(list.at(0)->size(), kDataSize);
    ASSERT_EQ(list.at(1)->size(), kDataSize);
    EXPECT_NE(list.at(0)->data(), list.at(1)->data());
    EXPECT_EQ(Bytes(list.at(0)->data(), list.at(0)->data() + kDataSize), pattern(kDataSize));
    EXPECT_EQ(Bytes(list.at(1)->data(), list.at(1)->data() + kDataSize), pattern(kDataSize));
}

TEST(FirmwarePackage, CompressionMethodFromFlags)
{
    const struct {
        std::uint8_t flags;
        int method;
    } cases[] = {{0x00, 0}, {0x01, 1}, {0x02, 2}, {0x06, 2}, {0x04, 3}, {0x08, 4}, {0x0F, 1}, {0xF0, 0}};
    TempFiles files;
    for (const auto& c : cases) {
        PackageSection s = section(pattern(kDataSize));
        s.methodFlags = c.flags;
        FirmwarePackage package;
        package.setPath(files.write("p.bin", build({s})));
        FirmwarePackageEntryList list;
        ASSERT_EQ(package.listEntries(1, kKey, list), R::Success);
        ASSERT_EQ(list.count(), 1);
        EXPECT_EQ(list.at(0)->compressionMethod(), c.method) << "flags " << int(c.flags);
    }
}

TEST(FirmwarePackage, LoadedFileIsKeptUntilThePathChanges)
{
    TempFiles files;
    const std::string path = files.write("data-bd54.bin", onePackage());
    FirmwarePackage package;
    package.setPath(path);
    FirmwarePackageEntryList list;
    ASSERT_EQ(package.readEntries(1, kKey, list), R::Success);
    ASSERT_EQ(std::remove(path.c_str()), 0);
    EXPECT_EQ(package.readEntries(1, kKey, list), R::Success);
    EXPECT_EQ(list.count(), 1);
    package.setPath(path);
    EXPECT_EQ(package.readEntries(1, kKey, list), R::CannotRead);
}

TEST(FirmwarePackage, MismatchIsReadAgainNextTime)
{
    TempFiles files;
    Bytes bad = onePackage();
    bad.back() ^= 1;
    const std::string path = files.write("data-bd54.bin", bad);
    FirmwarePackage package;
    package.setPath(path);
    FirmwarePackageEntryList list;
    EXPECT_EQ(package.readEntries(1, kKey, list), R::DigestMismatch);
    files.write("data-bd54.bin", onePackage());
    EXPECT_EQ(package.readEntries(1, kKey, list), R::Success);
    EXPECT_EQ(list.count(), 1);
}

TEST(FirmwarePackage, ListingReadsHeadersOnly)
{
    TempFiles files;
    Bytes file = build({section(pattern(kDataSize)), section(pattern(4000, 3), true)});
    file[0] ^= 1; // a listing does not check the digest
    FirmwarePackage package;
    package.setPath(files.write("p.bin", file));
    FirmwarePackageEntryList list;
    ASSERT_EQ(package.listEntries(1, kKey, list), R::Success);
    EXPECT_FALSE(package.isLoaded());
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.at(0)->storedSize(), kDataSize);
    EXPECT_EQ(list.at(1)->uncompressedSize(), 4000u);
    EXPECT_TRUE(list.at(1)->isCompressed());
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(list.at(i)->data(), nullptr);
        EXPECT_EQ(list.at(i)->size(), 0u);
    }
}

TEST(FirmwarePackage, FilterLeavesUnsetFieldsOpen)
{
    const std::uint32_t otherKey = F::productKey(0xBD55);
    TempFiles files;
    FirmwarePackage package;
    package.setPath(files.write("data-bd54.bin", build({section(pattern(10), false, 1, 1, kKey),
                                                         section(pattern(10), false, 2, 0, kKey),
                                                         section(pattern(10), false, 3, 1, otherKey)})));
    const struct {
        const char* name;
        TWG::USB::FirmwarePackageFilter filter;
        std::vector<std::uint32_t> sections;
    } cases[] = {
        {"type and key", {1, kKey}, {1}},
        {"type only", {1, std::nullopt}, {1, 3}},
        {"key only", {std::nullopt, kKey}, {1, 2}},
        {"neither", {}, {1, 2, 3}},
        {"no match", {2, std::nullopt}, {}},
    };
    for (const auto& c : cases) {
        FirmwarePackageEntryList list;
        ASSERT_EQ(package.readEntries(c.filter, list), R::Success) << c.name;
        std::vector<std::uint32_t> sections;
        for (int i = 0; i < list.count(); ++i)
            sections.push_back(list.at(i)->sectionId());
        EXPECT_EQ(sections, c.sections) << c.name;
    }
}

// The digest is computed piece by piece as the file is read: a change anywhere in a file of
// several pieces is a mismatch.
TEST(FirmwarePackage, DigestCoversEveryPieceOfALargeFile)
{
    const Bytes file = build({section(pattern(700 * 1024))});
    TempFiles files;
    for (std::size_t at : {std::size_t(F::kBodyOffset), std::size_t(256 * 1024 - 1), std::size_t(256 * 1024),
                           std::size_t(600 * 1024), file.size() - 1}) {
        FirmwarePackage package;
        package.setPath(files.write("data-bd54.bin", file));
        FirmwarePackageEntryList list;
        ASSERT_EQ(package.readEntries(1, kKey, list), R::Success);
        ASSERT_EQ(list.count(), 1);
        EXPECT_EQ(Bytes(list.at(0)->data(), list.at(0)->data() + list.at(0)->size()), pattern(700 * 1024));

        Bytes damaged = file;
        damaged[at] ^= 0x10;
        package.setPath(files.write("data-bd54.bin", damaged));
        EXPECT_EQ(package.readEntries(1, kKey, list), R::DigestMismatch) << "byte " << at;
    }
}
