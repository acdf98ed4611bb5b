#include "plugins/zanthic/device/FirmwareLookup.h"
#include "plugins/zanthic/device/FirmwareSet.h"
#include "protocol/ZanthicFirmwareIds.h"
#include "tools/sim-tree/SimFirmware.h"
#include "usb/package/PackageFormat.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <stdexcept>
#include <thread>

using namespace TWG::Zanthic;
namespace SimFirmware = TWG::Tools::SimFirmware;

namespace {

class FirmwareLookupTest : public ::testing::Test {
protected:
    FirmwareLookupTest() { setFirmwareResourcePath(folder.path().toStdString()); }
    ~FirmwareLookupTest() override { setFirmwareResourcePath({}); }
    void write(std::uint16_t product)
    {
        std::string error;
        ASSERT_TRUE(SimFirmware::writePackage(product, folder.path().toStdString(), &error)) << error;
    }
    QTemporaryDir folder;
};

TEST_F(FirmwareLookupTest, APackageIsTheProductsDataFileInTheFirmwareFolder)
{
    EXPECT_EQ(firmwarePackagePath(0xBE90), folder.path().toStdString() + "/data-be90.bin");
    setFirmwareResourcePath({});
    EXPECT_EQ(firmwarePackagePath(0xBE90), "") << "no folder: nothing relative to the working directory";
    try {
        GetFirmwares(firmwarePackagePath(0xBE90), 0xBE90, 1);
        ADD_FAILURE() << "no error without a folder";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Resource file unspecified\n");
    }
}

TEST_F(FirmwareLookupTest, VersionsComeFromTheInformationEntriesAndAreZeroWithoutThem)
{
    EXPECT_EQ(firmwareVersionNumber(0xBE90), 0u) << "no package yet";
    EXPECT_EQ(firmwareBuildNumber(0xBE90), 0u);
    write(0xBE90);
    EXPECT_EQ(firmwareVersionNumber(0xBE90), firmwareids::kXmegaFpgaVersion);
    EXPECT_EQ(firmwareBuildNumber(0xBE90), firmwareids::kXmegaVersion);
    write(0xBE6F); // a DFU image only
    EXPECT_EQ(firmwareVersionNumber(0xBE6F), 0u);
    EXPECT_EQ(firmwareBuildNumber(0xBE6F), 0u);
}

TEST_F(FirmwareLookupTest, OneSetPerProductLoadsItsImagesOnceInPackageOrder)
{
    write(0xBE91);
    FirmwareSet& set = firmwareSet(0xBE91);
    EXPECT_EQ(&set, &firmwareSet(0xBE91));
    EXPECT_NE(&set, &firmwareSet(0xBE90));
    TWG::USB::FirmwarePackageEntry* first = nullptr;
    TWG::USB::FirmwarePackageEntry* again = nullptr;
    std::thread other([&] { first = openEntry(set, 0, 1); });
    again = openEntry(set, 0, 1);
    other.join();
    ASSERT_TRUE(first);
    EXPECT_EQ(first, again) << "two threads loaded the images twice";
    const auto images = SimFirmware::images(0xBE91);
    EXPECT_EQ(first->compressionMethod(), 2) << "the bootloader image comes first";
    for (int i = 0; i < 3; ++i) {
        TWG::USB::FirmwarePackageEntry* entry = openEntry(set, i, 1);
        ASSERT_TRUE(entry && entry->data());
        EXPECT_EQ(std::vector<std::uint8_t>(entry->data(), entry->data() + entry->size()),
                  images[static_cast<std::size_t>(i)].data);
    }
    EXPECT_EQ(openEntry(set, 3, 1), nullptr);
}

TEST_F(FirmwareLookupTest, GetFirmwareGivesTheFirstImageOrSaysWhy)
{
    write(0xBE77);
    EXPECT_EQ(GetFirmware("data-be77.bin", 0xBE77), SimFirmware::images(0xBE77).front().data);
    try {
        GetFirmware("data-be77.bin", 0xBE78);
        ADD_FAILURE() << "another product's image";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "GetFirmware: No resources found.");
    }
    try {
        GetFirmware("data-0000.bin", 0xBE77);
        ADD_FAILURE() << "a missing file";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "GetFirmware: Unable to unpack resource. Error code: 3");
    }
}

} // namespace
