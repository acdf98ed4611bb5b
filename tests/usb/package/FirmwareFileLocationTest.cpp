#include "PackageTestSupport.h"

#include "usb/package/FirmwareFileLocation.h"
#include "usb/package/FirmwarePackage.h"

#include <QCoreApplication>

#include <cstdio>

using namespace PackageTest;
using TWG::USB::FirmwareFileLocation;
using TWG::USB::moduleDirectory;
using TWG::USB::packageFileName;
using TWG::USB::setFirmwareDirectory;

namespace {

// The firmware directory is process-wide: every test starts and ends with it unset.
class FirmwareFileLocationTest : public ::testing::Test {
protected:
    void SetUp() override { setFirmwareDirectory(""); }
    void TearDown() override
    {
        setFirmwareDirectory("");
        for (const std::string& p : beside_)
            std::remove(p.c_str());
    }

    // A file beside the test program; names differ per test, as CTest runs tests in parallel.
    std::string placeBesideProgram(const std::string& name)
    {
        const std::string p = moduleDirectory() + name;
        std::string error;
        EXPECT_TRUE(TWG::Tools::PackageWriter::saveFile(p, Bytes(1, 0), &error)) << error;
        beside_.push_back(p);
        return p;
    }

    std::vector<std::string> beside_;
};

} // namespace

TEST(PackageFileName, IsFourLowerCaseHexDigits)
{
    EXPECT_EQ(packageFileName(0xBD54), "data-bd54.bin");
    EXPECT_EQ(packageFileName(0xBE90), "data-be90.bin");
    EXPECT_EQ(packageFileName(0x0001), "data-0001.bin");
}

TEST_F(FirmwareFileLocationTest, ModuleDirectoryIsTheProgramsFolder)
{
    EXPECT_EQ(moduleDirectory(), QCoreApplication::applicationDirPath().toStdString() + "/");
}

TEST_F(FirmwareFileLocationTest, FirmwareDirectoryComesFirstAndIsKept)
{
    const std::string name = packageFileName(0xF101);
    placeBesideProgram(name);
    const struct {
        std::string directory;
        std::string expected;
    } cases[] = {
        {"/opt/x/Ostrel/Resources", "/opt/x/Ostrel/Resources/" + name},
        {"/opt/x/Ostrel/Resources/", "/opt/x/Ostrel/Resources/" + name},
    };
    for (const auto& c : cases) {
        setFirmwareDirectory(c.directory);
        FirmwareFileLocation location(name);
        // The directory is taken as set, whether the file is there or not.
        EXPECT_EQ(location.fullPath(), c.expected);
        setFirmwareDirectory("/elsewhere");
        EXPECT_EQ(location.fullPath(), c.expected);
    }
}

TEST_F(FirmwareFileLocationTest, BesideTheProgramWhenNoDirectoryIsSet)
{
    const std::string name = packageFileName(0xF102);
    const std::string beside = placeBesideProgram(name);
    FirmwareFileLocation location(name);
    EXPECT_EQ(location.fullPath(), beside);
    std::remove(beside.c_str());
    EXPECT_EQ(location.fullPath(), beside);
}

TEST_F(FirmwareFileLocationTest, MissingFileGivesEmptyPathAndNoPathResult)
{
    const std::string name = packageFileName(0xF103);
    FirmwareFileLocation location(name);
    EXPECT_EQ(location.fullPath(), "");
    TWG::USB::FirmwarePackage package;
    package.setPath(location.fullPath());
    TWG::USB::FirmwarePackageEntryList list;
    EXPECT_EQ(package.readEntries(1, kKey, list), TWG::USB::PackageResult::NoPath);
    // Not found is not kept: a file that appears later is found.
    const std::string beside = placeBesideProgram(name);
    EXPECT_EQ(location.fullPath(), beside);
}
