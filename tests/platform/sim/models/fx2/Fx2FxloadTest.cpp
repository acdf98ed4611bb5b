// Debian's fxload loads a real FX2 image into the simulated controller without firmware: the
// umockdev fixture's bridge shows the controller as a usbfs node, whose control transfers go to
// the model on the simulated bus, and follows it when it comes back running. Runs under umockdev's preload (CTest starts it through
// under-umockdev.sh); without it, or without fxload and the image, the test skips.

#include "platform/Clock.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/models/fx2/SimFx2Blank.h"
#include "platform/sim/models/fx2/SimFx2Running.h"
#include "tests/platform/libusb/fixture/MockTestbed.h"
#include "tests/platform/libusb/fixture/SimBridge.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace usbfs_fixture;

namespace {

constexpr char kFxload[] = "/usr/sbin/fxload";
constexpr char kObjcopy[] = "/usr/bin/objcopy";
constexpr char kImage[] = "/usr/share/sigrok-firmware/fx2lafw-cypress-fx2.fw";
constexpr int kFxloadTimeoutS = 30;
constexpr std::uint16_t kVendor = 0x7C5D;
constexpr std::uint16_t kProduct = 0xBD2E;

bool exists(const char* path)
{
    std::ifstream f(path);
    return f.good();
}

Bytes readFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

} // namespace

TEST(Fx2Fxload, DebiansFxloadLoadsARealImageIntoTheSimulatedController)
{
    ASSERT_TRUE(MockTestbed::preloaded()) << "needs umockdev's preload: run it through ctest";
    ASSERT_TRUE(exists(kFxload) && exists(kObjcopy) && exists(kImage))
        << "needs fxload, binutils and sigrok-firmware-fx2lafw (tools/install-deps.sh)";

    const char* tmp = std::getenv("TMPDIR");
    const std::string hex = std::string(tmp ? tmp : "/tmp") + "/fx2-image.hex";
    const std::string convert = std::string(kObjcopy) + " -I binary -O ihex " + kImage + " " + hex;
    ASSERT_EQ(std::system(convert.c_str()), 0) << convert;
    const Bytes image = readFile(kImage);
    ASSERT_FALSE(image.empty());

    platform::VirtualClock clock;
    platform::ClockOverride use(&clock);
    platform::SimBackend bus;
    auto blank = std::make_shared<platform::SimFx2Blank>(kVendor, kProduct, [] {
        return std::shared_ptr<platform::SimDevice>(
            platform::SimFx2Running::create(platform::SimFx2Running::descriptors(kVendor, kProduct), {}));
    });
    const std::string path = bus.attach(blank);

    MockTestbed testbed;
    SimBridge bridge(testbed, bus, path);
    ASSERT_TRUE(bridge.shown());

    const std::string fxload = "timeout " + std::to_string(kFxloadTimeoutS) + " " + kFxload + " -t fx2 -D " +
                               bridge.nodePath() + " -I " + hex + " 2>&1";
    std::string output;
    FILE* pipe = popen(fxload.c_str(), "r");
    ASSERT_TRUE(pipe);
    char line[256];
    while (std::fgets(line, sizeof line, pipe))
        output += line;
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << fxload << "\n" << output;
    EXPECT_GT(bridge.controlRequests().size(), 2u);

    const Bytes ram = blank->ram();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), ram.begin())) << "the RAM holds the image";
    EXPECT_EQ(blank->cpucsWrites().front(), 1);
    EXPECT_EQ(blank->cpucsWrites().back(), 0);
    EXPECT_EQ(blank->releases(), 1);
    EXPECT_TRUE(blank->violations().empty());

    // Released, it leaves the bus and comes back running, and the node follows it.
    EXPECT_TRUE(bus.listDevices().empty());
    clock.advance(std::chrono::milliseconds(500));
    const std::vector<platform::UsbDeviceInfo> devices = bus.listDevices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].descriptor.idProduct, kProduct);
    EXPECT_NE(devices[0].descriptor.bcdDevice, 0x0001);
    EXPECT_TRUE(std::dynamic_pointer_cast<platform::SimFx2Running>(bus.device(devices[0].path)));
    ASSERT_TRUE(bridge.waitForGeneration(2, 5000));
    EXPECT_NE(bridge.nodePath().find("/dev/bus/usb/001/"), std::string::npos);
}
