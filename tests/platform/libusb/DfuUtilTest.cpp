// Debian's dfu-util, a real DFU 1.1 host, against the simulated STM32 converter: the bridge of
// the umockdev fixture shows the simulated device as a usbfs node, and the node follows the
// device as it moves between its application and its bootloader. Runs under umockdev's preload
// (CTest starts it through under-umockdev.sh); every run of a tool has a time-out.

#include "platform/sim/SimBackend.h"
#include "platform/sim/models/stm32/SimStm32Application.h"
#include "platform/sim/models/stm32/SimStm32Bootloader.h"
#include "protocol/DfuProtocol.h"
#include "tests/platform/libusb/fixture/MockTestbed.h"
#include "tests/platform/libusb/fixture/SimBridge.h"
#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using namespace usbfs_fixture;

namespace {

constexpr char kDfuUtil[] = "/usr/bin/dfu-util";
constexpr char kDfuSuffix[] = "/usr/bin/dfu-suffix";
constexpr int kToolTimeoutS = 30;
constexpr int kFollowMs = 5000;
constexpr std::uint16_t kProduct = 0xBE89;
constexpr char kDevice[] = "7c5d:be89";
// Five full blocks of 2048 bytes and a partial one.
constexpr std::size_t kImageSize = 5 * 2048 + 300;

struct ToolRun {
    int exitCode = -1;
    std::string output;
};

ToolRun run(const std::string& command)
{
    ToolRun r;
    const std::string line = "timeout " + std::to_string(kToolTimeoutS) + " " + command + " 2>&1";
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe)
        return r;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        r.output += buffer;
    const int status = pclose(pipe);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string tempPath(const char* name)
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp ? tmp : "/tmp") + "/" + name;
}

bool save(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bool(f);
}

std::size_t fileSize(const std::string& path)
{
    std::ifstream f(path, std::ios::binary | std::ios::ate);
    return f ? static_cast<std::size_t>(f.tellg()) : 0;
}

class DfuUtilTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(MockTestbed::preloaded()) << "needs umockdev's preload: run it through ctest";
        ASSERT_TRUE(std::ifstream(kDfuUtil).good() && std::ifstream(kDfuSuffix).good())
            << "needs dfu-util (tools/install-deps.sh)";
        state = std::make_shared<platform::SimStm32State>();
        state->productId = kProduct;
    }

    void attach(bool inBootloader)
    {
        const std::string path = bus.attach(platform::SimStm32Application::persona(state, inBootloader));
        bridge = std::make_unique<SimBridge>(testbed, bus, path);
        ASSERT_TRUE(bridge->shown());
    }

    std::shared_ptr<platform::SimStm32State> state;
    platform::SimBackend bus;
    MockTestbed testbed;
    std::unique_ptr<SimBridge> bridge;
};

TEST_F(DfuUtilTest, ListsTheSimulatedBootloaderWithItsSerial)
{
    ASSERT_NO_FATAL_FAILURE(attach(true));
    const ToolRun r = run(std::string(kDfuUtil) + " -l");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find(std::string("Found DFU: [") + kDevice + "]"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("serial=\"" + state->serial + "\""), std::string::npos) << r.output;
}

TEST_F(DfuUtilTest, DownloadsIntoTheBootloaderWithAndWithoutADfuSuffix)
{
    const std::vector<std::uint8_t> image = pattern(kImageSize);
    for (const bool suffixed : {false, true}) {
        SCOPED_TRACE(suffixed ? "with a DFU suffix" : "a bare image");
        const std::string file = tempPath(suffixed ? "image-suffixed.bin" : "image.bin");
        ASSERT_TRUE(save(file, image));
        if (suffixed) {
            const ToolRun suffix = run(std::string(kDfuSuffix) + " -v 7c5d -p be89 -a " + file);
            ASSERT_EQ(suffix.exitCode, 0) << suffix.output;
            ASSERT_EQ(fileSize(file), image.size() + 16) << "dfu-suffix added no suffix";
        }
        state->flash.clear();
        ASSERT_NO_FATAL_FAILURE(attach(true));
        const ToolRun r = run(std::string(kDfuUtil) + " -d " + kDevice + " -a 0 -D " + file);
        EXPECT_EQ(r.exitCode, 0) << r.output;
        // Manifested, it comes back as the application. The bridge's lock orders the usbfs
        // worker's writes before the reads below; the tool's exit alone does not.
        ASSERT_TRUE(bridge->waitForGeneration(2, kFollowMs)) << r.output;
        EXPECT_EQ(state->flash, image) << "the flash holds the image, never its suffix\n" << r.output;
        bridge.reset();
        for (const platform::UsbDeviceInfo& d : bus.listDevices())
            bus.detach(d.path);
    }
}

// The DFU 1.1 variants by bmAttributes, each able to download.
struct Variant {
    const char* name;
    std::uint8_t attributes;
    // Without tolerance dfu-util 0.11 resets the device in dfuMANIFEST-WAIT-RESET itself, and
    // the reset re-enumerates it into its application, as a real one does (libusb: NOT_FOUND,
    // the interfaces cannot be claimed again); it prints "Done!" and then exits with EX_IOERR.
    int exitCode;
};

void PrintTo(const Variant& v, std::ostream* os) { *os << v.name; }

class DfuUtilVariantTest : public DfuUtilTest, public ::testing::WithParamInterface<Variant> {
protected:
    // The bus reset a host sends through usbfs, as dfu-util -R or usbreset do. ENODEV: the
    // device re-enumerated in answer.
    bool resetThroughUsbfs()
    {
        const int fd = ::open(bridge->nodePath().c_str(), O_RDWR);
        if (fd < 0)
            return false;
        const bool done = ::ioctl(fd, USBDEVFS_RESET, 0) == 0 || errno == ENODEV;
        ::close(fd);
        return done;
    }
};

TEST_P(DfuUtilVariantTest, DownloadsFromTheApplicationAndFromTheBootloader)
{
    namespace Dfu = TWG::Dfu;
    const std::vector<std::uint8_t> image = pattern(kImageSize);
    const std::string file = tempPath("image.bin");
    ASSERT_TRUE(save(file, image));
    state->dfu.attributes = GetParam().attributes;
    const bool willDetach = (state->dfu.attributes & Dfu::kAttributeWillDetach) != 0;
    const bool tolerant = (state->dfu.attributes & Dfu::kAttributeManifestationTolerant) != 0;
    for (const bool inBootloader : {true, false}) {
        SCOPED_TRACE(inBootloader ? "from the bootloader" : "from the application");
        state->flash.clear();
        ASSERT_NO_FATAL_FAILURE(attach(inBootloader));
        // -E 2: after DETACH dfu-util looks for the bootloader two seconds later, not five.
        const ToolRun r = run(std::string(kDfuUtil) + " -d " + kDevice + " -a 0 -E 2 -D " + file);
        EXPECT_EQ(r.exitCode, GetParam().exitCode) << r.output;
        EXPECT_NE(r.output.find("Done!"), std::string::npos) << r.output;
        const int bootloader = inBootloader ? 1 : 2; // the bridge's generation of the bootloader
        if (tolerant && !willDetach) {
            // dfu-util leaves it in dfuIDLE, waiting for the bus reset that -R would send.
            ASSERT_EQ(bridge->generation(), bootloader) << r.output;
            const std::vector<platform::UsbDeviceInfo> devices = bus.listDevices();
            ASSERT_EQ(devices.size(), 1u);
            auto boot = std::dynamic_pointer_cast<platform::SimStm32Bootloader>(bus.device(devices[0].path));
            ASSERT_TRUE(boot) << r.output;
            EXPECT_EQ(boot->dfuState(), Dfu::kStateDfuIdle);
            ASSERT_TRUE(resetThroughUsbfs());
        }
        // Otherwise dfu-util's reset in dfuMANIFEST-WAIT-RESET, or the device itself, brings
        // back the application.
        ASSERT_TRUE(bridge->waitForGeneration(bootloader + 1, kFollowMs)) << r.output;
        // The bridge's lock orders the usbfs worker's writes before these reads; the tool's
        // exit alone does not.
        EXPECT_EQ(state->flash, image) << r.output;
        EXPECT_TRUE(state->violations.empty()) << state->violations.front();
        const std::vector<platform::UsbDeviceInfo> devices = bus.listDevices();
        ASSERT_EQ(devices.size(), 1u);
        EXPECT_FALSE(std::dynamic_pointer_cast<platform::SimStm32Bootloader>(bus.device(devices[0].path)))
            << "the application runs again\n"
            << r.output;
        bridge.reset();
        for (const platform::UsbDeviceInfo& d : bus.listDevices())
            bus.detach(d.path);
    }
}

INSTANTIATE_TEST_SUITE_P(Attributes, DfuUtilVariantTest,
                         ::testing::Values(Variant{"Both", 0x0D, 0}, Variant{"WillDetachClear", 0x05, 0},
                                           Variant{"ManifestationTolerantClear", 0x09, 74},
                                           Variant{"BothClear", 0x01, 74}),
                         [](const ::testing::TestParamInfo<Variant>& info) { return std::string(info.param.name); });

TEST_F(DfuUtilTest, DetachesTheApplicationWhichReturnsAsTheBootloader)
{
    ASSERT_NO_FATAL_FAILURE(attach(false));
    const ToolRun r = run(std::string(kDfuUtil) + " -d " + kDevice + " -e");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    ASSERT_TRUE(bridge->waitForGeneration(2, kFollowMs)) << r.output;
    const std::vector<platform::UsbDeviceInfo> devices = bus.listDevices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_TRUE(std::dynamic_pointer_cast<platform::SimStm32Bootloader>(bus.device(devices[0].path)));
    // And dfu-util sees it there.
    const ToolRun list = run(std::string(kDfuUtil) + " -l");
    EXPECT_NE(list.output.find(std::string("Found DFU: [") + kDevice + "]"), std::string::npos) << list.output;
}

} // namespace
