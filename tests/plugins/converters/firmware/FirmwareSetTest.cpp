#include "FirmwareTestSupport.h"

#include "converters/fx2/ConverterInstance.h"
#include "plugins/converters/firmware/ConverterFX2Firmware.h"
#include "plugins/converters/firmware/ConverterXmegaFirmware.h"
#include "plugins/converters/firmware/FirmwareModels.h"
#include "tools/sim-tree/SimFirmware.h"
#include "support/TestEnvironment.h"
#include "usb/package/PackageFormat.h"

#include <gtest/gtest.h>

#include <QDir>

using fwtest::bytes;
using fwtest::ImageSpec;

namespace {

std::vector<std::uint8_t> imageOf(const BroadcastXmegaFirmware& set, int i)
{
    return std::vector<std::uint8_t>(set.imageData(i), set.imageData(i) + set.imageSize(i));
}

std::vector<std::uint8_t> imageOf(const BroadcastFX2Firmware& set, int i)
{
    return std::vector<std::uint8_t>(set.imageData(i), set.imageData(i) + set.imageSize(i));
}

} // namespace

TEST(FirmwareSet, Fx2SetKeepsPackageOrderAndTakesItsVersionFromTheFirstFx2Image)
{
    const ImageSpec at90{2, 0, 0, 0x0205, 0, 0, bytes(700, 1)};
    const ImageSpec fx2{1, 3, 0x1000, 0x0107, 0, 0, bytes(9000, 2)};
    const ImageSpec later{1, 0, 0, 0x0109, 0, 0, bytes(50, 3)};
    fwtest::writePackage(0xBD2E, {at90, fx2, later});

    ConverterFX2Firmware set(0xBD2E);
    EXPECT_EQ(set.key(), 0x7C5DBD2Eu);
    EXPECT_EQ(set.entryType(), 1);
    ASSERT_EQ(set.imageCount(), 3);
    EXPECT_EQ(imageOf(set, 0), at90.data);
    EXPECT_EQ(imageOf(set, 1), fx2.data) << "inflated from the compressed section";
    EXPECT_EQ(imageOf(set, 2), later.data);
    EXPECT_EQ(set.imageKind(0), 2);
    EXPECT_EQ(set.imageKind(1), 1);
    EXPECT_EQ(set.imageTarget(1), 3);
    EXPECT_EQ(set.imageOffset(1), 0x1000u);
    EXPECT_EQ(set.imageVersion(0), 5);
    EXPECT_EQ(set.versionByte(), 7);
    EXPECT_TRUE(set.offersFirmware());
    for (int bad : {-1, 3}) {
        EXPECT_EQ(set.imageData(bad), nullptr);
        EXPECT_EQ(set.imageSize(bad), 0u);
        EXPECT_EQ(set.imageKind(bad), 0);
        EXPECT_EQ(set.imageOffset(bad), 0u);
    }
}

TEST(FirmwareSet, XmegaSetTakesTheApplicationApartAndDescribesTheRestInItsTable)
{
    const ImageSpec fpga{1, 0, 0, 0x0304, 0x11223344, 0, bytes(3000, 4)};
    const ImageSpec application{0, 0, 0, 0xCAFE0042, 0, 2, bytes(1200, 5)};
    const ImageSpec other{3, 1, 0x20000, 0x0501, 0x55667788, 1, bytes(80, 6)};
    fwtest::writePackage(0xBD93, {fpga, application, other});

    ConverterXmegaFirmware set(0xBD93);
    ASSERT_TRUE(set.hasApplicationImage());
    EXPECT_EQ(std::vector<std::uint8_t>(set.applicationData(), set.applicationData() + set.applicationSize()),
              application.data);
    EXPECT_EQ(set.xmegaChecksum(), 0xCAFE0042u);
    EXPECT_EQ(set.imageCount(false), 2);
    EXPECT_EQ(set.imageCount(true), 3);
    EXPECT_EQ(set.imageCount(), 3) << "the loader programs the table too";
    EXPECT_EQ(imageOf(set, 0), fpga.data);
    EXPECT_EQ(imageOf(set, 1), other.data);
    EXPECT_EQ(set.imageTarget(1), 1);
    EXPECT_EQ(set.imageOffset(1), 0x20000u);
    EXPECT_EQ(set.versionByte(), 4);

    const std::vector<std::uint8_t> expected = [] {
        std::vector<std::uint8_t> t(144, 0);
        const std::uint8_t head[] = {0xED, 0xAB, 0xED, 0xAB, 2, 0, 0, 0, '7', '.', '6', '.', '1'};
        std::copy(std::begin(head), std::end(head), t.begin());
        const std::uint8_t rows[] = {1, 0, 0, 0, 0x00, 0x00, 0x00, 0x00, 0x44, 0x33, 0x22, 0x11,
                                     3, 1, 0, 0, 0x00, 0x00, 0x02, 0x00, 0x88, 0x77, 0x66, 0x55};
        std::copy(std::begin(rows), std::end(rows), t.begin() + 24);
        return t;
    }();
    EXPECT_EQ(std::vector<std::uint8_t>(set.imageTable().begin(), set.imageTable().end()), expected);
    EXPECT_EQ(imageOf(set, 2), expected) << "index n is the table";
    EXPECT_EQ(set.imageTarget(2), 0);
    EXPECT_EQ(set.imageOffset(2), 0x3F0000u);
    EXPECT_EQ(set.imageData(3), nullptr);
    EXPECT_EQ(set.imageSize(3), 0u);

    EXPECT_EQ(set.summaryText().toStdString(), "\n\tXMEGA checksum\t= 0xcafe0042\n\tFPGA Version\t= 0x4");
    EXPECT_EQ(set.firmwareSetName().toStdString(), "7.6.1");
}

TEST(FirmwareSet, XmegaSetWithOnlyItsApplicationHasNoImagesToProgram)
{
    fwtest::writePackage(0xBDF2, {ImageSpec{0, 0, 0, 0x77, 0, 2, bytes(500, 7)}});
    ConverterXmegaFirmware set(0xBDF2);
    EXPECT_TRUE(set.hasApplicationImage());
    EXPECT_EQ(set.imageCount(false), 0);
    EXPECT_EQ(set.imageCount(true), 0);
    EXPECT_EQ(set.imageData(0), nullptr);
    EXPECT_EQ(set.versionByte(), 0);
    EXPECT_EQ(set.summaryText().toStdString(), "\n\tXMEGA checksum\t= 0x77\n\t- No more firmware for this device");
}

// Ten rows fill the table; an eleventh would be written past its end, so such a set is
// refused whole.
TEST(FirmwareSet, XmegaSetOfMoreImagesThanTheTableHoldsIsRefused)
{
    for (int images : {10, 11}) {
        std::vector<ImageSpec> specs{ImageSpec{0, 0, 0, 0x99, 0, 2, bytes(300, 8)}};
        for (int i = 0; i < images; ++i)
            specs.push_back(ImageSpec{1, 0, static_cast<std::uint32_t>(i) * 0x10000u, 0x0100u + unsigned(i), 0, 0,
                                      bytes(64, unsigned(i))});
        fwtest::writePackage(0xBD91, specs);
        ConverterXmegaFirmware set(0xBD91);
        SCOPED_TRACE(images);
        if (images == 10) {
            EXPECT_TRUE(set.hasApplicationImage());
            EXPECT_EQ(set.imageCount(true), 11);
            EXPECT_EQ(set.imageTable()[4], 10);
        } else {
            EXPECT_FALSE(set.hasApplicationImage());
            EXPECT_EQ(set.imageCount(true), 0);
            EXPECT_NE(set.problem().find("more than the 10"), std::string::npos) << set.problem();
        }
    }
}

// A package that does not read cleanly is no firmware at all, even when the reader kept the
// entries before the fault.
TEST(FirmwareSet, DamagedOrMissingPackagesGiveAnEmptySet)
{
    const ImageSpec fx2{1, 0, 0, 0x0103, 0, 0, bytes(400, 9)};
    const ImageSpec app{0, 0, 0, 0x42, 0, 2, bytes(400, 10)};
    struct Case {
        const char* name;
        std::function<void(std::uint16_t)> make;
    };
    auto patched = [&](std::uint16_t id, const std::function<void(std::vector<std::uint8_t>&)>& patch) {
        std::vector<std::uint8_t> file;
        ASSERT_TRUE(fwtest::packageOf(id, {fx2, app, fx2}).build(file));
        patch(file);
        ASSERT_TRUE(TWG::Tools::PackageWriter::saveFile(fwtest::packagePath(id), file));
    };
    const std::vector<Case> cases{
        {"missing file", [](std::uint16_t id) { fwtest::removePackage(id); }},
        {"digest mismatch",
         [&](std::uint16_t id) { patched(id, [](std::vector<std::uint8_t>& f) { f.back() ^= 0x01; }); }},
        {"bad record in the last section",
         [&](std::uint16_t id) {
             patched(id, [](std::vector<std::uint8_t>& f) {
                 namespace F = TWG::USB::PackageFormat;
                 std::size_t at = F::kBodyOffset;
                 for (int section = 0; section < 2; ++section)
                     at += (std::size_t(f[at + 8]) << 24) | (std::size_t(f[at + 9]) << 16) |
                           (std::size_t(f[at + 10]) << 8) | f[at + 11];
                 f[at + F::kSectionHeaderSize + F::kRecordLengthOffset + 1] = 25;
                 TWG::Tools::PackageWriter::seal(f);
             });
         }},
        {"image that does not inflate",
         [&](std::uint16_t id) {
             patched(id, [](std::vector<std::uint8_t>& f) {
                 f[f.size() - 5] ^= 0xFF; // inside the last compressed block
                 TWG::Tools::PackageWriter::seal(f);
             });
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.make(0xBD15);
        ConverterFX2Firmware fx2Set(0xBD15);
        EXPECT_EQ(fx2Set.imageCount(), 0);
        EXPECT_FALSE(fx2Set.offersFirmware());
        EXPECT_FALSE(fx2Set.problem().empty());
        c.make(0xBD92);
        ConverterXmegaFirmware xmegaSet(0xBD92);
        EXPECT_FALSE(xmegaSet.hasApplicationImage());
        EXPECT_EQ(xmegaSet.imageCount(true), 0);
    }
}

TEST(FirmwareSet, OnlyModelsOfTheirKindLoadAPackage)
{
    fwtest::writePackage(0xBD86, {ImageSpec{}});
    EXPECT_EQ(ConverterFX2Firmware(0xBD86).imageCount(), 0) << "not a converter model";
    fwtest::writePackage(0xBD93, {ImageSpec{1, 0, 0, 0x0102, 0, 0, bytes(10, 1)}});
    EXPECT_EQ(ConverterFX2Firmware(0xBD93).imageCount(), 0) << "an XMEGA model is no FX2 model";
    fwtest::writePackage(0xBD54, {ImageSpec{3, 0, 0, 0x0102, 0, 0, bytes(10, 1)}});
    ConverterFX2Firmware onlyOther(0xBD54);
    EXPECT_EQ(onlyOther.imageCount(), 1);
    EXPECT_FALSE(onlyOther.offersFirmware()) << "no FX2 or AT90 image";
}

// The simulation-only tree's packages: one per model with firmware, each offering what a
// simulated converter at its default version already runs; none of them in bin/, for either plug-in.
TEST(FirmwareSet, SimulatedPackagesCoverEveryModelAndStayOutOfTheInstallation)
{
    namespace Sim = TWG::Tools::SimFirmware;
    EXPECT_EQ(Sim::fx2Models(), FirmwareModels::fx2Models());
    EXPECT_EQ(Sim::xmegaModels(), FirmwareModels::xmegaModels());
    for (std::uint16_t id : FirmwareModels::fx2Models()) {
        ASSERT_TRUE(Sim::writePackage(id, fwtest::packageDirectory(), nullptr));
        ConverterFX2Firmware set(id);
        EXPECT_TRUE(set.offersFirmware()) << std::hex << id;
        EXPECT_EQ(set.versionByte(), Sim::kVersion);
        EXPECT_EQ(set.imageCount(), TWG::Converters::ConverterInstance::hasAt90(id) ? 2 : 1);
    }
    for (std::uint16_t id : FirmwareModels::xmegaModels()) {
        ASSERT_TRUE(Sim::writePackage(id, fwtest::packageDirectory(), nullptr));
        ConverterXmegaFirmware set(id);
        EXPECT_TRUE(set.hasApplicationImage()) << std::hex << id;
        EXPECT_EQ(set.xmegaChecksum(), Sim::kXmegaChecksum);
        EXPECT_EQ(set.versionByte(), Sim::kVersion);
    }
    EXPECT_FALSE(Sim::writePackage(0xBD86, fwtest::packageDirectory(), nullptr));

    const QString build = requiredEnvironment("TWG_BUILD_DIR");
    ASSERT_FALSE(build.isEmpty());
    for (const char* plugin : {"Ostrel", "ZanthicConvertersPlugin"}) {
        const QDir resources(build + QStringLiteral("/bin/Vantorel/PlugIns/%1/Resources").arg(QLatin1String(plugin)));
        ASSERT_TRUE(resources.exists()) << resources.path().toStdString();
        const QStringList synthetic = resources.entryList({QStringLiteral("data-*.bin")}, QDir::Files);
        EXPECT_TRUE(synthetic.isEmpty()) << plugin << ": " << synthetic.join(QStringLiteral(", ")).toStdString();
    }
}
