// The program ends (the family's shutdown, as the window goes) in each stage of each kind of
// classic update: shutdown waits for the update to run to its end, nothing reaches the bus once
// it has returned, and every driver object is closed once the family is gone.
//
// The classic LUT upload holds the GUI thread for its whole length (no event loop turns, so no
// close can come in between); only the updates have stages to end in.

#include "FirmwareTestSupport.h"

#include "converters/fx2/Fx2ProductTable.h"
#include "kit/framework/DeviceFirmwareUpdater.h"
#include "platform/Clock.h"
#include "platform/emulator/DriverEmulator.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/models/fx2/SimFx2Running.h"
#include "platform/sim/models/xmega/SimXmegaDevice.h"
#include "plugins/converters/ConverterFamily.h"
#include "plugins/converters/VisibleConverter.h"
#include "plugins/converters/firmware/ConverterUpdateRecord.h"
#include "plugins/converters/firmware/FirmwareUpdateThread.h"
#include "plugins/converters/firmware/VisibleUSBFirmwareUpdater.h"
#include "protocol/At90Protocol.h"
#include "protocol/XmegaProtocol.h"
#include "tests/support/Gate.h"
#include "tools/sim-tree/SimFirmware.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <thread>

namespace {

namespace SimFirmware = TWG::Tools::SimFirmware;
namespace xmega = TWG::Converters::xmega;
using platform::SimRequest;
using platform::SimRequestKind;

bool isRestart(const SimRequest& r, std::uint16_t into)
{
    return r.kind == SimRequestKind::Control && r.setup.bmRequestType == xmega::kVendorInterfaceOut &&
           r.setup.bRequest == xmega::kRestart && r.setup.wValue == into;
}

struct Stage {
    const char* name;
    std::uint16_t product;
    // The stage begins with this request (what came before tells it apart, seen is all of it).
    std::function<bool(const SimRequest& r, const std::vector<SimRequest>& seen)> begins;
    // The update's thread is held at that request until shutdown waits; otherwise the stage is
    // a wait of the GUI side (the XMEGA application load) that shutdown is called in.
    bool onThread;
};

bool anyOf(const std::vector<SimRequest>& seen, const std::function<bool(const SimRequest&)>& p)
{
    return std::any_of(seen.begin(), seen.end(), p);
}

const Stage kStages[] = {
    {"Fx2Flash", 0xBD15, [](const SimRequest& r, const auto&) { return r.kind == SimRequestKind::Out; }, true},
    {"Fx2At90FlashStage", 0xBD2E, [](const SimRequest& r, const auto&) { return r.kind == SimRequestKind::Out; },
     true},
    {"Fx2At90At90Stage", 0xBD2E,
     [](const SimRequest& r, const auto&) {
         return r.kind == SimRequestKind::Control && r.setup.bRequest == TWG::Converters::at90::kRequestProgramPage;
     },
     true},
    {"XmegaWaitingForItsBootloader", 0xBD93,
     [](const SimRequest& r, const auto&) { return isRestart(r, xmega::kRestartBootloader); }, false},
    {"XmegaWaitingForItsApplication", 0xBD93,
     [](const SimRequest& r, const auto& seen) {
         return isRestart(r, xmega::kRestartApplication) &&
                anyOf(seen, [](const SimRequest& s) { return s.setup.bRequest == xmega::kWriteApplication; });
     },
     false},
    {"XmegaEeprom", 0xBD93, [](const SimRequest& r, const auto&) { return r.kind == SimRequestKind::Out; }, true},
};

void PrintTo(const Stage& s, std::ostream* out)
{
    *out << s.name;
}

// Moves virtual time on another thread while the GUI thread sits in shutdown's own loop: the
// converter's trips through its bootloader come only as time passes.
class Ticker {
public:
    explicit Ticker(platform::VirtualClock& clock)
        : thread_([this, &clock] {
              while (!stop_.load()) {
                  clock.advance(platform::Clock::Duration(10));
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
          })
    {
    }
    ~Ticker()
    {
        stop_.store(true);
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class ShutdownMidUpdate : public ::testing::TestWithParam<Stage> {
protected:
    static void SetUpTestSuite()
    {
        for (std::uint16_t id : {0xBD15, 0xBD2E, 0xBD93}) {
            std::string error;
            ASSERT_TRUE(SimFirmware::writePackage(id, fwtest::packageDirectory(), &error)) << error;
        }
    }
    ShutdownMidUpdate() { platform::DriverPort::setInstance(&emulator); }
    ~ShutdownMidUpdate() override
    {
        family.reset();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        platform::DriverPort::setInstance(nullptr);
        TWG::Converters::Fx2ProductTable::clearRamImages();
    }

    void plugIn(std::uint16_t product)
    {
        ConverterUpdateRecord::clear(product);
        if (product != 0xBD93) {
            platform::SimFx2Running::Options o;
            o.version = 0;
            o.versionAddress = SimFirmware::kFx2VersionAddress;
            if (product == 0xBD2E)
                o.at90 = platform::SimAt90::Options{};
            bus.attach(platform::SimFx2Running::create(platform::SimFx2Running::descriptors(0x7C5D, product), o));
            return;
        }
        xmegaState = std::make_shared<platform::SimXmegaState>();
        xmegaState->productId = product;
        xmegaState->versions[0] = xmegaState->versions[1] = 0;
        xmegaState->versionByte = 2;
        xmegaState->versionsAfterWrite = [](const std::vector<std::uint8_t>&) {
            return std::make_pair(SimFirmware::kXmegaChecksum, SimFirmware::kXmegaChecksum);
        };
        bus.attach(platform::SimXmegaDevice::persona(xmegaState, false));
    }

    // Time moves on this side unless an update thread runs, which moves it itself.
    bool settle(const std::function<bool()>& done, VisibleUSBFirmwareUpdater* updater = nullptr)
    {
        return fwtest::waitUntil(
            [&] {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                return done();
            },
            20000,
            [&] {
                if (!updater || !updater->thread()->isRunning())
                    clock.advance(platform::Clock::Duration(10));
            });
    }

    VisibleConverter* converter(std::uint16_t product) const
    {
        for (VisibleConverter* c : family->converters())
            if (c->productId() == product)
                return c;
        return nullptr;
    }

    platform::VirtualClock clock;
    platform::ClockOverride clockOverride{&clock};
    platform::SimBackend bus;
    platform::DriverEmulator emulator{bus};
    QWidget host;
    std::unique_ptr<ConverterFamily> family;
    std::shared_ptr<platform::SimXmegaState> xmegaState;
};

TEST_P(ShutdownMidUpdate, WaitsForTheUpdatesEndThenNothingTouchesTheBus)
{
    const Stage& stage = GetParam();
    plugIn(stage.product);
    family = std::make_unique<ConverterFamily>(&host);
    family->startDeviceDetection();
    ASSERT_TRUE(settle([&] { return converter(stage.product) != nullptr; }));
    auto* updater = static_cast<VisibleUSBFirmwareUpdater*>(converter(stage.product)->firmwareUpdater());
    ASSERT_FALSE(updater->firmwareIsCurrent());
    std::vector<int> reports;
    QObject::connect(updater, &DeviceFirmwareUpdater::firmwareUpdated, &host,
                     [&reports](int status) { reports.push_back(status); });

    Gate gate;
    auto reached = std::make_shared<std::atomic<bool>>(false);
    platform::SimFault hold;
    hold.match = [&, reached, opened = gate.future](const SimRequest& r) {
        if (reached->load() || !stage.begins(r, bus.transcript()))
            return false;
        reached->store(true);
        if (stage.onThread)
            opened.wait();
        return false;
    };
    bus.addFault(hold);
    updater->startUpdate();
    ASSERT_TRUE(settle([&] { return reached->load(); }, updater)) << "the stage never came";
    ASSERT_TRUE(family->isUpdating());
    ASSERT_TRUE(reports.empty());
    EXPECT_FALSE(family->canClose());

    {
        Ticker ticker(clock);
        if (stage.onThread)
            QTimer::singleShot(20, &host, [&] { gate.release(); });
        family->shutdown();
    }
    EXPECT_EQ(reports, std::vector<int>{DeviceFirmwareUpdater::Succeeded}) << "shutdown returned mid-update";
    EXPECT_FALSE(updater->thread()->isRunning());
    EXPECT_FALSE(family->isUpdating());
    if (xmegaState) {
        EXPECT_EQ(xmegaState->versions[0], SimFirmware::kXmegaChecksum) << "the application was not loaded";
        EXPECT_TRUE(xmegaState->violations.empty());
    }

    // As the window goes: shutdown, then the family, with no turn of the event loop between.
    const std::size_t requests = bus.transcript().size();
    family.reset();
    for (int t = 0; t < 5000; t += 10) {
        clock.advance(platform::Clock::Duration(10));
        QCoreApplication::processEvents();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(bus.transcript().size(), requests) << "a request after shutdown returned";
    EXPECT_EQ(bus.liveObjects(), 0) << "a driver object was left open";
}

INSTANTIATE_TEST_SUITE_P(EachStage, ShutdownMidUpdate, ::testing::ValuesIn(kStages),
                         [](const ::testing::TestParamInfo<Stage>& info) { return std::string(info.param.name); });

} // namespace
