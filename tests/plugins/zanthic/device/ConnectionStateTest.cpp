#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/device/Stm32ConnectedDevice.h"
#include "plugins/zanthic/device/XmegaConnectedDevice.h"
#include "plugins/zanthic/device/XmegaUsbPotentialDevice.h"

#include "protocol/Stm32Protocol.h"
#include "protocol/XmegaProtocol.h"
#include "tests/plugins/zanthic/GuiStall.h"
#include "tests/plugins/zanthic/ZanthicSimFixture.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <thread>

using namespace zanthictest;
using namespace TWG::Zanthic;

namespace {

class ConnectionStateTest : public ZanthicSimFixture {
protected:
    std::vector<int> states(const QSignalSpy& spy)
    {
        std::vector<int> out;
        for (const QList<QVariant>& call : spy)
            out.push_back(call.at(0).value<ConnectionState>());
        return out;
    }
    FakeOwner owner;

    // Time run this much faster keeps a read of a device that times out longer, in wall time,
    // than the poll's interval (10 s and 1000 ms on the STM32, twice 5 s and 500 ms on the XMEGA).
    static constexpr int kSlowerThanAPoll = 8;

    // An STM32 or an XMEGA device on the bus, opened and connected; the first poll has begun.
    struct Opened {
        std::string path;
        std::shared_ptr<UsbPotentialDevice> potential;
        std::shared_ptr<ZanthicConvertersConnectedDevice> device;
    };
    Opened connect(bool xmega, DeviceRef& usb)
    {
        Opened o;
        o.path = xmega ? attachXmega(xmegaState()) : attachStm32(stm32State());
        usb.reset(open(o.path));
        if (xmega) {
            o.potential = std::make_shared<XmegaUsbPotentialDevice>(std::weak_ptr<ConnectionManager>(), usb.device);
            o.device = makeConnectedDevice<XmegaZanthicConvertersConnectedDevice>(&owner, o.potential);
        } else {
            o.potential = std::make_shared<UsbPotentialDevice>(std::weak_ptr<ConnectionManager>(), usb.device);
            o.device = makeConnectedDevice<Stm32ZanthicConvertersConnectedDevice>(&owner, o.potential);
        }
        return o;
    }
    // The poll's first request of each read: the STM32 boot mode, the XMEGA boot state.
    std::size_t pollReads(bool xmega) const
    {
        namespace xp = TWG::Converters::xmega;
        return xmega ? controls(xp::kGetMode, xp::kVendorInterfaceIn).size()
                     : controls(stm32::kClassGetBootMode, stm32::kClassInterfaceIn).size();
    }
};

} // namespace

TEST_F(ConnectionStateTest, Stm32BootModeDecidesAtTheFirstPollAndOnceASecond)
{
    struct Row {
        const char* name;
        std::function<void(platform::SimStm32State&)> shape;
        ConnectionState state;
    };
    const Row rows[] = {
        {"boot mode 0", [](platform::SimStm32State& s) { s.bootMode = 0; }, Connected},
        {"boot mode 1", [](platform::SimStm32State& s) { s.bootMode = 1; }, Connected},
        {"boot mode 10", [](platform::SimStm32State& s) { s.bootMode = 10; }, Connecting},
        {"boot mode 11", [](platform::SimStm32State& s) { s.bootMode = 11; }, Connecting},
        {"boot mode 255, unreadable", [](platform::SimStm32State& s) { s.answersIdentity = false; }, Connecting},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto state = stm32State();
        row.shape(*state);
        DeviceRef usb{open(attachStm32(state))};
        auto potential = std::make_shared<UsbPotentialDevice>(std::weak_ptr<ConnectionManager>(), usb.device);
        auto device = makeConnectedDevice<Stm32ZanthicConvertersConnectedDevice>(&owner, potential);
        QSignalSpy spy(device.get(), &ConnectedDevice::connectionStateChanged);
        EXPECT_EQ(device->connectionState(), Idle);
        ASSERT_TRUE(QTest::qWaitFor([&] { return device->connectionState() != Idle; }, 3000));
        EXPECT_EQ(device->connectionState(), row.state);
        // Polls that find the same state say nothing more.
        ASSERT_TRUE(QTest::qWaitFor([&] { return controls(0, 0xA1).size() >= 2 || !state->answersIdentity; }, 3000));
        EXPECT_EQ(states(spy), std::vector<int>{row.state});
    }
}

TEST_F(ConnectionStateTest, Stm32PollLetsATurnGoWhileAnUploadHoldsTheDevice)
{
    static constexpr int kHeldMs = 1500;
    auto state = stm32State();
    DeviceRef usb{open(attachStm32(state))};
    auto potential = std::make_shared<UsbPotentialDevice>(std::weak_ptr<ConnectionManager>(), usb.device);
    bus.clearTranscript(); // the identity it read as it was made
    // As a LUT upload's worker holds it for its data write.
    std::promise<void> held;
    std::thread upload([&potential, &held] {
        std::lock_guard<std::recursive_mutex> lock(potential->requestMutex());
        held.set_value();
        std::this_thread::sleep_for(std::chrono::milliseconds(kHeldMs));
    });
    held.get_future().wait();
    auto device = makeConnectedDevice<Stm32ZanthicConvertersConnectedDevice>(&owner, potential);
    QElapsedTimer turn;
    turn.start();
    QCoreApplication::processEvents(); // the first poll
    const qint64 took = turn.elapsed();
    const bool asked = !controls(0, 0xA1).empty();
    upload.join();
    EXPECT_LT(took, kHeldMs / 3) << "the GUI thread waited for the upload";
    EXPECT_FALSE(asked);
    EXPECT_EQ(device->connectionState(), Idle);
    ASSERT_TRUE(QTest::qWaitFor([&] { return device->connectionState() == Connected; }, 3000));
}

TEST_F(ConnectionStateTest, Stm32ChangesOfModeAreSignalledAndRemovalInterruptsForGood)
{
    auto state = stm32State();
    state->bootMode = 10;
    DeviceRef usb{open(attachStm32(state))};
    auto potential = std::make_shared<UsbPotentialDevice>(std::weak_ptr<ConnectionManager>(), usb.device);
    auto device = makeConnectedDevice<Stm32ZanthicConvertersConnectedDevice>(&owner, potential);
    QSignalSpy spy(device.get(), &ConnectedDevice::connectionStateChanged);
    ASSERT_TRUE(QTest::qWaitFor([&] { return device->connectionState() == Connecting; }, 3000));
    state->bootMode = 1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return device->connectionState() == Connected; }, 3000));
    owner.remove();
    EXPECT_EQ(device->connectionState(), Interrupted);
    // The device is gone: a later poll must not call it Connecting again.
    bus.detach(bus.listDevices().front().path);
    const std::size_t asked = controls(0, 0xA1).size();
    QTest::qWait(2200);
    EXPECT_EQ(device->connectionState(), Interrupted);
    EXPECT_EQ(controls(0, 0xA1).size(), asked) << "polled after the removal";
    EXPECT_EQ(states(spy), (std::vector<int>{Connecting, Connected, Interrupted}));
}

TEST_F(ConnectionStateTest, XmegaProbeBootloaderAndRemoval)
{
    {
        SCOPED_TRACE("application");
        auto state = xmegaState();
        DeviceRef usb{open(attachXmega(state))};
        auto potential = std::make_shared<XmegaUsbPotentialDevice>(std::weak_ptr<ConnectionManager>(), usb.device);
        auto device = makeConnectedDevice<XmegaZanthicConvertersConnectedDevice>(&owner, potential);
        QSignalSpy spy(device.get(), &ConnectedDevice::connectionStateChanged);
        ASSERT_TRUE(QTest::qWaitFor([&] { return device->connectionState() == Connected; }, 3000));
        platform::SimFault f;
        f.bmRequestType = 0xC1;
        f.bRequest = 0x53;
        bus.addFault(f);
        ASSERT_TRUE(QTest::qWaitFor([&] { return device->connectionState() == Connecting; }, 3000))
            << "a failed probe";
        ASSERT_TRUE(QTest::qWaitFor([&] { return device->connectionState() == Connected; }, 3000));
        owner.remove();
        QTest::qWait(1200);
        EXPECT_EQ(states(spy), (std::vector<int>{Connected, Connecting, Connected, Interrupted}));
    }
    {
        SCOPED_TRACE("bootloader");
        auto state = xmegaState();
        DeviceRef usb{open(attachXmega(state, true))};
        auto potential = std::make_shared<XmegaUsbPotentialDevice>(std::weak_ptr<ConnectionManager>(), usb.device);
        auto device = makeConnectedDevice<XmegaZanthicConvertersConnectedDevice>(&owner, potential);
        ASSERT_TRUE(QTest::qWaitFor([&] { return device->connectionState() == Interrupted; }, 3000));
        bus.clearTranscript();
        QTest::qWait(200);
        EXPECT_TRUE(controls(0x10, 0xC1).empty()) << "the bootloader is polled without pause";
    }
    {
        SCOPED_TRACE("not an XMEGA potential device");
        auto state = stm32State(0xBE90);
        DeviceRef usb{open(attachStm32(state))};
        auto potential = std::make_shared<UsbPotentialDevice>(std::weak_ptr<ConnectionManager>(), usb.device);
        auto device = makeConnectedDevice<XmegaZanthicConvertersConnectedDevice>(&owner, potential);
        QCoreApplication::processEvents();
        EXPECT_EQ(device->connectionState(), Interrupted);
        bus.clearTranscript();
        device->setHdmiClampEnable(true);
        EXPECT_FALSE(device->getHdmiClampEnable());
        EXPECT_TRUE(allControls().empty());
    }
}

TEST_F(ConnectionStateTest, TheOwnerIsForgottenWhenDestroyed)
{
    auto state = stm32State();
    DeviceRef usb{open(attachStm32(state))};
    auto potential = std::make_shared<UsbPotentialDevice>(std::weak_ptr<ConnectionManager>(), usb.device);
    auto owned = std::make_unique<FakeOwner>();
    auto device = makeConnectedDevice<Stm32ZanthicConvertersConnectedDevice>(owned.get(), potential);
    EXPECT_EQ(device->availableFirmwareVersion(), QStringLiteral("0000b6f1"));
    EXPECT_TRUE(device->isFirmwareUpdateAvailable());
    owned.reset();
    EXPECT_EQ(device->owner(), nullptr);
    EXPECT_EQ(device->availableFirmwareVersion(), QString());
    EXPECT_FALSE(device->isFirmwareUpdateAvailable());
    device->setDeviceName(QStringLiteral("Alone")); // no owner to tell
    EXPECT_EQ(state->text("DeviceName"), "Alone");
}

// A device that stops answering, its requests timed out (10 s on the STM32, 5 s on the XMEGA)
// or stalled: its polls go on reading it where no window waits, the card hears Connecting, and
// Connected again once it answers.
TEST_F(ConnectionStateTest, ADeviceThatStopsAnsweringIsPolledOffTheGuiThreadAndComesBack)
{
    struct Row {
        const char* name;
        bool xmega;
        platform::SimFaultAction action;
    };
    const Row rows[] = {
        {"STM32, timed out", false, platform::SimFaultAction::Timeout},
        {"STM32, stalled", false, platform::SimFaultAction::Stall},
        {"XMEGA, timed out", true, platform::SimFaultAction::Timeout},
        {"XMEGA, stalled", true, platform::SimFaultAction::Stall},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        GuiWatchedClock watched(kSlowerThanAPoll);
        platform::ClockOverride scaled(&watched);
        DeviceRef usb;
        const Opened o = connect(row.xmega, usb);
        QSignalSpy spy(o.device.get(), &ConnectedDevice::connectionStateChanged);
        ASSERT_TRUE(QTest::qWaitFor([&] { return o.device->connectionState() == Connected; }, 5000));

        failRequests(o.path, row.action, 1000);
        const std::size_t answered = pollReads(row.xmega);
        GuiTurns turns;
        ASSERT_TRUE(QTest::qWaitFor([&] { return o.device->connectionState() == Connecting; }, 10000));
        // Turns fell due while a read waited out its time-out; the polls went on after it.
        ASSERT_TRUE(QTest::qWaitFor([&] { return pollReads(row.xmega) >= answered + 2; }, 10000));
        EXPECT_LT(turns.longestGapMs(), 250);
        EXPECT_LT(watched.longestGuiSleepMs.load(), 250) << "the GUI thread waited out a request";

        bus.clearFaults();
        ASSERT_TRUE(QTest::qWaitFor([&] { return o.device->connectionState() == Connected; }, 10000));
        EXPECT_EQ(states(spy), (std::vector<int>{Connected, Connecting, Connected}));
    }
}

// What a poll read works on may go while the read waits on a device that does not answer: the
// card closes and lets go of its device, or the device is unplugged. Nothing waits for the read,
// what it finds later changes nothing, and it lets go of the device once done.
TEST_F(ConnectionStateTest, APollReadInFlightOutlivesWhatGoesMeanwhile)
{
    struct Row {
        const char* name;
        bool xmega;
        bool unplug; // else the card closes
    };
    const Row rows[] = {
        {"STM32, card closed", false, false},
        {"STM32, unplugged", false, true},
        {"XMEGA, card closed", true, false},
        {"XMEGA, unplugged", true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        GuiWatchedClock watched(kSlowerThanAPoll);
        platform::ClockOverride scaled(&watched);
        DeviceRef usb;
        Opened o = connect(row.xmega, usb);
        RecordingDelegate delegate;
        o.device->addDelegate(&delegate);
        QSignalSpy spy(o.device.get(), &ConnectedDevice::connectionStateChanged);
        ASSERT_TRUE(QTest::qWaitFor([&] { return o.device->connectionState() == Connected; }, 5000));

        failRequests(o.path, platform::SimFaultAction::Timeout, 1000);
        const std::size_t answered = pollReads(row.xmega);
        // A read has asked and now waits out its time-out (over a second here).
        ASSERT_TRUE(QTest::qWaitFor([&] { return pollReads(row.xmega) > answered; }, 5000));
        QElapsedTimer gone;
        gone.start();
        if (row.unplug) {
            owner.remove();
            ASSERT_TRUE(bus.detach(o.path));
        } else {
            o.device->removeDelegate(&delegate);
            o.device.reset();
        }
        o.potential.reset();
        usb.reset();
        QCoreApplication::processEvents();
        EXPECT_LT(gone.elapsed(), 250) << "the GUI thread waited for the read";
        EXPECT_GT(bus.liveObjects(), 0) << "the read holds the device it reads";

        ZanthicConvertersConnectedDevice::waitForPollReads();
        QCoreApplication::processEvents();
        if (row.unplug) {
            EXPECT_EQ(o.device->connectionState(), Interrupted);
            EXPECT_EQ(states(spy), (std::vector<int>{Connected, Interrupted})) << "the read's late Connecting";
            o.device.reset();
        }
        EXPECT_EQ(bus.liveObjects(), 0) << "the read kept the device";
        EXPECT_TRUE(delegate.heard.isEmpty());
        bus.clearFaults();
    }
}

// The program ends just as a read's end arrives: the read's thread object is then handed to the
// event loop running at the time, which the wait's own loop does not serve. The wait still ends.
TEST_F(ConnectionStateTest, TheWaitForPollReadsEndsWhenAReadEndedJustBefore)
{
    DeviceRef usb;
    Opened o = connect(false, usb);
    bool waited = false;
    QObject::connect(o.device.get(), &ConnectedDevice::connectionStateChanged, o.device.get(), [&waited] {
        if (waited)
            return;
        waited = true;
        // A wait that never ends would hold the test until CTest's time-out.
        QTimer never;
        never.setSingleShot(true);
        QObject::connect(&never, &QTimer::timeout, [] {
            std::fprintf(stderr, "the wait for the poll reads never ended\n");
            std::_Exit(EXIT_FAILURE);
        });
        never.start(10000);
        ZanthicConvertersConnectedDevice::waitForPollReads();
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return waited; }, 5000)) << "the first poll's state never came";
    o.device.reset();
    o.potential.reset();
    usb.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(bus.liveObjects(), 0);
}
