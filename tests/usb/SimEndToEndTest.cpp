#include "platform/Messages.h"
#include "platform/emulator/DriverEmulator.h"
#include "platform/sim/SimBackend.h"
#include "usb/DeviceNotifier.h"
#include "usb/IUSBDevice.h"
#include "usb/IUSBInterface.h"
#include "usb/IUSBInterfaceIterator.h"
#include "usb/UsbConstants.h"

#include "UsbTestSupport.h"

#include <gtest/gtest.h>

#include <QEvent>
#include <QObject>

#include <thread>

using namespace TWG::USB;

namespace {

struct Seen {
    std::vector<IUSBDevice*> arrived;
    std::vector<IUSBDevice*> removed;
    std::vector<std::thread::id> threads;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> completions;
};

// The GUI window: device changes go to the notifier, completions to the device.
class Window : public QObject {
public:
    Window() : id(platform::registerQtTarget(this)) {}
    platform::WindowId id;
    DeviceNotifierContext* notifier = nullptr;
    IUSBDevice* asyncDevice = nullptr;

protected:
    bool event(QEvent* e) override
    {
        platform::MSG* m = platform::messageOf(e);
        if (!m)
            return QObject::event(e);
        auto* header = reinterpret_cast<const platform::DEV_BROADCAST_HDR*>(m->lParam);
        if (m->message == platform::WM_DEVICECHANGE && m->wParam == platform::DBT_DEVICEARRIVAL)
            TWGUsb_HandleDeviceArrivalMessage(notifier, header);
        else if (m->message == platform::WM_DEVICECHANGE)
            TWGUsb_HandleDeviceRemovalMessage(notifier, header);
        else if (m->message == platform::WM_APP && asyncDevice)
            asyncDevice->handleAsyncMessage(m->wParam, m->lParam);
        return true;
    }
};

// Takes whatever its bulk OUT endpoint is sent.
class SinkDevice : public platform::SimDevice {
public:
    using SimDevice::SimDevice;
    std::vector<std::uint8_t> received;
    platform::UsbStatus bulkOut(std::uint8_t, const std::vector<std::uint8_t>& data, std::uint32_t* taken) override
    {
        received.insert(received.end(), data.begin(), data.end());
        *taken = static_cast<std::uint32_t>(data.size());
        return platform::UsbStatus::Success;
    }
};

platform::SimDescriptors converterDescriptors(std::uint16_t product)
{
    platform::SimDescriptors d;
    d.device.idVendor = 0x7C5D;
    d.device.idProduct = product;
    d.device.bcdDevice = 0x0102;
    platform::SimInterface i;
    i.classDescriptors = {{5, 0x21, 1, 2, 3}};
    i.endpoints = {{0x81, usbch9::kEndpointBulk, 512, 0}, {0x02, usbch9::kEndpointBulk, 512, 0}};
    d.configurations[0].interfaces = {i};
    return d;
}

} // namespace

TEST(UsbOverSimulatedBus, HotPlugTransfersAndAsyncCompletionEndToEnd)
{
    platform::SimBackend bus;
    platform::DriverEmulator emulator(bus);
    platform::DriverPort::setInstance(&emulator);
    Window window;
    Seen seen;

    auto first = std::make_shared<SinkDevice>(converterDescriptors(0xBD86));
    bus.attach(first);
    bus.attach(std::make_shared<platform::SimDevice>([] {
        platform::SimDescriptors foreign = converterDescriptors(1);
        foreign.device.idVendor = 0x1234;
        return foreign;
    }()));
    const std::uint32_t vendors[] = {0x7C5D};
    DeviceIdFilter filter{vendors, 1, nullptr, 0};
    window.notifier = TWGUsb_CreateDeviceNotifier(
        [](IUSBDevice* d, void* s) {
            static_cast<Seen*>(s)->arrived.push_back(d);
            static_cast<Seen*>(s)->threads.push_back(std::this_thread::get_id());
            return true;
        },
        &seen,
        [](IUSBDevice* d, void* s) {
            static_cast<Seen*>(s)->removed.push_back(d);
            static_cast<Seen*>(s)->threads.push_back(std::this_thread::get_id());
        },
        &seen, &filter, window.id, 0);
    ASSERT_TRUE(window.notifier);
    ASSERT_EQ(seen.arrived.size(), 1u);
    // Plugged in on another thread; reported on the thread that pumps the window.
    std::string secondPath;
    std::thread([&] { secondPath = bus.attach(std::make_shared<platform::SimDevice>(converterDescriptors(0xBD87))); })
        .join();
    EXPECT_EQ(seen.arrived.size(), 1u);
    ASSERT_TRUE(usbtest::pumpUntil([&] { return seen.arrived.size() == 2; }));

    IUSBDevice* dev = seen.arrived[0];
    std::uint16_t product = 0, release = 0;
    EXPECT_EQ(dev->getProductId(&product), kResultSuccess);
    EXPECT_EQ(dev->getDeviceRelease(&release), kResultSuccess);
    EXPECT_EQ(product, 0xBD86);
    EXPECT_EQ(release, 0x0102);

    std::uint8_t descriptor[18] = {};
    USBControlRequest get{0x80, 6, 0x0100, 0, sizeof descriptor, descriptor, 1000, 1000};
    EXPECT_EQ(dev->controlTransfer(&get), kResultSuccess);
    EXPECT_EQ(descriptor[1], 1);
    EXPECT_EQ(descriptor[8] | (descriptor[9] << 8), 0x7C5D);
    USBControlRequest vendor = USBControlRequest::deviceRequest(1, 0x42, 0, 0, 1, descriptor);
    EXPECT_EQ(dev->controlTransfer(&vendor), kResultStall); // the plain model stalls vendor requests

    const std::uint32_t any[2] = {0xFFFFFFFF, 0xFFFFFFFF};
    IUSBInterfaceIterator* it = nullptr;
    ASSERT_EQ(dev->createInterfaceIterator(any, &it), kResultSuccess);
    IUSBInterface* intf = nullptr;
    ASSERT_TRUE(it->next(&intf));
    it->release();
    const std::uint8_t* cls = intf->getDescriptor(nullptr, 0x21);
    ASSERT_TRUE(cls);
    EXPECT_EQ(std::vector<std::uint8_t>(cls, cls + 5), (std::vector<std::uint8_t>{5, 0x21, 1, 2, 3}));
    std::uint8_t direction = 0, type = 0, extra = 0;
    std::uint16_t maxPacket = 0;
    EXPECT_EQ(intf->getEndpointInfo(1, &direction, &type, &maxPacket, &extra), kResultSuccess);
    EXPECT_EQ(direction, 1);
    EXPECT_EQ(maxPacket, 512);
    const std::uint8_t payload[4] = {9, 8, 7, 6};
    EXPECT_EQ(intf->write(2, payload, sizeof payload, 5000, 5000), kResultSuccess);
    EXPECT_EQ(first->received, std::vector<std::uint8_t>(payload, payload + 4));

    ASSERT_EQ(intf->open(), kResultSuccess);
    window.asyncDevice = dev;
    dev->setAsyncWindow(window.id, platform::WM_APP);
    std::uint8_t buffer[512] = {};
    ASSERT_EQ(intf->readAsync(1, buffer, sizeof buffer,
                              [](std::uint32_t status, std::uint32_t count, void* s) {
                                  static_cast<Seen*>(s)->completions.emplace_back(status, count);
                              },
                              &seen),
              kResultSuccess);
    first->queueIn(0x81, {0xA1, 0xA2, 0xA3});
    ASSERT_TRUE(usbtest::pumpUntil([&] { return seen.completions.size() == 1; }));
    EXPECT_EQ(seen.completions[0], std::make_pair(kResultSuccess, 3u));
    EXPECT_EQ(buffer[2], 0xA3);
    intf->release();

    std::thread([&] { bus.detach(secondPath); }).join();
    ASSERT_TRUE(usbtest::pumpUntil([&] { return seen.removed.size() == 1; }));
    EXPECT_EQ(seen.removed[0], seen.arrived[1]);
    for (std::thread::id t : seen.threads)
        EXPECT_EQ(t, std::this_thread::get_id());
    TWGUsb_DestroyDeviceNotifier(window.notifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(seen.removed.size(), 1u);
    EXPECT_EQ(bus.liveObjects(), 0);
    platform::DriverPort::setInstance(nullptr);
}

TEST(UsbOverSimulatedBus, RefusedDevicesAreNeverReportedAndLeaveNothingOpen)
{
    platform::SimBackend bus;
    platform::DriverEmulator emulator(bus);
    platform::DriverPort::setInstance(&emulator);
    Window window;
    bus.attach(std::make_shared<platform::SimDevice>(converterDescriptors(0xBD86)));
    bus.attach(std::make_shared<platform::SimDevice>(converterDescriptors(0xBD87)));
    platform::SimDescriptors foreign = converterDescriptors(0xBD86);
    foreign.device.idVendor = 0x1234;
    bus.attach(std::make_shared<platform::SimDevice>(foreign));

    const std::uint32_t vendors[] = {0x7C5D};
    const std::uint32_t products[] = {0xBD86};
    const struct {
        const char* name;
        DeviceIdFilter filter;
        std::size_t reported;
    } cases[] = {
        {"empty filter", {}, 3},
        {"vendor", {vendors, 1, nullptr, 0}, 2},
        {"product", {nullptr, 0, products, 1}, 2},
        {"vendor and product", {vendors, 1, products, 1}, 1},
    };
    for (const auto& c : cases) {
        Seen seen;
        window.notifier = TWGUsb_CreateDeviceNotifier(
            [](IUSBDevice* d, void* s) {
                static_cast<Seen*>(s)->arrived.push_back(d);
                return true;
            },
            &seen,
            [](IUSBDevice* d, void* s) { static_cast<Seen*>(s)->removed.push_back(d); }, &seen, &c.filter,
            window.id, 0);
        ASSERT_TRUE(window.notifier) << c.name;
        EXPECT_EQ(seen.arrived.size(), c.reported) << c.name;
        EXPECT_EQ(bus.liveObjects(), int(c.reported)) << c.name << ": one open handle per reported device";

        // A foreign device plugged in later is opened, refused and closed again.
        platform::SimDescriptors late = foreign;
        late.device.idProduct = 0x0002;
        const std::string latePath = bus.attach(std::make_shared<platform::SimDevice>(late));
        const bool passes = c.filter.vendorCount == 0 && c.filter.productCount == 0;
        ASSERT_TRUE(usbtest::pumpUntil([&] { return !passes || seen.arrived.size() == c.reported + 1; }));
        QCoreApplication::sendPostedEvents(&window);
        EXPECT_EQ(seen.arrived.size(), c.reported + (passes ? 1 : 0)) << c.name;
        EXPECT_EQ(bus.liveObjects(), int(seen.arrived.size())) << c.name;
        bus.detach(latePath);
        QCoreApplication::sendPostedEvents(&window);
        EXPECT_EQ(seen.removed.size(), passes ? 1u : 0u) << c.name;

        TWGUsb_DestroyDeviceNotifier(window.notifier);
        EXPECT_EQ(bus.liveObjects(), 0) << c.name;
    }
    platform::DriverPort::setInstance(nullptr);
}
