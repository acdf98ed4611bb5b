#include "kit/framework/DeviceFirmwareUpdater.h"
#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/device/Stm32ConnectedDevice.h"
#include "plugins/zanthic/device/UsbConnectionManager.h"
#include "plugins/zanthic/device/UsbNotifier.h"
#include "plugins/zanthic/device/XmegaUsbPotentialDevice.h"
#include "protocol/ZanthicFirmwareIds.h"
#include "protocol/ZanthicIds.h"
#include "usb/IUSBDevice.h"

#include "tests/plugins/zanthic/GuiStall.h"
#include "protocol/XmegaProtocol.h"
#include "tests/plugins/zanthic/ScaledClock.h"
#include "tests/plugins/zanthic/ZanthicSimFixture.h"

#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <exception>
#include <thread>

using namespace zanthictest;
using namespace TWG::Zanthic;

namespace {

// The family's side: what arrived and left, as serials, and on which thread.
struct Listener : DeviceListener {
    std::function<void(std::shared_ptr<PotentialDevice>)> onArrival;
    QStringList arrived;
    QStringList removed;
    QStringList events; // "+serial" and "-serial", in order
    std::vector<std::weak_ptr<PotentialDevice>> devices; // the manager keeps them
    bool offGuiThread = false;
    void onPotentialDeviceArrived(std::shared_ptr<PotentialDevice> d) override
    {
        offGuiThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
        arrived.append(d->serial());
        events.append(QLatin1Char('+') + d->serial());
        devices.push_back(d);
        if (onArrival)
            onArrival(d);
    }
    void onPotentialDeviceRemoved(std::shared_ptr<PotentialDevice> d) override
    {
        offGuiThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
        removed.append(d->serial());
        events.append(QLatin1Char('-') + d->serial());
    }
};

class StubUpdater : public DeviceFirmwareUpdater {
public:
    bool firmwareIsCurrent() override { return true; }
    void startUpdate() override {}
};

ModelTable models()
{
    ModelTable t;
    for (std::uint16_t id : ids::kStm32ProductIds)
        t[id].modelName = QStringLiteral("S%1").arg(id, 0, 16);
    for (std::uint16_t id : ids::kXmegaProductIds)
        t[id].modelName = QStringLiteral("X%1").arg(id, 0, 16);
    return t;
}

class ConnectionManagerTest : public ZanthicSimFixture {
protected:
    void TearDown() override
    {
        manager.reset();
        QCoreApplication::processEvents();
    }

    void create(bool listAll = true)
    {
        manager = std::make_shared<UsbConnectionManager>(
            &family, models(),
            [](ConnectedDeviceOwner* owner, std::shared_ptr<UsbPotentialDevice> d) -> std::shared_ptr<ConnectedDevice> {
                return makeConnectedDevice<Stm32ZanthicConvertersConnectedDevice>(owner, d);
            },
            [this](std::shared_ptr<UsbConnectionManager>, std::shared_ptr<UsbPotentialDevice> d) {
                updatersFor.append(d->serial());
                return QSharedPointer<DeviceFirmwareUpdater>(new StubUpdater);
            },
            [this, listAll](std::weak_ptr<UsbConnectionManager> m,
                            TWG::USB::IUSBDevice* usb) -> std::shared_ptr<UsbPotentialDevice> {
                ++factoryCalls;
                if (!listAll)
                    return nullptr;
                std::uint16_t product = 0;
                usb->getProductId(&product);
                try {
                    if (ids::isXmegaProduct(product))
                        return std::make_shared<XmegaUsbPotentialDevice>(m, usb);
                    return std::make_shared<UsbPotentialDevice>(m, usb);
                } catch (const DeviceNotIdentified&) {
                    throw;
                } catch (const std::exception&) {
                    return nullptr;
                }
            },
            nullptr);
    }

    bool waitFor(std::function<bool()> done) { return QTest::qWaitFor(done, 20000); }

    Listener family;
    std::shared_ptr<UsbConnectionManager> manager;
    std::atomic<int> factoryCalls{0}; // counted on the notifier thread
    QStringList updatersFor;
    FakeOwner owner;
};

} // namespace

TEST_F(ConnectionManagerTest, TheFamilysModelsArriveQueuedOnTheGuiThreadWithTheirSerials)
{
    auto known = stm32State(0xBE6F);
    known->serial = "AB12CD";
    attachStm32(known);
    auto unknown = stm32State(0xBD91);
    unknown->serial = "FFFF01";
    const std::string unknownPath = attachStm32(unknown);
    auto foreign = stm32State(0xBE70);
    foreign->vendorId = 0x1234; // the product id alone decides; vendors are the allow-list's
    foreign->serial = "F0E1";
    attachStm32(foreign);
    auto xmega = xmegaState(0xBE91);
    const std::string xmegaPath = attachXmega(xmega);

    create();
    ASSERT_TRUE(manager->start());
    EXPECT_TRUE(family.arrived.isEmpty()) << "present devices arrive queued, not from inside start";
    ASSERT_TRUE(waitFor([&] { return family.arrived.size() == 3; }));
    QTest::qWait(50);
    QStringList arrived = family.arrived;
    arrived.sort();
    EXPECT_EQ(arrived, (QStringList{QStringLiteral("101112131415161718191a1b1c1d1e1f"), QStringLiteral("ab12cd"),
                                    QStringLiteral("f0e1")}));
    EXPECT_FALSE(family.offGuiThread);
    EXPECT_EQ(factoryCalls, 3) << "a product id outside the table reached the factory";

    const auto plugged = stm32State(0xBE89);
    plugged->serial = "LATE";
    const std::string latePath = attachStm32(plugged);
    ASSERT_TRUE(waitFor([&] { return family.arrived.size() == 4; }));
    EXPECT_EQ(family.arrived.back(), QStringLiteral("late"));

    bus.detach(unknownPath);
    bus.detach(latePath);
    bus.detach(xmegaPath);
    ASSERT_TRUE(waitFor([&] { return family.removed.size() == 2; }));
    QTest::qWait(50);
    EXPECT_EQ(family.removed, (QStringList{QStringLiteral("late"), QStringLiteral("101112131415161718191a1b1c1d1e1f")}));
    EXPECT_FALSE(family.offGuiThread);
    EXPECT_FALSE(manager->findPotentialDevice(QStringLiteral("late")));
    EXPECT_TRUE(manager->findPotentialDevice(QStringLiteral("ab12cd")));
}

TEST_F(ConnectionManagerTest, ADeviceTheFactoryDidNotListLeavesUntold)
{
    const std::string path = attachStm32(stm32State());
    create(false);
    ASSERT_TRUE(manager->start());
    ASSERT_TRUE(waitFor([&] { return factoryCalls == 1; }));
    bus.detach(path);
    QTest::qWait(100);
    EXPECT_TRUE(family.arrived.isEmpty());
    EXPECT_TRUE(family.removed.isEmpty());
}

TEST_F(ConnectionManagerTest, TheFamilyMayCallBackFromItsHandlersAndRemovedDevicesDoNotConnect)
{
    create();
    std::shared_ptr<ConnectedDevice> fromArrival;
    QSharedPointer<DeviceFirmwareUpdater> updater;
    family.onArrival = [&](std::shared_ptr<PotentialDevice> d) {
        fromArrival = manager->connect(&owner, d.get());
        updater = d->createUpdater();
    };
    ASSERT_TRUE(manager->start());
    const std::string path = attachStm32(stm32State());
    ASSERT_TRUE(waitFor([&] { return family.arrived.size() == 1; }));
    ASSERT_TRUE(fromArrival) << "connect under the manager's own lock";
    EXPECT_TRUE(updater);
    EXPECT_EQ(updatersFor, QStringList{QStringLiteral("5a4e0001abcd")});
    const auto potential = manager->findPotentialDevice(QStringLiteral("5a4e0001abcd"));
    ASSERT_TRUE(potential);
    EXPECT_EQ(potential->findModelInfo()->modelName, QStringLiteral("Sbe6f"));
    EXPECT_FALSE(manager->connect(nullptr, potential.get()));
    EXPECT_FALSE(manager->connect(&owner, nullptr));

    bus.detach(path);
    ASSERT_TRUE(waitFor([&] { return family.removed.size() == 1; }));
    EXPECT_FALSE(manager->connect(&owner, potential.get()));
    EXPECT_FALSE(potential->connect(&owner));
}

TEST_F(ConnectionManagerTest, AnEmptySerialMatchesNoListedDevice)
{
    create();
    ASSERT_TRUE(manager->start());
    for (int i = 0; i < 2; ++i) {
        auto s = stm32State();
        s->rawSerialDescriptor = std::vector<std::uint8_t>{0, 3};
        attachStm32(s);
    }
    ASSERT_TRUE(waitFor([&] { return family.arrived.size() == 2; }));
    EXPECT_EQ(family.arrived, (QStringList{QString(), QString()}));
    EXPECT_FALSE(manager->findPotentialDevice(QString()));
    const auto listed = manager->findPotentialDeviceByUsbDevice(nullptr);
    EXPECT_FALSE(listed);
    // Neither device may be updated as the other, nor a stranger as either: each gets its own.
    UsbPotentialDevice stranger(std::weak_ptr<ConnectionManager>(), nullptr);
    EXPECT_FALSE(manager->createUpdater(stranger));
    EXPECT_FALSE(manager->canCreateUpdater(stranger));
    EXPECT_TRUE(updatersFor.isEmpty());
    EXPECT_FALSE(manager->findReturningDevice(QString(), 0xBE6F, 0)) << "two of the product: neither is the one";
    for (const auto& weak : family.devices) {
        const auto d = weak.lock();
        ASSERT_TRUE(d);
        EXPECT_TRUE(manager->canCreateUpdater(*d));
        EXPECT_TRUE(manager->createUpdater(*d));
    }
    EXPECT_EQ(updatersFor, (QStringList{QString(), QString()}));
}

TEST_F(ConnectionManagerTest, QuickPlugAndUnplugNeverUsesAFreedDevice)
{
    create();
    ASSERT_TRUE(manager->start());
    // Each device is unplugged a moment after it came, before the GUI thread has heard of its
    // arrival: a queued arrival and removal must still find the device alive.
    auto plugAndPull = [&](std::shared_ptr<platform::SimDevice> device) {
        const std::string path = bus.attach(std::move(device));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        bus.detach(path);
    };
    constexpr int kRounds = 10;
    for (int round = 0; round < kRounds; ++round) {
        auto s = stm32State(round % 2 ? 0xBE77 : 0xBE6F);
        s->serial = "R" + std::to_string(round);
        plugAndPull(std::make_shared<platform::SimStm32Application>(s));
        auto x = xmegaState(0xBE90);
        x->uuid[0] = static_cast<std::uint8_t>(round);
        plugAndPull(platform::SimXmegaDevice::persona(x, false));
    }
    QTest::qWait(300);
    EXPECT_GT(factoryCalls, 0) << "no arrival reached the GUI thread";
    // Whatever the factory made of a device already gone, each one listed leaves once.
    ASSERT_TRUE(waitFor([&] { return family.removed.size() == family.arrived.size(); }))
        << family.arrived.size() << " arrived, " << family.removed.size() << " left";
    QTest::qWait(50);
    EXPECT_EQ(family.removed.size(), family.arrived.size());
    EXPECT_FALSE(family.offGuiThread);
    manager.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(bus.liveObjects(), 0) << "a device reference was kept";
}

TEST_F(ConnectionManagerTest, ANotifierNeverStartedOrAManagerGoneEndsAtOnce)
{
    QElapsedTimer t;
    t.start();
    {
        UsbNotifier notifier(models());
    }
    create();
    ASSERT_TRUE(manager->start());
    attachStm32(stm32State());
    manager.reset(); // the queued arrival finds no manager and still releases its device
    QTest::qWait(50);
    EXPECT_TRUE(family.arrived.isEmpty());
    EXPECT_LT(t.elapsed(), 1000);
}

// Whatever a device keeps the enumeration waiting for, the window is not: its serial, boot mode
// and identity are read on the notifier's thread, and what the family asks of it on arrival is
// answered from what was read. An XMEGA that does not answer is tried again there, unlisted.
TEST_F(ConnectionManagerTest, ADeviceThatDoesNotAnswerItsEnumerationReadsNeverHoldsTheGuiThread)
{
    struct Row {
        const char* name;
        bool xmega;
    };
    for (const Row& row : {Row{"STM32", false}, Row{"XMEGA", true}}) {
        SCOPED_TRACE(row.name);
        GuiWatchedClock watched;
        platform::ClockOverride realTime(&watched);
        const std::string path = row.xmega ? attachXmega(xmegaState()) : attachStm32(stm32State(0xBE77));
        failRequests(path, platform::SimFaultAction::Timeout, 200);
        family.onArrival = [](std::shared_ptr<PotentialDevice> d) {
            // What the family and the gallery ask of a device as it arrives.
            d->deviceName();
            d->buildId();
            d->releaseVersion();
            d->isFirmwareCurrent(QStringLiteral("00010001"));
        };
        create();
        GuiTurns turns;
        ASSERT_TRUE(manager->start());
        if (row.xmega) {
            namespace xmega = TWG::Converters::xmega;
            ASSERT_TRUE(waitFor([&] { return controls(xmega::kGetMode, xmega::kVendorInterfaceIn).size() >= 4; }))
                << "its tries as it arrived, and a poll";
            EXPECT_TRUE(family.arrived.isEmpty());
        } else {
            ASSERT_TRUE(waitFor([&] { return family.arrived.size() == 1; }));
            const auto d = family.devices.front().lock();
            ASSERT_TRUE(d);
            EXPECT_EQ(d->serial(), QString());
            EXPECT_EQ(d->deviceName(), QStringLiteral("Tarnwright Device"));
            EXPECT_EQ(d->buildId(), QString());
            EXPECT_EQ(d->releaseVersion(), QString());
            EXPECT_FALSE(d->isFirmwareCurrent(QString::fromLatin1(TWG::Zanthic::firmwareids::stm32BuildId(0xBE77))));
        }
        EXPECT_LT(turns.longestGapMs(), 250);
        EXPECT_LT(watched.longestGuiSleepMs.load(), 250) << "the GUI thread waited out a request";
        manager.reset();
        QCoreApplication::processEvents();
        family = Listener();
        bus.clearFaults();
        bus.detach(path);
    }
}

// Unplugged while the notifier is still reading it: the family hears of it in the order it
// happened, or not at all, and the manager does not keep it.
TEST_F(ConnectionManagerTest, ADeviceRemovedWhileItIsReadNeverArrivesAfterItsRemoval)
{
    GuiWatchedClock watched;
    platform::ClockOverride realTime(&watched);
    create();
    ASSERT_TRUE(manager->start());
    const std::string path = attachStm32(stm32State());
    failRequests(path, platform::SimFaultAction::Timeout, 200);
    ASSERT_TRUE(waitFor([&] { return !controls(6, 0x80).empty(); }));
    bus.detach(path);
    // Heard of at all, it is heard of twice.
    static_cast<void>(QTest::qWaitFor([&] { return family.events.size() == 2; }, 3000));
    QTest::qWait(100);
    const QStringList& events = family.events;
    EXPECT_TRUE(events.isEmpty() ||
                (events.size() == 2 && events[0].startsWith('+') && events[1] == '-' + events[0].mid(1)))
        << events.join(' ').toStdString();
    EXPECT_FALSE(manager->findReturningDevice(QString(), 0xBE6F, 0)) << "still listed";
    EXPECT_FALSE(manager->findPotentialDevice(QStringLiteral("5a4e0001abcd"))) << "still listed";
    manager.reset();
    QCoreApplication::processEvents();
}

// An XMEGA whose uuid read fails longer than its tries and polls stays unlisted, and is found
// once it answers, by the next arrival on the bus.
TEST_F(ConnectionManagerTest, AnXmegaThatFailedItsUuidReadIsFoundByALaterArrival)
{
    namespace xmega = TWG::Converters::xmega;
    std::atomic<bool> failing{true};
    create();
    const std::string path = attachXmega(xmegaState(0xBE90));
    failRequests(path, platform::SimFaultAction::Stall, 1000, [&failing](const SimRequest& r) {
        return failing.load() && r.setup.bmRequestType == xmega::kVendorDeviceIn && r.setup.bRequest == xmega::kGetUuid;
    });
    auto uuidReads = [&] { return controls(xmega::kGetUuid, xmega::kVendorDeviceIn).size(); };
    ASSERT_TRUE(manager->start());
    // Its tries and its polls run out in virtual time; then nothing asks it any more.
    std::size_t asked = 0;
    ASSERT_TRUE(waitFor([&] {
        const std::size_t now = uuidReads();
        const bool settled = now > 3 && now == asked;
        asked = now;
        QTest::qWait(100);
        return settled;
    }));
    EXPECT_GT(asked, 4u) << "polled after its tries";
    EXPECT_TRUE(family.arrived.isEmpty());
    failing = false;
    QTest::qWait(100);
    EXPECT_TRUE(family.arrived.isEmpty()) << "tried again with nothing new on the bus";

    auto other = stm32State(0xBE89);
    other->serial = "LATER";
    attachStm32(other);
    ASSERT_TRUE(waitFor([&] { return family.arrived.size() == 2; }));
    EXPECT_EQ(family.arrived,
              (QStringList{QStringLiteral("101112131415161718191a1b1c1d1e1f"), QStringLiteral("later")}));
    bus.detach(path);
    ASSERT_TRUE(waitFor([&] { return family.removed.size() == 1; }));
}
