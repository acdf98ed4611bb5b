#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/device/Stm32ConnectedDevice.h"
#include "plugins/zanthic/device/XmegaConnectedDevice.h"
#include "plugins/zanthic/device/XmegaUsbPotentialDevice.h"

#include "tests/plugins/zanthic/ZanthicSimFixture.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <chrono>
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
};

} // namespace

TEST_F(ConnectionStateTest, Stm32BootModeDecidesOnTheFirstTurnAndOnceASecond)
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
        QCoreApplication::processEvents();
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
    QCoreApplication::processEvents();
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
        QCoreApplication::processEvents();
        EXPECT_EQ(device->connectionState(), Connected);
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
        QCoreApplication::processEvents();
        EXPECT_EQ(device->connectionState(), Interrupted);
        bus.clearTranscript();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
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
