// Debian's fxload loads a real FX2 image into the simulated controller without firmware: the
// umockdev fixture gives fxload its usbfs node, and the node's control transfers go to the
// model on the simulated bus. Runs under umockdev's preload (CTest starts it through
// under-umockdev.sh); without it, or without fxload and the image, the test skips.

#include "platform/Clock.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/models/fx2/SimFx2Blank.h"
#include "platform/sim/models/fx2/SimFx2Running.h"
#include "tests/platform/libusb/fixture/MockTestbed.h"
#include "tests/platform/libusb/fixture/UsbfsDevice.h"

#include <gtest/gtest.h>

#include <umockdev.h>

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/wait.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
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

// The usbfs node's synchronous control transfers (fxload's only requests) go to the simulated
// bus; the fixture answers everything else as before.
class ControlBridge {
public:
    ControlBridge(UsbfsDevice& device, platform::SimBackend& bus, platform::UsbHandle handle)
        : device_(device), bus_(bus), handle_(handle)
    {
        handler_ = g_signal_connect(device.handler(), "handle-ioctl", G_CALLBACK(&ControlBridge::onIoctl), this);
        // Ours must run first: hold the fixture's back and let it answer what we pass on.
        const guint signal = g_signal_lookup("handle-ioctl", G_OBJECT_TYPE(device.handler()));
        g_signal_handlers_block_matched(device.handler(), GSignalMatchType(G_SIGNAL_MATCH_ID | G_SIGNAL_MATCH_DATA),
                                        signal, 0, nullptr, nullptr, &device);
    }
    ~ControlBridge() { g_signal_handler_disconnect(device_.handler(), handler_); }

    int transfers() const { return transfers_; }

private:
    static gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self)
    {
        return static_cast<ControlBridge*>(self)->handle(client);
    }

    gboolean handle(UMockdevIoctlClient* client)
    {
        if (umockdev_ioctl_client_get_request(client) != USBDEVFS_CONTROL) {
            umockdev_ioctl_client_complete(client, -1, ENOTTY);
            return TRUE;
        }
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        UMockdevIoctlData* ctrl = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ctrltransfer), nullptr);
        if (!ctrl) {
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return TRUE;
        }
        usbdevfs_ctrltransfer t;
        std::memcpy(&t, ctrl->data, sizeof t);
        UMockdevIoctlData* buffer = nullptr;
        if (t.wLength > 0) {
            buffer = umockdev_ioctl_data_resolve(ctrl, offsetof(usbdevfs_ctrltransfer, data), t.wLength, nullptr);
            if (!buffer) {
                umockdev_ioctl_client_complete(client, -1, EFAULT);
                return TRUE;
            }
        }
        platform::UsbSetup setup;
        setup.bmRequestType = t.bRequestType;
        setup.bRequest = t.bRequest;
        setup.wValue = t.wValue;
        setup.wIndex = t.wIndex;
        setup.wLength = t.wLength;
        Bytes data(t.wLength);
        if (buffer)
            std::memcpy(data.data(), buffer->data, t.wLength);
        std::uint32_t transferred = 0;
        const platform::UsbStatus s = bus_.controlTransfer(handle_, setup, data.data(), t.timeout, &transferred);
        ++transfers_;
        if (s != platform::UsbStatus::Success) {
            umockdev_ioctl_client_complete(client, -1, s == platform::UsbStatus::Timeout ? ETIMEDOUT : EPIPE);
            return TRUE;
        }
        if (buffer && setup.isIn())
            std::memcpy(buffer->data, data.data(), transferred);
        umockdev_ioctl_client_complete(client, static_cast<long>(transferred), 0);
        return TRUE;
    }

    UsbfsDevice& device_;
    platform::SimBackend& bus_;
    platform::UsbHandle handle_;
    gulong handler_ = 0;
    std::atomic<int> transfers_{0};
};

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
    platform::UsbHandle handle = platform::kNoUsbHandle;
    ASSERT_EQ(bus.open(path, &handle), platform::UsbStatus::Success);

    MockTestbed testbed;
    DeviceSpec spec;
    spec.vendorId = kVendor;
    spec.productId = kProduct;
    spec.release = 0x0001;
    UsbfsDevice node(spec);
    ControlBridge bridge(node, bus, handle);
    ASSERT_TRUE(testbed.plug(node));

    const std::string fxload = "timeout " + std::to_string(kFxloadTimeoutS) + " " + kFxload + " -t fx2 -D " +
                               spec.nodePath() + " -I " + hex + " 2>&1";
    std::string output;
    FILE* pipe = popen(fxload.c_str(), "r");
    ASSERT_TRUE(pipe);
    char line[256];
    while (std::fgets(line, sizeof line, pipe))
        output += line;
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << fxload << "\n" << output;
    EXPECT_GT(bridge.transfers(), 2);

    const Bytes ram = blank->ram();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), ram.begin())) << "the RAM holds the image";
    EXPECT_EQ(blank->cpucsWrites().front(), 1);
    EXPECT_EQ(blank->cpucsWrites().back(), 0);
    EXPECT_EQ(blank->releases(), 1);
    EXPECT_TRUE(blank->violations().empty());

    // Released, it leaves the bus and comes back running.
    EXPECT_TRUE(bus.listDevices().empty());
    clock.advance(std::chrono::milliseconds(500));
    const std::vector<platform::UsbDeviceInfo> devices = bus.listDevices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].descriptor.idProduct, kProduct);
    EXPECT_NE(devices[0].descriptor.bcdDevice, 0x0001);
    EXPECT_TRUE(std::dynamic_pointer_cast<platform::SimFx2Running>(bus.device(devices[0].path)));
    bus.close(handle);
    testbed.unplug(node);
}
