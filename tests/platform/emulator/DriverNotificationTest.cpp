#include "../sim/ScriptedSimDevice.h"

#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/driver/DriverCodes.h"
#include "platform/emulator/DriverEmulator.h"
#include "platform/sim/SimBackend.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <string>
#include <vector>

using namespace platform;

namespace {

// What a window saw of WM_DEVICECHANGE, copied while the payload was alive.
struct Seen {
    WPARAM event;
    std::uint32_t type;
    std::string path;            // device-interface records
    ConnectionId connection = 0; // handle records
    bool operator==(const Seen& o) const
    {
        return event == o.event && type == o.type && path == o.path && connection == o.connection;
    }
};

class Window : public QObject {
public:
    std::vector<Seen> seen;

    std::vector<Seen> take()
    {
        QCoreApplication::processEvents();
        std::vector<Seen> result;
        result.swap(seen);
        return result;
    }

protected:
    bool event(QEvent* e) override
    {
        MSG* m = messageOf(e);
        if (!m)
            return QObject::event(e);
        EXPECT_EQ(m->message, WM_DEVICECHANGE);
        const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(m->lParam);
        Seen s{m->wParam, header->dbch_devicetype, {}, 0};
        if (header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
            const auto* record = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE*>(header);
            EXPECT_EQ(record->dbcc_classguid, kDriverInterfaceGuid);
            EXPECT_EQ(header->dbch_size, sizeof(DEV_BROADCAST_DEVICEINTERFACE));
            s.path = record->dbcc_name;
        } else {
            s.connection = reinterpret_cast<const DEV_BROADCAST_HANDLE*>(header)->dbch_handle;
        }
        seen.push_back(s);
        return true;
    }
};

Seen interfaceEvent(WPARAM event, const std::string& path)
{
    return {event, DBT_DEVTYP_DEVICEINTERFACE, path, 0};
}

class NotificationTest : public ::testing::Test {
protected:
    VirtualClock virtualClock;
    ClockOverride clockGuard{&virtualClock};
    SimBackend bus;
    DriverEmulator port{bus};
    Window window;
    WindowId id = registerQtTarget(&window);
};

TEST_F(NotificationTest, ArrivalAndRemovalReachTheWindowOncePerRegistration)
{
    // Two notifiers of one window share one registration.
    const NotificationId a = port.registerDeviceInterfaceNotification(id, kDriverInterfaceGuid, 0);
    const NotificationId b = port.registerDeviceInterfaceNotification(id, kDriverInterfaceGuid, 0);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_EQ(port.registerDeviceInterfaceNotification(WindowId(987654), kDriverInterfaceGuid, 0), 0u);

    const std::string path = bus.attach(std::make_shared<simtest::ScriptedSimDevice>());
    EXPECT_EQ(window.take(), std::vector<Seen>{interfaceEvent(DBT_DEVICEARRIVAL, path)});

    // The connection's handle notification comes before the interface removal.
    const ConnectionId connection = port.open(path);
    const NotificationId handle = port.registerHandleNotification(id, connection, 0);
    ASSERT_NE(handle, 0u);
    bus.detach(path);
    const std::vector<Seen> removal{{DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_HANDLE, {}, connection},
                                    interfaceEvent(DBT_DEVICEREMOVECOMPLETE, path)};
    EXPECT_EQ(window.take(), removal);
    port.close(connection);

    EXPECT_TRUE(port.unregisterNotification(a));
    const std::string second = bus.attach(std::make_shared<simtest::ScriptedSimDevice>());
    EXPECT_EQ(window.take(), std::vector<Seen>{interfaceEvent(DBT_DEVICEARRIVAL, second)});
    EXPECT_TRUE(port.unregisterNotification(b));
    EXPECT_TRUE(port.unregisterNotification(handle));
    EXPECT_FALSE(port.unregisterNotification(b));
    bus.detach(second);
    EXPECT_TRUE(window.take().empty());
    EXPECT_EQ(bus.liveObjects(), 0);
}

TEST_F(NotificationTest, ReenumerationArrivesAfterItsDelayInVirtualTime)
{
    port.registerDeviceInterfaceNotification(id, kDriverInterfaceGuid, 0);
    auto loader = std::make_shared<simtest::ScriptedSimDevice>(simtest::scriptedDescriptors(0xBD85));
    const std::string first = bus.attach(loader);
    window.take();

    // The device drops off after answering the request that restarts it.
    auto application = std::make_shared<simtest::ScriptedSimDevice>();
    loader->onRequest = [&](simtest::ScriptedSimDevice& self, const UsbSetup& setup) {
        if (setup.bRequest == 0x12)
            self.reenumerateAs(application, std::chrono::milliseconds(500));
    };
    const ConnectionId connection = port.open(first);
    const NotificationId handle = port.registerHandleNotification(id, connection, 0);
    std::vector<std::uint8_t> restart(20, 0);
    restart[1] = 2; // vendor
    restart[3] = 0x12;
    std::uint32_t returned = 0;
    EXPECT_TRUE(port.ioctl(connection, driver::kControlTransfer, restart.data(), 20, restart.data(), 20, &returned));
    EXPECT_EQ(returned, 20u);
    const std::vector<Seen> removal{{DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_HANDLE, {}, connection},
                                    interfaceEvent(DBT_DEVICEREMOVECOMPLETE, first)};
    EXPECT_EQ(window.take(), removal);
    port.close(connection);
    port.unregisterNotification(handle);

    virtualClock.advance(std::chrono::milliseconds(499));
    EXPECT_TRUE(window.take().empty());
    EXPECT_TRUE(port.enumerateInterfaces(kDriverInterfaceGuid).empty());
    virtualClock.advance(std::chrono::milliseconds(1));
    const std::vector<std::string> present = port.enumerateInterfaces(kDriverInterfaceGuid);
    ASSERT_EQ(present.size(), 1u);
    EXPECT_NE(present[0], first);
    EXPECT_EQ(window.take(), std::vector<Seen>{interfaceEvent(DBT_DEVICEARRIVAL, present[0])});

    const ConnectionId again = port.open(present[0]);
    std::vector<std::uint8_t> product(4);
    EXPECT_TRUE(port.ioctl(again, driver::kGetProductId, nullptr, 0, product.data(), 4, &returned));
    EXPECT_EQ(product[0] | (product[1] << 8), simtest::kProduct);
    port.close(again);
    EXPECT_EQ(bus.liveObjects(), 0);
}

} // namespace
