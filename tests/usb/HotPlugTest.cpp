#include "UsbTestSupport.h"

#include "platform/Clock.h"
#include "usb/DeviceNotifier.h"
#include "usb/IUSBDevice.h"
#include "usb/UsbConstants.h"

#include <QEvent>
#include <QObject>

#include <algorithm>
#include <cstring>

#include <thread>

using namespace TWG::USB;
using usbtest::FakeDriverPort;

namespace {

struct Seen {
    std::vector<IUSBDevice*> arrived;
    std::vector<IUSBDevice*> removed;
    std::vector<std::thread::id> threads;
    std::vector<std::uint16_t> products;
    bool take = true; // what the arrival answers
};

bool onArrival(IUSBDevice* device, void* user)
{
    auto* seen = static_cast<Seen*>(user);
    seen->arrived.push_back(device);
    seen->threads.push_back(std::this_thread::get_id());
    std::uint16_t product = 0;
    device->getProductId(&product);
    seen->products.push_back(product);
    return seen->take;
}

void onRemoval(IUSBDevice* device, void* user)
{
    auto* seen = static_cast<Seen*>(user);
    seen->removed.push_back(device);
    seen->threads.push_back(std::this_thread::get_id());
}

// A window that hands WM_DEVICECHANGE to its notifiers, as the families' event windows do.
class DeviceWindow : public QObject {
public:
    DeviceWindow() : id(platform::registerQtTarget(this)) {}
    platform::WindowId id;
    std::vector<DeviceNotifierContext*> notifiers;
    std::vector<bool> results;

protected:
    bool event(QEvent* e) override
    {
        platform::MSG* m = platform::messageOf(e);
        if (!m)
            return QObject::event(e);
        if (m->message == platform::WM_DEVICECHANGE)
            for (DeviceNotifierContext* n : notifiers)
                results.push_back(TWGUsb_HandleDeviceChange(n, m->wParam, m->lParam));
        return true;
    }
};

FakeDriverPort::Device fakeDevice(const std::string& path, std::uint16_t vendor, std::uint16_t product)
{
    FakeDriverPort::Device d;
    d.path = path;
    d.vendorId = vendor;
    d.productId = product;
    return d;
}

class UsbHotPlug : public usbtest::UsbFixture {
protected:
    void pump() { QCoreApplication::sendPostedEvents(&window); }
    DeviceWindow window;
    Seen seen;
};

} // namespace

TEST_F(UsbHotPlug, PresentDevicesOnceThenArrivalsAndRemovalsOnceOnThePumpingThread)
{
    DeviceNotifierContext* n =
        TWGUsb_CreateDeviceNotifier(onArrival, &seen, onRemoval, &seen, nullptr, window.id, 0);
    ASSERT_TRUE(n);
    window.notifiers.push_back(n);
    ASSERT_EQ(seen.arrived.size(), 1u);
    EXPECT_EQ(seen.products, (std::vector<std::uint16_t>{1}));

    port.attach(fakeDevice("fake:late", 0x7C5D, 2));
    pump();
    ASSERT_EQ(seen.arrived.size(), 2u);
    EXPECT_EQ(seen.products.back(), 2);

    std::thread([this] { port.attach(fakeDevice("fake:2", 0x7C5D, 3)); }).join();
    EXPECT_EQ(seen.arrived.size(), 2u); // nothing before the window is pumped
    pump();
    ASSERT_EQ(seen.arrived.size(), 3u);
    EXPECT_EQ(port.openConnections(), 3);

    std::thread([this] { port.detach("fake:2"); }).join();
    pump();
    ASSERT_EQ(seen.removed.size(), 1u);
    EXPECT_EQ(seen.removed[0], seen.arrived[2]);
    EXPECT_EQ(port.openConnections(), 2);
    // The handle removal came first; the interface removal that follows is no longer ours.
    EXPECT_EQ(window.results, (std::vector<bool>{true, true, true, false}));
    for (std::thread::id t : seen.threads)
        EXPECT_EQ(t, std::this_thread::get_id());

    TWGUsb_DestroyDeviceNotifier(n);
    EXPECT_EQ(seen.removed.size(), 1u);
    EXPECT_EQ(port.openConnections(), 0);
    EXPECT_EQ(port.interfaceRegistrations(), 0);
}

TEST_F(UsbHotPlug, ArrivalForAFiledPathIsKnownAndOpensNothing)
{
    // The race: a device arrives after the window's registration but before the enumeration,
    // so the enumeration files it and its arrival message is still queued.
    DeviceNotifierContext* n = TWGUsb_CreateDeviceNotifier(onArrival, &seen, onRemoval, &seen, nullptr, window.id, 0);
    window.notifiers.push_back(n);
    port.attach(fakeDevice("fake:raced", 0x7C5D, 9));
    TWGUsb_DestroyDeviceNotifier(n);
    window.notifiers.clear();
    seen = Seen();

    n = TWGUsb_CreateDeviceNotifier(onArrival, &seen, onRemoval, &seen, nullptr, window.id, 0);
    window.notifiers.push_back(n);
    ASSERT_EQ(seen.arrived.size(), 2u);
    const std::size_t versionChecks = port.calls(driver::kGetVersion).size();
    pump();
    EXPECT_EQ(window.results, (std::vector<bool>{true}));
    EXPECT_EQ(seen.arrived.size(), 2u);

    // Paths compare case-insensitively.
    platform::DEV_BROADCAST_DEVICEINTERFACE upper = {};
    upper.header = {sizeof upper, platform::DBT_DEVTYP_DEVICEINTERFACE, 0};
    upper.dbcc_classguid = platform::kDriverInterfaceGuid;
    std::strcpy(upper.dbcc_name, "FAKE:RACED");
    EXPECT_TRUE(TWGUsb_HandleDeviceArrivalMessage(n, &upper.header));
    EXPECT_EQ(seen.arrived.size(), 2u);
    EXPECT_EQ(port.calls(driver::kGetVersion).size(), versionChecks); // not opened again
    EXPECT_EQ(port.openConnections(), 2);
    TWGUsb_DestroyDeviceNotifier(n);
    EXPECT_EQ(port.openConnections(), 0);
}

TEST_F(UsbHotPlug, ADeviceTheArrivalDoesNotTakeIsReleasedAndTriedAgainOnItsNextArrival)
{
    // Present at create or arriving later, a device whose start-up failed must not keep its
    // exclusive connection, nor stay filed where its next arrival would count as known.
    seen.take = false;
    DeviceNotifierContext* n = TWGUsb_CreateDeviceNotifier(onArrival, &seen, onRemoval, &seen, nullptr, window.id, 0);
    ASSERT_TRUE(n);
    window.notifiers.push_back(n);
    ASSERT_EQ(seen.arrived.size(), 1u);
    EXPECT_EQ(port.openConnections(), 0);
    port.attach(fakeDevice("fake:late", 0x7C5D, 2));
    pump();
    EXPECT_EQ(seen.arrived.size(), 2u);
    EXPECT_EQ(port.openConnections(), 0);
    EXPECT_EQ(window.results, (std::vector<bool>{false}));

    seen.take = true;
    platform::DEV_BROADCAST_DEVICEINTERFACE again = {};
    again.header = {sizeof again, platform::DBT_DEVTYP_DEVICEINTERFACE, 0};
    again.dbcc_classguid = platform::kDriverInterfaceGuid;
    std::strcpy(again.dbcc_name, "fake:late");
    EXPECT_TRUE(TWGUsb_HandleDeviceArrivalMessage(n, &again.header));
    ASSERT_EQ(seen.arrived.size(), 3u);
    EXPECT_EQ(port.openConnections(), 1);

    // Only the device taken is reported gone.
    window.results.clear();
    port.detach("fake:late");
    port.detach("fake:1");
    pump();
    EXPECT_EQ(seen.removed, std::vector<IUSBDevice*>{seen.arrived[2]});
    EXPECT_EQ(std::count(window.results.begin(), window.results.end(), true), 1);
    EXPECT_EQ(port.openConnections(), 0);
    TWGUsb_DestroyDeviceNotifier(n);
}

TEST_F(UsbHotPlug, FilterDecidesWhichDevicesAreReported)
{
    port.addDevice(fakeDevice("fake:other-vendor", 0x1234, 1));
    port.addDevice(fakeDevice("fake:other-product", 0x7C5D, 7));
    const std::uint32_t vendors[] = {0x7C5D};
    const std::uint32_t products[] = {1, 2};
    struct Case {
        const char* name;
        DeviceIdFilter filter;
        std::size_t reported;
        bool readsVendor;
    } cases[] = {
        {"empty filter", {}, 3, false},
        {"vendor only", {vendors, 1, nullptr, 0}, 2, true},
        {"product only", {nullptr, 0, products, 2}, 2, false},
        {"vendor and product", {vendors, 1, products, 2}, 1, true},
    };
    for (const Case& c : cases) {
        Seen local;
        const std::size_t vendorReads = port.calls(driver::kGetVendorId).size();
        DeviceNotifierContext* n =
            TWGUsb_CreateDeviceNotifier(onArrival, &local, onRemoval, &local, &c.filter, window.id, 0);
        ASSERT_TRUE(n) << c.name;
        EXPECT_EQ(local.arrived.size(), c.reported) << c.name;
        EXPECT_EQ(port.calls(driver::kGetVendorId).size() > vendorReads, c.readsVendor) << c.name;
        EXPECT_EQ(port.openConnections(), int(c.reported)) << c.name; // refused paths are closed

        // A device arriving later is filtered the same way.
        window.notifiers = {n};
        window.results.clear();
        port.attach(fakeDevice("fake:late-other", 0x1234, 2));
        pump();
        const bool passes = c.filter.vendorCount == 0;
        EXPECT_EQ(window.results, (std::vector<bool>{passes})) << c.name;
        EXPECT_EQ(local.arrived.size(), c.reported + (passes ? 1 : 0)) << c.name;
        port.detach("fake:late-other");
        pump();
        TWGUsb_DestroyDeviceNotifier(n);
        EXPECT_EQ(port.openConnections(), 0);
    }
}

TEST_F(UsbHotPlug, NotifiersOfOneWindowShareOneRegistration)
{
    Seen other;
    DeviceNotifierContext* a = TWGUsb_CreateDeviceNotifier(onArrival, &seen, onRemoval, &seen, nullptr, window.id, 1);
    ASSERT_TRUE(a);
    EXPECT_EQ(port.interfaceRegistrations(), 1);
    TWGUsb_DestroyDeviceNotifier(a); // frees the device, so b can open it
    a = TWGUsb_CreateDeviceNotifier(onArrival, &seen, onRemoval, &seen, nullptr, window.id, 0);
    const std::uint32_t products[] = {5};
    DeviceIdFilter only5{nullptr, 0, products, 1};
    DeviceNotifierContext* b = TWGUsb_CreateDeviceNotifier(onArrival, &other, onRemoval, &other, &only5, window.id, 0);
    ASSERT_TRUE(b);
    EXPECT_EQ(port.interfaceRegistrations(), 1);
    TWGUsb_DestroyDeviceNotifier(a);
    EXPECT_EQ(port.interfaceRegistrations(), 1);
    TWGUsb_DestroyDeviceNotifier(b);
    EXPECT_EQ(port.interfaceRegistrations(), 0);

    for (int flags : {-1, 2})
        EXPECT_EQ(TWGUsb_CreateDeviceNotifier(onArrival, &seen, onRemoval, &seen, nullptr, window.id, flags), nullptr);
    EXPECT_EQ(port.interfaceRegistrations(), 0);
}

// The one dispatch of a WM_DEVICECHANGE message every notifier of the program uses: the arrival
// and each code of the removal family reach their handler, nothing else does.
TEST_F(UsbHotPlug, DeviceChangeMessagesReachTheHandlerTheirCodeNames)
{
    DeviceNotifierContext* n = TWGUsb_CreateDeviceNotifier(onArrival, &seen, onRemoval, &seen, nullptr, window.id, 0);
    ASSERT_TRUE(n);
    platform::DEV_BROADCAST_DEVICEINTERFACE record = {};
    record.header = {sizeof record, platform::DBT_DEVTYP_DEVICEINTERFACE, 0};
    record.dbcc_classguid = platform::kDriverInterfaceGuid;
    std::strcpy(record.dbcc_name, "fake:dispatched");
    port.addDevice(fakeDevice("fake:dispatched", 0x7C5D, 5));
    const auto lParam = reinterpret_cast<platform::LPARAM>(&record.header);

    EXPECT_FALSE(TWGUsb_HandleDeviceChange(nullptr, platform::DBT_DEVICEARRIVAL, lParam));
    EXPECT_FALSE(TWGUsb_HandleDeviceChange(n, platform::DBT_DEVICEARRIVAL, 0));
    for (platform::WPARAM other : {platform::WPARAM(0x0007), platform::WPARAM(0x7FFF), platform::WPARAM(0x8005)})
        EXPECT_FALSE(TWGUsb_HandleDeviceChange(n, other, lParam)) << std::hex << other;
    EXPECT_EQ(seen.arrived.size(), 1u) << "only the present device";

    for (platform::WPARAM removal : {platform::DBT_DEVICEQUERYREMOVE, platform::DBT_DEVICEQUERYREMOVEFAILED,
                                     platform::DBT_DEVICEREMOVEPENDING, platform::DBT_DEVICEREMOVECOMPLETE}) {
        SCOPED_TRACE(removal);
        const std::size_t arrived = seen.arrived.size(), removed = seen.removed.size();
        EXPECT_TRUE(TWGUsb_HandleDeviceChange(n, platform::DBT_DEVICEARRIVAL, lParam));
        EXPECT_EQ(seen.arrived.size(), arrived + 1);
        EXPECT_TRUE(TWGUsb_HandleDeviceChange(n, removal, lParam));
        EXPECT_EQ(seen.removed.size(), removed + 1);
        EXPECT_FALSE(TWGUsb_HandleDeviceChange(n, removal, lParam)) << "no longer filed";
    }
    TWGUsb_DestroyDeviceNotifier(n);
}

TEST_F(UsbHotPlug, UnknownAndForeignMessagesAreNotTheNotifiers)
{
    DeviceNotifierContext* n = TWGUsb_CreateDeviceNotifier(onArrival, &seen, onRemoval, &seen, nullptr, window.id, 0);
    ASSERT_TRUE(n);
    platform::DEV_BROADCAST_DEVICEINTERFACE unknown = {};
    unknown.header = {sizeof unknown, platform::DBT_DEVTYP_DEVICEINTERFACE, 0};
    unknown.dbcc_classguid = platform::kDriverInterfaceGuid;
    std::strcpy(unknown.dbcc_name, "fake:never-filed");
    EXPECT_FALSE(TWGUsb_HandleDeviceRemovalMessage(n, &unknown.header));
    platform::DEV_BROADCAST_HANDLE handle = {{sizeof handle, platform::DBT_DEVTYP_HANDLE, 0}, 0xDEAD};
    EXPECT_FALSE(TWGUsb_HandleDeviceRemovalMessage(n, &handle.header));
    EXPECT_TRUE(seen.removed.empty());

    // Another class, another record type, a path that cannot be opened.
    platform::DEV_BROADCAST_DEVICEINTERFACE foreign = unknown;
    foreign.dbcc_classguid.data1 ^= 1;
    std::strcpy(foreign.dbcc_name, "fake:1");
    EXPECT_FALSE(TWGUsb_HandleDeviceArrivalMessage(n, &foreign.header));
    EXPECT_FALSE(TWGUsb_HandleDeviceArrivalMessage(n, &handle.header));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(TWGUsb_HandleDeviceArrivalMessage(n, &unknown.header));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("*** TWG::USB::TWGUsb_HandleDeviceArrivalMessage[", 0), 0u) << err;
    EXPECT_NE(err.find("]: ConnectToDriverWithPath failed\n"), std::string::npos) << err;
    EXPECT_EQ(seen.arrived.size(), 1u);
    TWGUsb_DestroyDeviceNotifier(n);
}

// Another notifier of the process whose filter also takes the device holds its exclusive
// connection while it reads its ids: the open is tried five times, 20 ms apart on the process
// clock, and the device taken once the other lets go. A path that is not there is not tried again.
TEST_F(UsbHotPlug, AnArrivalWhoseOpenIsDeniedIsTriedAgainWhileAnotherNotifierProbesIt)
{
    platform::VirtualClock clock;
    platform::ClockOverride clockOverride(&clock);
    DeviceNotifierContext* n = TWGUsb_CreateDeviceNotifier(onArrival, &seen, onRemoval, &seen, nullptr, window.id, 0);
    ASSERT_TRUE(n);
    window.notifiers.push_back(n);
    platform::DEV_BROADCAST_DEVICEINTERFACE arrival = {};
    arrival.header = {sizeof arrival, platform::DBT_DEVTYP_DEVICEINTERFACE, 0};
    arrival.dbcc_classguid = platform::kDriverInterfaceGuid;
    std::strcpy(arrival.dbcc_name, "fake:probed");
    port.addDevice(fakeDevice("fake:probed", 0x7C5D, 4));

    struct Case {
        const char* name;
        int heldForMs; // by the other notifier
        bool taken;
        std::int64_t waitedMs;
    };
    const Case cases[] = {
        {"let go after 50 ms: the fourth open", 50, true, 60},
        {"let go after 80 ms: the last open", 80, true, 80},
        {"held past the last open", 81, false, 80},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const platform::ConnectionId other = port.open("fake:probed");
        ASSERT_NE(other, platform::kInvalidConnection);
        clock.callAfter(platform::Clock::Duration(c.heldForMs), [this, other] { port.close(other); });
        const std::size_t arrived = seen.arrived.size();
        const auto start = clock.now();
        testing::internal::CaptureStderr();
        EXPECT_EQ(TWGUsb_HandleDeviceArrivalMessage(n, &arrival.header), c.taken);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(clock.elapsedMs(start), c.waitedMs) << "slept on the process clock";
        EXPECT_EQ(seen.arrived.size(), arrived + (c.taken ? 1 : 0));
        EXPECT_EQ(err.empty(), c.taken) << err;
        // The other notifier is done with it in any case; the taken device is unplugged.
        while (clock.runNext()) {
        }
        if (c.taken) {
            port.detach("fake:probed");
            pump();
            port.addDevice(fakeDevice("fake:probed", 0x7C5D, 4));
        }
        EXPECT_EQ(port.openConnections(), 1) << "fake:1 only";
    }

    std::strcpy(arrival.dbcc_name, "fake:gone");
    testing::internal::CaptureStderr();
    const auto start = clock.now();
    EXPECT_FALSE(TWGUsb_HandleDeviceArrivalMessage(n, &arrival.header));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(clock.elapsedMs(start), 0) << "only a denied open is tried again";
    TWGUsb_DestroyDeviceNotifier(n);
}

// The classic notifiers and the Zanthic one have disjoint filters, and the Zanthic notifier keeps
// its device open: a notifier must not open what its filter excludes, neither to read its ids nor
// again and again while the other holds it (each wait blocked the GUI thread).
TEST_F(UsbHotPlug, ADeviceOutsideTheFilterIsNeverOpenedNorWaitedFor)
{
    platform::VirtualClock clock;
    platform::ClockOverride clockOverride(&clock);
    port.addDevice(fakeDevice("fake:other-vendor", 0x1234, 1));
    port.addDevice(fakeDevice("fake:other-product", 0x7C5D, 7));
    const std::uint32_t vendors[] = {0x7C5D};
    const std::uint32_t products[] = {1, 2};
    struct Case {
        const char* name;
        DeviceIdFilter filter;
        const char* excluded;
        std::size_t reported; // of fake:1 and the two above
    } cases[] = {
        {"vendor outside the filter", {vendors, 1, nullptr, 0}, "fake:other-vendor", 2},
        {"product outside the filter", {nullptr, 0, products, 2}, "fake:other-product", 2},
        {"vendor listed, product not", {vendors, 1, products, 2}, "fake:other-product", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Seen local;
        const int opensBefore = port.opensOf(c.excluded);
        DeviceNotifierContext* n =
            TWGUsb_CreateDeviceNotifier(onArrival, &local, onRemoval, &local, &c.filter, window.id, 0);
        ASSERT_TRUE(n);
        EXPECT_EQ(port.opensOf(c.excluded), opensBefore) << "not opened by the enumeration";

        // Held by a notifier whose filter takes it, the device arrives again.
        const platform::ConnectionId other = port.open(c.excluded);
        ASSERT_NE(other, platform::kInvalidConnection);
        platform::DEV_BROADCAST_DEVICEINTERFACE arrival = {};
        arrival.header = {sizeof arrival, platform::DBT_DEVTYP_DEVICEINTERFACE, 0};
        arrival.dbcc_classguid = platform::kDriverInterfaceGuid;
        std::strcpy(arrival.dbcc_name, c.excluded);
        const int opensHeld = port.opensOf(c.excluded);
        const auto start = clock.now();
        testing::internal::CaptureStderr();
        EXPECT_FALSE(TWGUsb_HandleDeviceArrivalMessage(n, &arrival.header));
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(clock.elapsedMs(start), 0) << "no retries";
        EXPECT_TRUE(err.empty()) << err;
        EXPECT_EQ(port.opensOf(c.excluded), opensHeld) << "not opened on arrival";
        EXPECT_EQ(local.arrived.size(), c.reported);
        port.close(other);
        TWGUsb_DestroyDeviceNotifier(n);
    }
}
