#include "platform/libusb/AllowList.h"
#include "platform/libusb/LibusbBackend.h"
#include "platform/libusb/LibusbStatus.h"

#include <gtest/gtest.h>

#include <libusb.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>

using platform::LibusbBackend;
using platform::UsbStatus;

namespace {

bool hasUsbBus()
{
    struct stat st;
    return stat("/sys/bus/usb/devices", &st) == 0 || stat("/dev/bus/usb", &st) == 0;
}

} // namespace

TEST(LibusbBackendPath, IsUsbBusAddressInDecimal)
{
    struct Row {
        const char* path;
        bool valid;
        int bus;
        int address;
    };
    const Row rows[] = {
        {"usb:1:2", true, 1, 2},         {"usb:3:127", true, 3, 127}, {"usb:001:002", false, 0, 0},
        {"usb:1:2x", false, 0, 0},       {"usb:1", false, 0, 0},      {"usb:0:1", false, 0, 0},
        {"usb:-1:2", false, 0, 0},       {"sim:1", false, 0, 0},      {"USB:1:2", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const Row& r : rows) {
        int bus = 0, address = 0;
        EXPECT_EQ(LibusbBackend::parsePath(r.path, &bus, &address), r.valid) << r.path;
        if (r.valid) {
            EXPECT_EQ(bus, r.bus) << r.path;
            EXPECT_EQ(address, r.address) << r.path;
            EXPECT_EQ(LibusbBackend::pathOf(bus, address), r.path);
        }
    }
}

TEST(LibusbStatus, TranslatesErrorsAndTransferStatuses)
{
    const std::pair<int, UsbStatus> errors[] = {
        {LIBUSB_SUCCESS, UsbStatus::Success},           {5, UsbStatus::Success},
        {LIBUSB_ERROR_PIPE, UsbStatus::Stall},          {LIBUSB_ERROR_TIMEOUT, UsbStatus::Timeout},
        {LIBUSB_ERROR_NO_DEVICE, UsbStatus::Gone},      {LIBUSB_ERROR_NO_MEM, UsbStatus::NoMemory},
        {LIBUSB_ERROR_INVALID_PARAM, UsbStatus::BadArgument}, {LIBUSB_ERROR_NOT_FOUND, UsbStatus::BadArgument},
        {LIBUSB_ERROR_ACCESS, UsbStatus::AccessDenied}, {LIBUSB_ERROR_BUSY, UsbStatus::AccessDenied},
        {LIBUSB_ERROR_IO, UsbStatus::NotResponding},    {LIBUSB_ERROR_OVERFLOW, UsbStatus::NotResponding},
        {LIBUSB_ERROR_OTHER, UsbStatus::NotResponding}, {-1000, UsbStatus::NotResponding},
    };
    for (const auto& e : errors)
        EXPECT_EQ(platform::usbStatusFromLibusbError(e.first), e.second) << e.first;
    const std::pair<int, UsbStatus> statuses[] = {
        {LIBUSB_TRANSFER_COMPLETED, UsbStatus::Success},   {LIBUSB_TRANSFER_STALL, UsbStatus::Stall},
        {LIBUSB_TRANSFER_TIMED_OUT, UsbStatus::Timeout},   {LIBUSB_TRANSFER_NO_DEVICE, UsbStatus::Gone},
        {LIBUSB_TRANSFER_CANCELLED, UsbStatus::Cancelled}, {LIBUSB_TRANSFER_ERROR, UsbStatus::NotResponding},
        {LIBUSB_TRANSFER_OVERFLOW, UsbStatus::NotResponding}, {99, UsbStatus::NotResponding},
    };
    for (const auto& s : statuses)
        EXPECT_EQ(platform::usbStatusFromTransferStatus(s.first), s.second) << s.first;
}

// This machine has no USB bus: the backend starts, registers hot-plug, finds nothing, refuses
// every path and stops cleanly. On a machine with a bus it lists allowed devices only.
TEST(LibusbBackend, StartsListsOnlyAllowedDevicesAndStops)
{
    for (int round = 0; round < 2; ++round) {
        std::unique_ptr<LibusbBackend> backend = LibusbBackend::create();
        ASSERT_TRUE(backend);
        EXPECT_EQ(backend->hotplugNative(), libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) != 0)
            << "libusb's hot-plug events were not registered";
        const platform::UsbListenerId listener =
            backend->addHotplugListener([](const platform::UsbDeviceInfo&, bool) {});
        EXPECT_NE(listener, 0u);
        const std::vector<platform::UsbDeviceInfo> devices = backend->listDevices();
        if (!hasUsbBus()) {
            EXPECT_TRUE(devices.empty());
        }
        for (const platform::UsbDeviceInfo& d : devices)
            EXPECT_TRUE(platform::AllowList::contains(d.descriptor.idVendor, d.descriptor.idProduct)) << d.path;
        platform::UsbHandle handle = platform::kNoUsbHandle;
        EXPECT_EQ(backend->open("usb:250:99", &handle), UsbStatus::NotFound);
        EXPECT_EQ(backend->open("not a path", &handle), UsbStatus::NotFound);
        EXPECT_EQ(handle, platform::kNoUsbHandle);
        EXPECT_EQ(backend->controlTransfer(42, platform::UsbSetup{}, nullptr, 100, nullptr), UsbStatus::BadArgument);
        backend->close(42);
        backend->removeHotplugListener(listener);
    }
}

TEST(LibusbBackend, IsTheProcessBackendWithoutSimulation)
{
    unsetenv("TWG_USB_SIM");
    EXPECT_NE(dynamic_cast<LibusbBackend*>(&platform::usbBackend()), nullptr);
}

TEST(UsbListCommand, PrintsNothingAndSucceedsWithoutConverters)
{
    if (hasUsbBus())
        GTEST_SKIP() << "this machine has a USB bus";
    FILE* pipe = popen("env -u TWG_USB_SIM " TWG_USB_LIST " 2>/dev/null", "r");
    ASSERT_TRUE(pipe);
    std::string out;
    std::array<char, 256> buf;
    while (fgets(buf.data(), static_cast<int>(buf.size()), pipe))
        out += buf.data();
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(out, "");
}
