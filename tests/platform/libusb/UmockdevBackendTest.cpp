// The libusb backend end to end: real libusb over usbfs, which umockdev emulates in user space
// with the device side answered by UsbfsDevice. Runs under umockdev's preload (CTest starts it
// through under-umockdev.sh); without it every test skips.

#include "platform/driver/DriverCodes.h"
#include "platform/emulator/DriverEmulator.h"
#include "platform/libusb/LibusbBackend.h"
#include "tests/platform/libusb/fixture/MockTestbed.h"
#include "tests/platform/libusb/fixture/UsbfsDevice.h"
#include "tests/support/SetupPacket.h"

#include <gtest/gtest.h>

#include <linux/usbdevice_fs.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <utility>
#include <vector>

using namespace usbfs_fixture;
using platform::LibusbBackend;
using platform::UsbHandle;
using platform::UsbSetup;
using platform::UsbStatus;
using platform::UsbTransferType;
using usbtest::setup;

namespace {

constexpr int kWaitMs = 5000;
constexpr std::uint8_t kBulkOut = 0x02;
constexpr std::uint8_t kBulkIn = 0x81;

DeviceSpec converterSpec()
{
    DeviceSpec s;
    s.bus = 1;
    s.address = 2;
    s.vendorId = 0x7C5D;
    s.productId = 0xBD91;
    s.release = 0x0100;
    s.serial = "FIX0001";
    return s;
}

DeviceSpec foreignSpec()
{
    DeviceSpec s;
    s.bus = 1;
    s.address = 3;
    s.vendorId = 0x04B4;   // the FX2 chip vendor, but not a converter's product id
    s.productId = 0x8613;
    s.serial = "OTHER";
    return s;
}

// One asynchronous completion, as seen by the backend's callback.
struct Completion {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    int calls = 0;
    UsbStatus status = UsbStatus::Success;
    std::uint32_t transferred = 0;
    std::thread::id thread;

    platform::UsbCompletion callback()
    {
        return [this](UsbStatus s, std::uint32_t n) {
            std::lock_guard<std::mutex> lock(mutex);
            done = true;
            ++calls;
            status = s;
            transferred = n;
            thread = std::this_thread::get_id();
            cv.notify_all();
        };
    }
    bool wait(int ms = kWaitMs)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return done; });
    }
    bool isDone()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return done;
    }
};

struct HotplugLog {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<std::pair<std::string, bool>> events;

    platform::UsbHotplugCallback callback()
    {
        return [this](const platform::UsbDeviceInfo& info, bool arrived) {
            std::lock_guard<std::mutex> lock(mutex);
            events.emplace_back(info.path, arrived);
            cv.notify_all();
        };
    }
    bool waitForCount(std::size_t n, int ms = kWaitMs)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return events.size() >= n; });
    }
    std::vector<std::pair<std::string, bool>> snapshot()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return events;
    }
};

std::string runCommand(const std::string& command, int* exitCode)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return {};
    std::string out;
    std::array<char, 512> buf;
    while (fgets(buf.data(), static_cast<int>(buf.size()), pipe))
        out += buf.data();
    const int status = pclose(pipe);
    *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

} // namespace

class LibusbOverUmockdev : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(MockTestbed::preloaded()) << "needs umockdev's preload: run it through ctest";
        testbed_ = std::make_unique<MockTestbed>();
        converter_ = std::make_unique<UsbfsDevice>(converterSpec());
        foreign_ = std::make_unique<UsbfsDevice>(foreignSpec());
        ASSERT_TRUE(testbed_->plug(*converter_));
        ASSERT_TRUE(testbed_->plug(*foreign_));
        backend_ = LibusbBackend::create();
        ASSERT_TRUE(backend_);
    }

    void TearDown() override
    {
        backend_.reset();
        testbed_.reset();
        converter_.reset();
        foreign_.reset();
    }

    UsbHandle openConverter()
    {
        UsbHandle h = platform::kNoUsbHandle;
        EXPECT_EQ(backend_->open("usb:1:2", &h), UsbStatus::Success);
        return h;
    }

    std::unique_ptr<MockTestbed> testbed_;
    std::unique_ptr<UsbfsDevice> converter_;
    std::unique_ptr<UsbfsDevice> foreign_;
    std::unique_ptr<LibusbBackend> backend_;
};

TEST_F(LibusbOverUmockdev, ListsAndOpensTheConverterButNeverOpensAForeignDevice)
{
    const std::vector<platform::UsbDeviceInfo> devices = backend_->listDevices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].path, "usb:1:2");
    EXPECT_EQ(devices[0].descriptor.idVendor, 0x7C5D);
    EXPECT_EQ(devices[0].descriptor.idProduct, 0xBD91);
    EXPECT_EQ(devices[0].descriptor.bcdDevice, 0x0100);
    EXPECT_EQ(devices[0].descriptor.iSerialNumber, 3);

    platform::UsbDeviceDescriptor described;
    EXPECT_EQ(backend_->describe("usb:1:3", &described), UsbStatus::NotFound) << "as absent as from the list";
    ASSERT_EQ(backend_->describe("usb:1:2", &described), UsbStatus::Success);
    EXPECT_EQ(described.bcdDevice, 0x0100);
    EXPECT_EQ(converter_->opens(), 0) << "described from the cached descriptor";

    UsbHandle h = platform::kNoUsbHandle;
    EXPECT_EQ(backend_->open("usb:1:3", &h), UsbStatus::AccessDenied);
    EXPECT_EQ(h, platform::kNoUsbHandle);
    EXPECT_EQ(backend_->open("usb:1:9", &h), UsbStatus::NotFound);

    h = openConverter();
    ASSERT_NE(h, platform::kNoUsbHandle);
    EXPECT_TRUE(converter_->waitFor([&] { return converter_->opens() == 1; }, kWaitMs));
    UsbHandle second = platform::kNoUsbHandle;
    EXPECT_EQ(backend_->open("usb:1:2", &second), UsbStatus::AccessDenied) << "opens are exclusive";
    platform::UsbDeviceDescriptor d;
    ASSERT_EQ(backend_->deviceDescriptor(h, &d), UsbStatus::Success);
    EXPECT_EQ(d.idProduct, 0xBD91);
    ASSERT_EQ(backend_->claimInterface(h, 0), UsbStatus::Success);
    backend_->close(h);
    EXPECT_EQ(backend_->deviceDescriptor(h, &d), UsbStatus::BadArgument) << "a closed handle is stale";
    h = openConverter();
    backend_->close(h);

    // The foreign device's node was never touched: not opened, so never claimed or detached.
    EXPECT_EQ(foreign_->opens(), 0);
    EXPECT_EQ(foreign_->ioctlCount(), 0);
}

TEST_F(LibusbOverUmockdev, ControlTransfersCarryDataAndReportStallAndTimeout)
{
    converter_->setControlResponder([](const usbfs_fixture::Setup& s, const Bytes&) -> std::optional<Reply> {
        if (s.requestType == 0xC0 && s.request == 0x10)
            return Reply{Outcome::Complete, {1, 2, 3, 4, 5}};
        if (s.requestType == 0x40 && s.request == 0x11)
            return Reply{Outcome::Complete, {}};
        if (s.request == 0x12)
            return Reply{Outcome::Stall, {}};
        if (s.request == 0x13)
            return Reply{Outcome::NoAnswer, {}};
        return std::nullopt;
    });
    const UsbHandle h = openConverter();

    std::array<std::uint8_t, 8> in;
    in.fill(0xEE);
    std::uint32_t got = 99;
    ASSERT_EQ(backend_->controlTransfer(h, setup(0xC0, 0x10, 8), in.data(), 1000, &got), UsbStatus::Success);
    EXPECT_EQ(got, 5u) << "a short IN answer is a success with its length";
    EXPECT_EQ((std::vector<std::uint8_t>(in.begin(), in.end())), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 0xEE, 0xEE, 0xEE}));

    std::uint8_t out[3] = {7, 8, 9};
    ASSERT_EQ(backend_->controlTransfer(h, setup(0x40, 0x11, 3, 0x1234, 0x0005), out, 1000, &got), UsbStatus::Success);
    EXPECT_EQ(got, 3u);
    const ControlRequest last = converter_->controlRequests().back();
    EXPECT_EQ(last.setup.value, 0x1234);
    EXPECT_EQ(last.setup.index, 0x0005);
    EXPECT_EQ(last.dataOut, (Bytes{7, 8, 9}));

    EXPECT_EQ(backend_->controlTransfer(h, setup(0xC0, 0x12, 1), in.data(), 1000, &got), UsbStatus::Stall);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(backend_->controlTransfer(h, setup(0xC0, 0x13, 1), in.data(), 150, &got), UsbStatus::Timeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(140));
    EXPECT_TRUE(converter_->waitFor([&] { return converter_->pendingTransfers() == 0; }, kWaitMs))
        << "a timed-out request is discarded";
    EXPECT_EQ(backend_->controlTransfer(h, setup(0xC0, 0x10, 8), in.data(), 1000, &got), UsbStatus::Success)
        << "the device still answers after a stall and a time-out";

    std::vector<std::uint8_t> big(4097);
    EXPECT_EQ(backend_->controlTransfer(h, setup(0xC0, 0x10, 4097), big.data(), 1000, &got), UsbStatus::BadArgument)
        << "usbfs caps a data stage at 4096 bytes";

    std::vector<std::uint8_t> config;
    ASSERT_EQ(backend_->configDescriptor(h, 0, &config), UsbStatus::Success);
    EXPECT_EQ(config, converterSpec().configurationDescriptor());
    EXPECT_EQ(backend_->configDescriptor(h, 1, &config), UsbStatus::BadArgument);
    EXPECT_EQ(backend_->setConfiguration(h, 1), UsbStatus::Success) << "already active";
    backend_->close(h);
}

TEST_F(LibusbOverUmockdev, BulkTransfersNeedACountedClaimAndAddNoZeroLengthPacket)
{
    const UsbHandle h = openConverter();
    std::vector<std::uint8_t> data(512, 0x5A);
    std::uint32_t got = 0;
    EXPECT_EQ(backend_->transfer(h, kBulkOut, UsbTransferType::Bulk, data.data(), 512, 1000, &got),
              UsbStatus::BadArgument)
        << "unclaimed interface";
    EXPECT_EQ(backend_->claimInterface(h, 1), UsbStatus::BadArgument) << "no such interface";

    ASSERT_EQ(backend_->claimInterface(h, 0), UsbStatus::Success);
    ASSERT_EQ(backend_->claimInterface(h, 0), UsbStatus::Success);
    EXPECT_EQ(backend_->releaseInterface(h, 0), UsbStatus::Success);
    EXPECT_EQ(converter_->claimedInterfaces(), (std::set<unsigned>{0})) << "one claim is still held";
    EXPECT_EQ(backend_->transfer(h, 0x04, UsbTransferType::Bulk, data.data(), 4, 1000, &got), UsbStatus::BadArgument)
        << "no such endpoint";

    ASSERT_EQ(backend_->transfer(h, kBulkOut, UsbTransferType::Bulk, data.data(), 512, 1000, &got), UsbStatus::Success);
    EXPECT_EQ(got, 512u);
    ASSERT_EQ(backend_->transfer(h, kBulkOut, UsbTransferType::Bulk, nullptr, 0, 1000, &got), UsbStatus::Success)
        << "an explicit zero-length packet";
    const std::vector<Bytes> seen = converter_->bulkOut(kBulkOut);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], data);
    EXPECT_TRUE(seen[1].empty());
    for (unsigned flags : converter_->urbFlags())
        EXPECT_EQ(flags & USBDEVFS_URB_ZERO_PACKET, 0u) << "the backend never adds a zero-length packet";

    converter_->queueBulkIn(kBulkIn, {1, 2, 3});
    std::vector<std::uint8_t> in(512);
    ASSERT_EQ(backend_->transfer(h, kBulkIn, UsbTransferType::Bulk, in.data(), 512, 1000, &got), UsbStatus::Success);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(in[2], 3);
    EXPECT_EQ(backend_->transfer(h, kBulkIn, UsbTransferType::Bulk, in.data(), 512, 100, &got), UsbStatus::Timeout);
    EXPECT_EQ(got, 0u);

    converter_->setBulkOutOutcome(kBulkOut, Outcome::Stall);
    EXPECT_EQ(backend_->transfer(h, kBulkOut, UsbTransferType::Bulk, data.data(), 64, 1000, &got), UsbStatus::Stall);

    EXPECT_EQ(backend_->releaseInterface(h, 0), UsbStatus::Success);
    EXPECT_TRUE(converter_->claimedInterfaces().empty());
    EXPECT_EQ(backend_->releaseInterface(h, 0), UsbStatus::BadArgument);
    backend_->close(h);
}

TEST_F(LibusbOverUmockdev, AsynchronousTransfersCompleteOnTheEventThreadAndCanBeCancelled)
{
    const UsbHandle h = openConverter();
    ASSERT_EQ(backend_->claimInterface(h, 0), UsbStatus::Success);
    std::vector<std::uint8_t> buf(64);

    Completion read;
    platform::UsbTransferId id = 0;
    ASSERT_EQ(backend_->submit(h, kBulkIn, UsbTransferType::Bulk, buf.data(), 64, 0, read.callback(), &id),
              UsbStatus::Success);
    EXPECT_NE(id, 0u);
    EXPECT_FALSE(read.wait(100)) << "no data yet";
    converter_->queueBulkIn(kBulkIn, {9, 8, 7, 6});
    ASSERT_TRUE(read.wait());
    EXPECT_EQ(read.status, UsbStatus::Success);
    EXPECT_EQ(read.transferred, 4u);
    EXPECT_EQ(buf[0], 9);
    EXPECT_NE(read.thread, std::this_thread::get_id());
    EXPECT_EQ(backend_->cancel(h, id), UsbStatus::BadArgument) << "already finished";

    Completion cancelled;
    ASSERT_EQ(backend_->submit(h, kBulkIn, UsbTransferType::Bulk, buf.data(), 64, 0, cancelled.callback(), &id),
              UsbStatus::Success);
    EXPECT_EQ(backend_->cancel(h, id), UsbStatus::Success);
    ASSERT_TRUE(cancelled.wait());
    EXPECT_EQ(cancelled.status, UsbStatus::Cancelled);

    Completion atClose;
    ASSERT_EQ(backend_->submit(h, kBulkIn, UsbTransferType::Bulk, buf.data(), 64, 0, atClose.callback(), &id),
              UsbStatus::Success);
    backend_->close(h);
    EXPECT_TRUE(atClose.isDone()) << "close waits for the completions of its transfers";
    EXPECT_EQ(atClose.status, UsbStatus::Cancelled);
    EXPECT_EQ(atClose.calls, 1);
    EXPECT_TRUE(converter_->waitFor([&] { return converter_->pendingTransfers() == 0; }, kWaitMs));
}

// Both ways of seeing the bus change: libusb's hot-plug events, and the polling fallback for
// systems without them.
class LibusbHotplugOverUmockdev : public LibusbOverUmockdev,
                                  public ::testing::WithParamInterface<LibusbBackend::Hotplug> {
protected:
    void SetUp() override
    {
        LibusbOverUmockdev::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        backend_ = LibusbBackend::create(GetParam());
        ASSERT_TRUE(backend_);
        ASSERT_EQ(backend_->hotplugNative(), GetParam() == LibusbBackend::Hotplug::Native);
    }
};

TEST_P(LibusbHotplugOverUmockdev, ReportsAllowedDevicesOnly)
{
    HotplugLog log;
    const platform::UsbListenerId listener = backend_->addHotplugListener(log.callback());
    ASSERT_NE(listener, 0u);

    DeviceSpec otherForeign = foreignSpec();
    otherForeign.address = 5;
    otherForeign.vendorId = 0x1D6B;
    otherForeign.productId = 0xBD15;   // a converter's product id under another vendor
    UsbfsDevice foreign(otherForeign);
    DeviceSpec fx2 = converterSpec();
    fx2.address = 4;
    fx2.vendorId = 0x04B4;
    fx2.productId = 0xBD15;
    UsbfsDevice arriving(fx2);
    ASSERT_TRUE(testbed_->plug(foreign));
    ASSERT_TRUE(testbed_->plug(arriving));
    ASSERT_TRUE(log.waitForCount(1));
    EXPECT_EQ(log.snapshot(), (std::vector<std::pair<std::string, bool>>{{"usb:1:4", true}}));
    const std::vector<platform::UsbDeviceInfo> devices = backend_->listDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].path, "usb:1:2");
    EXPECT_EQ(devices[1].path, "usb:1:4");

    testbed_->unplug(foreign);
    testbed_->unplug(arriving);
    ASSERT_TRUE(log.waitForCount(2));
    EXPECT_EQ(log.snapshot().back(), (std::pair<std::string, bool>{"usb:1:4", false}));

    backend_->removeHotplugListener(listener);
    DeviceSpec late = converterSpec();
    late.address = 6;
    UsbfsDevice lateDevice(late);
    ASSERT_TRUE(testbed_->plug(lateDevice));
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * LibusbBackend::kPollIntervalMs));
    EXPECT_EQ(log.snapshot().size(), 2u) << "a removed listener hears nothing";
    backend_.reset();   // before the devices on this stack frame go
    testbed_.reset();
}

INSTANTIATE_TEST_SUITE_P(Modes, LibusbHotplugOverUmockdev,
                         ::testing::Values(LibusbBackend::Hotplug::Native, LibusbBackend::Hotplug::Polling),
                         [](const ::testing::TestParamInfo<LibusbBackend::Hotplug>& info) {
                             return info.param == LibusbBackend::Hotplug::Native ? "Native" : "Polling";
                         });

TEST_F(LibusbOverUmockdev, UnplugEndsTransfersInFlightAsGone)
{
    HotplugLog log;
    backend_->addHotplugListener(log.callback());
    const UsbHandle h = openConverter();
    ASSERT_EQ(backend_->claimInterface(h, 0), UsbStatus::Success);
    std::vector<std::uint8_t> asyncBuf(64), syncBuf(64);
    Completion pending;
    platform::UsbTransferId id = 0;
    ASSERT_EQ(backend_->submit(h, kBulkIn, UsbTransferType::Bulk, asyncBuf.data(), 64, 0, pending.callback(), &id),
              UsbStatus::Success);
    UsbStatus syncStatus = UsbStatus::Success;
    std::thread reader([&] {
        std::uint32_t got = 0;
        syncStatus = backend_->transfer(h, kBulkIn, UsbTransferType::Bulk, syncBuf.data(), 64, 0, &got);
    });
    ASSERT_TRUE(converter_->waitFor([&] { return converter_->pendingTransfers() == 2; }, kWaitMs));

    testbed_->unplug(*converter_);
    ASSERT_TRUE(pending.wait());
    EXPECT_EQ(pending.status, UsbStatus::Gone);
    reader.join();
    EXPECT_EQ(syncStatus, UsbStatus::Gone) << "a blocking transfer without a time-out ends too";
    ASSERT_TRUE(log.waitForCount(1));
    EXPECT_EQ(log.snapshot()[0], (std::pair<std::string, bool>{"usb:1:2", false}));

    std::uint8_t b = 0;
    std::uint32_t got = 0;
    EXPECT_EQ(backend_->controlTransfer(h, setup(0xC0, 0x10, 1), &b, 1000, &got), UsbStatus::Gone);
    EXPECT_EQ(backend_->submit(h, kBulkIn, UsbTransferType::Bulk, &b, 1, 0, [](UsbStatus, std::uint32_t) {}, &id),
              UsbStatus::Gone);
    backend_->close(h);
    EXPECT_TRUE(backend_->listDevices().empty());
}

TEST_F(LibusbOverUmockdev, ResetAnsweredByReEnumerationCountsAsDone)
{
    struct Row {
        const char* name;
        int deviceErrno;
        UsbStatus result;
        UsbStatus afterwards;   // of a control request on the same handle
    };
    const Row rows[] = {
        {"plain reset", 0, UsbStatus::Success, UsbStatus::Success},
        {"device re-enumerated", ENODEV, UsbStatus::Success, UsbStatus::Gone},
        {"bus error", EIO, UsbStatus::NotResponding, UsbStatus::Success},
    };
    for (const Row& r : rows) {
        converter_->setResetErrno(r.deviceErrno);
        const UsbHandle h = openConverter();
        const int before = converter_->resets();
        EXPECT_EQ(backend_->reset(h), r.result) << r.name;
        EXPECT_EQ(converter_->resets(), before + 1) << r.name;
        std::uint8_t status[2];
        std::uint32_t got = 0;
        EXPECT_EQ(backend_->controlTransfer(h, setup(0x80, 0x00, 2), status, 1000, &got), r.afterwards) << r.name;
        backend_->close(h);
    }
}

// The USB library's road: the driver port, emulated over this backend.
TEST_F(LibusbOverUmockdev, TheDriverPortReachesTheConverterThroughLibusb)
{
    namespace drv = platform::driver;
    converter_->setControlResponder([](const usbfs_fixture::Setup& s, const Bytes&) -> std::optional<Reply> {
        if (s.requestType == 0xC0 && s.request == 0x10)
            return Reply{Outcome::Complete, {1, 2, 3}};
        return std::nullopt;
    });
    platform::DriverEmulator port(*backend_);
    EXPECT_EQ(port.enumerateInterfaces(platform::kDriverInterfaceGuid), (std::vector<std::string>{"usb:1:2"}));
    EXPECT_EQ(port.open("usb:1:3"), platform::kInvalidConnection) << "not a converter";
    const platform::ConnectionId c = port.open("usb:1:2");
    ASSERT_NE(c, platform::kInvalidConnection);

    std::uint8_t word[4] = {};
    std::uint32_t returned = 0;
    ASSERT_TRUE(port.ioctl(c, drv::kGetVendorId, nullptr, 0, word, 4, &returned));
    EXPECT_EQ(returned, 4u);
    EXPECT_EQ(word[0] | word[1] << 8, 0x7C5D);
    ASSERT_TRUE(port.ioctl(c, drv::kGetProductId, nullptr, 0, word, 4, &returned));
    EXPECT_EQ(word[0] | word[1] << 8, 0xBD91);

    // A vendor IN request for 8 bytes answered with 3: the caller's tail stays as it was.
    std::vector<std::uint8_t> buf(drv::kControlHeaderLength + 8, 0xEE);
    std::fill(buf.begin(), buf.begin() + drv::kControlHeaderLength, 0);
    buf[drv::kCtlDirection] = 1;
    buf[drv::kCtlType] = 2;
    buf[drv::kCtlRequest] = 0x10;
    buf[drv::kCtlLength] = 8;
    buf[drv::kCtlTimeoutA] = 0xE8;   // 1000 ms
    buf[drv::kCtlTimeoutA + 1] = 0x03;
    ASSERT_TRUE(port.ioctl(c, drv::kControlTransfer, buf.data(), static_cast<std::uint32_t>(buf.size()), buf.data(),
                           static_cast<std::uint32_t>(buf.size()), &returned));
    EXPECT_EQ(returned, buf.size());
    EXPECT_EQ((std::vector<std::uint8_t>(buf.begin() + drv::kControlHeaderLength, buf.end())),
              (std::vector<std::uint8_t>{1, 2, 3, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    port.close(c);
}

TEST_F(LibusbOverUmockdev, LsusbSeesTheSimulatedDescriptors)
{
    int exitCode = -1;
    const std::string out = runCommand("timeout 30 lsusb -v -d 7c5d:bd91 2>&1", &exitCode);
    ASSERT_NE(exitCode, 127) << "lsusb is not installed (usbutils, tools/install-deps.sh)";
    EXPECT_EQ(exitCode, 0) << out;
    EXPECT_NE(out.find("Bus 001 Device 002: ID 7c5d:bd91"), std::string::npos) << out;
    EXPECT_NE(out.find("bEndpointAddress     0x81  EP 1 IN"), std::string::npos) << out;
    EXPECT_NE(out.find("FIX0001"), std::string::npos) << out;
}

TEST_F(LibusbOverUmockdev, UsbListCommandShowsTheConverterOnly)
{
    int exitCode = -1;
    const std::string out = runCommand("env -u TWG_USB_SIM timeout 30 " TWG_USB_LIST " 2>/dev/null", &exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(out, "usb:1:2 7c5d:bd91 release 1.00 serial FIX0001\n");
}
