#include "XmegaSimFixture.h"

#include "converters/xmega/ConverterXmegaNotifier.h"
#include "converters/xmega/PoweredXmegaDevice.h"
#include "converters/xmega/XmegaBinaryLoader.h"
#include "converters/xmega/XmegaDeviceLoader.h"
#include "protocol/XmegaProtocol.h"
#include "tests/converters/support/DeviceChangeWindow.h"

#include <algorithm>

using namespace TWG::Converters;
using namespace xmegatest;

namespace {

constexpr int kOut = xmega::kVendorInterfaceOut;

using Window = convtest::DeviceChangeWindow<XmegaUSBNotifierBase>;

// Stands in for the converter notifier: a running load sees arrivals and removals first.
struct Family : ConverterXmegaNotifier::Delegate, XmegaBinaryLoader::Delegate {
    std::vector<std::shared_ptr<XmegaUSBDevice>> arrived;
    int removed = 0;
    XmegaBinaryLoader* loader = nullptr;
    std::vector<bool> finished;
    void xmegaDeviceArrived(std::shared_ptr<XmegaUSBDevice>& d) override
    {
        if (!(loader && loader->handleArrival(d)))
            arrived.push_back(d);
    }
    void xmegaDeviceRemoved(std::shared_ptr<XmegaUSBDevice>& d) override
    {
        if (!(loader && loader->handleRemoval(d)))
            ++removed;
    }
    void xmegaBinaryLoadFinished(XmegaBinaryLoader*, bool ok) override { finished.push_back(ok); }
};

class XmegaRestartCycle : public XmegaSimFixture {
protected:
    void TearDown() override
    {
        loader.reset();
        notifier.reset();
        family.arrived.clear();
        XmegaSimFixture::TearDown();
    }
    void startNotifier(bool restartOnce)
    {
        notifier = std::make_unique<ConverterXmegaNotifier>(&family);
        notifier->setRestartOnce(restartOnce);
        window.notifier = notifier.get();
        ASSERT_TRUE(notifier->create(window.id, 0));
        QCoreApplication::processEvents();
    }
    // The image stays alive for the whole load, as the loader expects.
    void startLoad(std::vector<std::uint8_t> bytes, std::uint32_t version)
    {
        ASSERT_EQ(family.arrived.size(), 1u);
        image = std::move(bytes);
        loader = std::make_unique<XmegaBinaryLoader>(image.data(), static_cast<std::uint32_t>(image.size()), version, &family);
        family.loader = loader.get();
        ASSERT_TRUE(loader->start(family.arrived[0]));
        family.arrived.clear();
    }

    Window window;
    Family family;
    std::unique_ptr<ConverterXmegaNotifier> notifier;
    std::vector<std::uint8_t> image;
    std::unique_ptr<XmegaBinaryLoader> loader;
};

} // namespace

TEST_F(XmegaRestartCycle, DeviceLoaderPreparesABlankDeviceAcrossItsRestarts)
{
    state->uuid.fill(0xFF);
    state->productId = 0xBD91;
    attach();
    XmegaDeviceLoader l(open());
    EXPECT_FALSE(l.run());
    EXPECT_TRUE(l.isPending());
    EXPECT_EQ(controls(xmega::kRestart, kOut).back().setup.wValue, xmega::kRestartBootloader);

    l.setDevice(open(reenumerated()));
    EXPECT_FALSE(l.run()) << l.error();
    EXPECT_TRUE(l.isPending());
    EXPECT_FALSE(std::all_of(state->uuid.begin(), state->uuid.end(), [](std::uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(controls(xmega::kProgramUuid, kOut).size(), 1u);
    EXPECT_EQ(state->productId, 0xBD86);
    EXPECT_EQ(controls(xmega::kEraseApplication, kOut).size(), 1u);

    l.setDevice(open(reenumerated()));
    EXPECT_TRUE(l.run()) << l.error();
    EXPECT_EQ(l.status(), "Finished, remember to program device using the correct device loader");
    EXPECT_EQ(controls(xmega::kProgramUuid, kOut).size(), 1u) << "a uuid is programmed once";
    EXPECT_EQ(l.identityWord(), static_cast<std::uint32_t>(state->uuid[0] << 24 | state->uuid[1] << 16 |
                                                            state->uuid[2] << 8 | state->uuid[3]));
    EXPECT_FALSE(l.hasError());
}

TEST_F(XmegaRestartCycle, DeviceLoaderFailureTexts)
{
    struct Row {
        int requestType;
        int request;
        const char* error;
    };
    const Row rows[] = {
        {xmega::kVendorDeviceIn, xmega::kGetUuid, "ERROR: Unable to read uuid"},
        {kOut, xmega::kProgramUuid, "ERROR: Unable to program uuid"},
        {kOut, xmega::kEraseApplication, "ERROR: Unable to set erase app binary"},
        {kOut, xmega::kSetIdentity, "ERROR: Unable to set device identity"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.error);
        state = std::make_shared<platform::SimXmegaState>();
        state->uuid.fill(0xFF); // blank: its uuid is programmed
        attach(true);
        platform::SimFault f;
        f.bmRequestType = row.requestType;
        f.bRequest = row.request;
        bus.addFault(f);
        XmegaDeviceLoader l(open());
        EXPECT_FALSE(l.run());
        EXPECT_FALSE(l.isPending());
        EXPECT_EQ(l.error(), row.error);
        bus.clearFaults();
        bus.detach(path);
        if (row.request == xmega::kGetUuid) {
            EXPECT_FALSE(l.run()) << "the device is gone";
            EXPECT_EQ(l.error(), "ERROR: Unable to read bootloader status");
        }
    }
}

TEST_F(XmegaRestartCycle, ApplicationLoadComesBackWithoutASpuriousRemoval)
{
    state->versionsAfterWrite = [](const std::vector<std::uint8_t>&) { return std::make_pair(5u, 5u); };
    attach();
    startNotifier(false);
    startLoad(pattern(5000), 5);
    EXPECT_EQ(loader->state(), XmegaBinaryLoader::WaitingForBootloader);

    reenumerated(); // into the bootloader: programmed and restarted on arrival
    EXPECT_EQ(loader->state(), XmegaBinaryLoader::WaitingForApplication);
    EXPECT_TRUE(family.finished.empty());
    reenumerated(); // back in the application
    ASSERT_EQ(family.finished, std::vector<bool>{true});
    EXPECT_TRUE(loader->succeeded());
    ASSERT_TRUE(loader->device());
    std::uint8_t mode = 1;
    EXPECT_TRUE(loader->device()->getMode(&mode));
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(family.removed, 0);
    EXPECT_TRUE(family.arrived.empty()) << "the load's own arrivals are not converters";
    EXPECT_TRUE(std::equal(image.begin(), image.end(), state->application.begin()));
}

TEST_F(XmegaRestartCycle, ApplicationLoadOutcomes)
{
    struct Row {
        const char* name;
        std::uint32_t versionA, versionB, expected;
        bool startInBootloader;
        bool ok;
    };
    const Row rows[] = {
        {"versions (5, 5) for 5", 5, 5, 5, false, true},
        {"versions (7, 8) never count as 7", 7, 8, 7, false, false},
        {"versions (8, 8) for 7", 8, 8, 7, false, false},
        {"already in the bootloader", 5, 5, 5, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        state = std::make_shared<platform::SimXmegaState>();
        const auto v = std::make_pair(row.versionA, row.versionB);
        state->versionsAfterWrite = [v](const std::vector<std::uint8_t>&) { return v; };
        attach(row.startInBootloader);
        startNotifier(false);
        startLoad(pattern(3000), row.expected);
        for (int i = 0; i < 3 && family.finished.empty(); ++i)
            reenumerated();
        ASSERT_EQ(family.finished.size(), 1u);
        EXPECT_EQ(family.finished[0], row.ok);
        EXPECT_EQ(bool(loader->device()), row.ok);
        EXPECT_EQ(family.removed, 0);
        family = Family();
        loader.reset();
        notifier.reset();
        for (const auto& d : bus.listDevices())
            bus.detach(d.path);
    }
}

TEST_F(XmegaRestartCycle, ApplicationLoadFailsWhenTheDeviceStaysAway)
{
    state->restartDelayMs = 120000;
    attach();
    startNotifier(false);
    startLoad(pattern(100), 1);
    clock.advance(platform::Clock::Duration(29000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(family.finished.empty());
    clock.advance(platform::Clock::Duration(1500));
    QCoreApplication::processEvents();
    ASSERT_EQ(family.finished, std::vector<bool>{false});
    EXPECT_FALSE(loader->isRunning());
    EXPECT_FALSE(loader->device());

    family.loader = nullptr;
    reenumerated(); // it comes back late: a plain arrival again
    EXPECT_EQ(family.arrived.size(), 1u);
}

TEST_F(XmegaRestartCycle, ArrivalOfAnotherDeviceIsNotTheLoaders)
{
    attach();
    auto other = std::make_shared<platform::SimXmegaState>();
    other->uuid.fill(0x42);
    other->productId = 0xBD92;
    startNotifier(false);
    startLoad(pattern(100), 1);
    bus.attach(platform::SimXmegaDevice::persona(other, true));
    QCoreApplication::processEvents();
    ASSERT_EQ(family.arrived.size(), 1u);
    EXPECT_TRUE(loader->isRunning());
    EXPECT_EQ(loader->state(), XmegaBinaryLoader::WaitingForBootloader);
}

TEST_F(XmegaRestartCycle, ApplicationLoadCannotStartOnAFailingDevice)
{
    attach();
    startNotifier(false);
    platform::SimFault f;
    f.bmRequestType = xmega::kVendorInterfaceOut;
    f.bRequest = xmega::kRestart;
    bus.addFault(f);
    ASSERT_EQ(family.arrived.size(), 1u);
    const auto bytes = pattern(10);
    XmegaBinaryLoader l(bytes.data(), 10, 1, &family);
    EXPECT_FALSE(l.start(family.arrived[0]));
    EXPECT_FALSE(l.isRunning());
    EXPECT_TRUE(family.finished.empty());
}

TEST_F(XmegaRestartCycle, RestartOnceTakesABootloaderDeviceToItsApplicationOnce)
{
    attach(true); // no application: it comes back in its bootloader
    startNotifier(true);
    EXPECT_TRUE(family.arrived.empty());
    ASSERT_EQ(notifier->restartedUuids().size(), 1u);
    EXPECT_EQ(controls(xmega::kRestart, kOut).size(), 1u);

    reenumerated();
    EXPECT_TRUE(family.arrived.empty()) << "not reported";
    EXPECT_EQ(controls(xmega::kRestart, kOut).size(), 1u) << "not restarted again";
    EXPECT_TRUE(notifier->restartedUuids().empty());
    EXPECT_EQ(family.removed, 0);
}

TEST_F(XmegaRestartCycle, ConverterTableMakesPoweredDevicesAndReportsRemovalOnce)
{
    state->productId = 0xBDF2;
    state->hasPowerRequest = true;
    state->powered = false;
    attach();
    auto blank = std::make_shared<platform::SimXmegaState>();
    blank->uuid.fill(0x33);
    blank->productId = 0xBD86;
    const std::string blankPath = bus.attach(platform::SimXmegaDevice::persona(blank, true));
    auto foreign = std::make_shared<platform::SimXmegaState>();
    foreign->productId = 0xBD15; // an FX2 converter's id
    bus.attach(platform::SimXmegaDevice::persona(foreign, false));
    startNotifier(false);
    EXPECT_EQ(notifier->entries().size(), 16u);
    ASSERT_EQ(family.arrived.size(), 2u);
    auto* powered = dynamic_cast<PoweredXmegaDevice*>(family.arrived[0].get());
    ASSERT_TRUE(powered);
    bool on = true;
    EXPECT_TRUE(powered->isPowered(&on));
    EXPECT_FALSE(on);
    EXPECT_FALSE(dynamic_cast<PoweredXmegaDevice*>(family.arrived[1].get()));
    EXPECT_EQ(family.arrived[1]->productId(), 0xBD86);

    bus.detach(path);
    QCoreApplication::processEvents();
    EXPECT_EQ(family.removed, 1);
    family.arrived.pop_back(); // nobody holds the blank device any more: its removal is silent
    bus.detach(blankPath);
    QCoreApplication::processEvents();
    EXPECT_EQ(family.removed, 1);
}

namespace {

// A table with two vendors, to show that only whole pairs count.
class TwoVendorNotifier : public XmegaUSBNotifierTemplate<XmegaUSBDevice> {
public:
    TwoVendorNotifier()
    {
        addProduct(0x7C5D, 0xBD91);
        addProduct(0x1111, 0xBD92);
    }
    std::vector<std::uint16_t> arrived;
    void handleDeviceArrived(std::shared_ptr<XmegaUSBDevice>& d) override { arrived.push_back(d->productId()); }
    void handleDeviceRemoved(std::shared_ptr<XmegaUSBDevice>&) override {}
};

} // namespace

TEST_F(XmegaRestartCycle, PairsOutsideTheTableAreIgnored)
{
    state->vendorId = 0x1111;
    state->productId = 0xBD91;
    attach();
    auto listed = std::make_shared<platform::SimXmegaState>();
    listed->vendorId = 0x1111;
    listed->productId = 0xBD92;
    bus.attach(platform::SimXmegaDevice::persona(listed, false));
    TwoVendorNotifier n;
    window.notifier = &n;
    ASSERT_TRUE(n.create(window.id, 0));
    QCoreApplication::processEvents();
    EXPECT_EQ(n.arrived, std::vector<std::uint16_t>{0xBD92});
    window.notifier = nullptr;
}

TEST_F(XmegaRestartCycle, ApplicationLoadFaultsEndFalseWithoutAHang)
{
    struct Row {
        const char* name;
        platform::SimFaultAction action;
        int request;
        int nth;
    };
    const Row rows[] = {
        {"block stalls", platform::SimFaultAction::Stall, xmega::kWriteApplication, 2},
        {"block times out", platform::SimFaultAction::Timeout, xmega::kWriteApplication, 1},
        {"unplug at the first block", platform::SimFaultAction::Unplug, xmega::kWriteApplication, 1},
        {"short versions answer", platform::SimFaultAction::Short, xmega::kGetVersions, 1},
        {"restart into the application refused", platform::SimFaultAction::Stall, xmega::kRestart, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        state = std::make_shared<platform::SimXmegaState>();
        state->versionsAfterWrite = [](const std::vector<std::uint8_t>&) { return std::make_pair(1u, 1u); };
        attach();
        startNotifier(false);
        platform::SimFault f;
        f.action = row.action;
        f.nth = row.nth;
        f.bRequest = row.request;
        bus.addFault(f);
        const platform::Clock::TimePoint started = clock.now();
        startLoad(pattern(5000), 1);
        for (int i = 0; i < 3 && family.finished.empty(); ++i)
            reenumerated();
        ASSERT_EQ(family.finished, std::vector<bool>{false});
        EXPECT_FALSE(loader->device());
        EXPECT_LT(clock.elapsedMs(started), 60000);
        family = Family();
        loader.reset();
        notifier.reset();
        bus.clearFaults();
        for (const auto& d : bus.listDevices())
            bus.detach(d.path);
    }
}
