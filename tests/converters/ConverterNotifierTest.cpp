#include "converters/fx2/Fx2ProductTable.h"
#include "converters/xmega/ConverterXmegaNotifier.h"
#include "converters/IConverterXmegaProgramming.h"
#include "platform/sim/SimScenario.h"
#include "platform/sim/models/fx2/SimFx2Blank.h"
#include "platform/sim/models/xmega/SimXmegaApplication.h"
#include "protocol/ConverterIds.h"
#include "protocol/XmegaProtocol.h"
#include "tools/sim-tree/SimFirmware.h"
#include "usb/package/FirmwareFileLocation.h"

#include "support/CapabilityRows.h"
#include "support/ConverterSimFixture.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cctype>
#include <map>
#include <set>

using namespace convtest;
using TWG::Converters::IConverter;
using BinaryLoad = TWG::Converters::XmegaLoaderNotifier::BinaryLoad;

namespace {

const Row* rowOf(std::uint16_t product)
{
    for (const Row& r : kRows)
        if (r.product == product)
            return &r;
    return nullptr;
}

// A minimal FX2 RAM image: one data record, then the end record.
std::vector<std::uint8_t> ramImage()
{
    return {4, 0x00, 0x10, 0, 0xDE, 0xAD, 0xBE, 0xEF, 0x5A, 0, 0x00, 0x00, 1, 0xFF};
}

struct LoadDelegate : TWG::Converters::XmegaLoaderNotifier::LoadXmegaBinaryDelegate {
    std::vector<std::pair<IConverter*, bool>> heard;
    void onXmegaBinaryLoaded(IConverter* c, bool ok) override { heard.emplace_back(c, ok); }
};

// An application that acknowledges restart requests and ignores them.
class DeafToRestarts : public platform::SimXmegaApplication {
public:
    using SimXmegaApplication::SimXmegaApplication;

protected:
    platform::UsbStatus classOrVendorRequest(const platform::UsbSetup& setup, std::vector<std::uint8_t>& data) override
    {
        if (setup.bmRequestType == 0x41 && setup.bRequest == 0x12)
            return platform::UsbStatus::Success;
        return SimXmegaApplication::classOrVendorRequest(setup, data);
    }
};

class ConverterNotifierTest : public ConverterSimFixture {};

} // namespace

TEST_F(ConverterNotifierTest, AnnouncesEveryProductIdWithTheCapabilitiesOfItsRow)
{
    std::set<std::uint16_t> expected;
    for (std::uint16_t id : TWG::Converters::Fx2ProductTable::productIds()) {
        attachFx2(id);
        expected.insert(id);
    }
    for (std::uint16_t id : TWG::Converters::ids::kXmegaProductIds) {
        attachXmega(id);
        expected.insert(id);
    }
    start();
    run(100);

    std::set<std::uint16_t> seen;
    for (IConverter* c : family.arrived) {
        std::uint16_t ids[2] = {};
        ASSERT_TRUE(c->getDeviceIds(ids));
        EXPECT_TRUE(seen.insert(ids[0]).second) << std::hex << ids[0] << " announced twice";
        const Row* row = rowOf(ids[0]);
        ASSERT_TRUE(row) << std::hex << ids[0];
        SCOPED_TRACE(std::to_string(ids[0]));
        expectCapabilities(*c, *row);
        EXPECT_EQ(c->isXmega(), ids[0] >= 0xBD91 && ids[0] != 0xBDCF && ids[0] != 0xBDD0);
        EXPECT_EQ(c->getFX2Programming() != nullptr, !c->isXmega());
        EXPECT_EQ(c->getXmegaProgramming() != nullptr, c->isXmega());
        QString name;
        EXPECT_TRUE(c->getModelName(&name));
        EXPECT_TRUE(c->ping());
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(notifier->converterCount(), expected.size());

    // Removals are reported once each, with the converter that arrived.
    const auto devices = bus.listDevices();
    for (const auto& d : devices)
        bus.detach(d.path);
    run(50);
    EXPECT_EQ(family.removed.size(), expected.size());
    EXPECT_EQ(std::set<IConverter*>(family.removed.begin(), family.removed.end()),
              std::set<IConverter*>(family.arrived.begin(), family.arrived.end()));
    EXPECT_EQ(notifier->converterCount(), 0u);
}

TEST_F(ConverterNotifierTest, OnlyOneNotifierPerProcessAndStartOnlyOnce)
{
    start();
    EXPECT_FALSE(TWG::Converters::ConverterNotifier::create());
    EXPECT_FALSE(notifier->start(&family, window.id));
    notifier.reset();
    auto again = TWG::Converters::ConverterNotifier::create();
    EXPECT_TRUE(again) << "a notifier may be made again once the first is gone";
}

TEST_F(ConverterNotifierTest, AnFx2WithoutFirmwareIsReportedOnceItRunsItsRamImage)
{
    ASSERT_TRUE(TWG::Converters::Fx2ProductTable::setRamImage(0xBD2E, ramImage()));
    auto blank = std::make_shared<platform::SimFx2Blank>(0x7C5D, 0xBD2E, [] {
        return platform::SimFx2Running::create(platform::SimFx2Running::descriptors(0x7C5D, 0xBD2E), {});
    });
    bus.attach(blank);
    start();
    EXPECT_TRUE(family.arrived.empty()) << "a controller without firmware is never a converter";
    run(500);
    ASSERT_EQ(family.arrived.size(), 1u);
    EXPECT_EQ(blank->ram()[0x10], 0xDE);
    EXPECT_EQ(blank->ram()[0x13], 0xEF);
    EXPECT_EQ(blank->cpucsWrites(), (std::vector<std::uint8_t>{1, 0}));
    EXPECT_TRUE(family.removed.empty());
    std::uint16_t ids[1] = {};
    EXPECT_TRUE(family.arrived[0]->getDeviceIds(ids));
    EXPECT_EQ(ids[0], 0xBD2E);
}

TEST_F(ConverterNotifierTest, ABlankControllerGetsTheRamImageTheSimulationTreeWroteIntoTheFirmwareFolder)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string directory = QFile::encodeName(folder.path()).toStdString();
    TWG::USB::setFirmwareDirectory(directory);
    struct Unset {
        ~Unset() { TWG::USB::setFirmwareDirectory(""); }
    } unset;
    auto attachBlank = [this] {
        auto blank = std::make_shared<platform::SimFx2Blank>(0x7C5D, 0xBD17, [] {
            return platform::SimFx2Running::create(platform::SimFx2Running::descriptors(0x7C5D, 0xBD17), {});
        });
        bus.attach(blank);
        return blank;
    };

    // A folder without the file, as the shipped tree: nothing is downloaded, nothing arrives.
    auto bare = attachBlank();
    start();
    run(500);
    EXPECT_TRUE(family.arrived.empty());
    EXPECT_TRUE(bare->cpucsWrites().empty());
    bus.detach(bus.listDevices().at(0).path);
    run(50);

    std::string error;
    ASSERT_TRUE(TWG::Tools::SimFirmware::writeFx2RamImage(0xBD17, directory, &error)) << error;
    EXPECT_TRUE(QFile::exists(folder.filePath(QStringLiteral("fx2ram-bd17.bin"))));
    auto blank = attachBlank();
    run(500);
    ASSERT_EQ(family.arrived.size(), 1u);
    const std::vector<std::uint8_t> image = TWG::Tools::SimFirmware::fx2RamImage();
    EXPECT_EQ(blank->ram()[0], image[4]);
    EXPECT_EQ(blank->ram()[1], image[5]);
    EXPECT_EQ(blank->cpucsWrites(), (std::vector<std::uint8_t>{1, 0}));
}

TEST_F(ConverterNotifierTest, LoadXmegaBinaryBringsTheConverterBackWithoutARemoval)
{
    auto state = attachXmega(0xBD93);
    state->versions[0] = state->versions[1] = 4;
    state->versionsAfterWrite = [](const std::vector<std::uint8_t>&) { return std::make_pair(5u, 5u); };
    start();
    IConverter* converter = only();
    ASSERT_TRUE(converter);
    const std::vector<std::uint8_t> image(3000, 0x3C);
    LoadDelegate delegate;

    // Already at the version: nothing to do, no restart.
    EXPECT_EQ(notifier->loadXmegaBinary(converter, image.data(), 4000, 4, &delegate), BinaryLoad::NotNeeded);
    EXPECT_EQ(state->restarts, 0);
    // Without an image the bootloader would erase the application for nothing.
    EXPECT_EQ(notifier->loadXmegaBinary(converter, nullptr, 0, 5, &delegate), BinaryLoad::Failed);
    EXPECT_EQ(notifier->loadXmegaBinary(converter, image.data(), 0, 5, &delegate), BinaryLoad::Failed);
    EXPECT_EQ(state->restarts, 0);

    ASSERT_EQ(notifier->loadXmegaBinary(converter, image.data(), static_cast<std::uint32_t>(image.size()), 5,
                                        &delegate),
              BinaryLoad::Started);
    EXPECT_EQ(notifier->loadXmegaBinary(converter, image.data(), 3000, 5, &delegate), BinaryLoad::Failed)
        << "one load at a time";
    run(2000);
    ASSERT_EQ(delegate.heard.size(), 1u);
    EXPECT_EQ(delegate.heard[0], std::make_pair(converter, true));
    EXPECT_EQ(family.arrived.size(), 1u) << "the converter's trips are no arrivals";
    EXPECT_TRUE(family.removed.empty()) << "nor removals";
    EXPECT_TRUE(std::equal(image.begin(), image.end(), state->application.begin()));
    int version = 0;
    EXPECT_TRUE(converter->getFirmwareVersion(&version));
    EXPECT_EQ(version, 5);
    EXPECT_FALSE(notifier->isLoadingXmegaBinary());

    // The converter lives on in the new device: settings reach it, and its removal is reported.
    EXPECT_TRUE(converter->setAudioGain1(77));
    EXPECT_EQ(state->memory[20], 77);
    for (const auto& d : bus.listDevices())
        bus.detach(d.path);
    run(20);
    EXPECT_EQ(family.removed, std::vector<IConverter*>{converter});
}

// The converter that left for its bootloader is reported gone, and the device it left there
// arrives as a converter again.
TEST_F(ConverterNotifierTest, AFailedLoadReportsFailureAndThenTheRemoval)
{
    auto state = attachXmega(0xBD91);
    state->versionsAfterWrite = [](const std::vector<std::uint8_t>&) { return std::make_pair(7u, 8u); };
    start();
    IConverter* converter = only();
    ASSERT_TRUE(converter);
    const std::vector<std::uint8_t> image(512, 0x11);
    LoadDelegate delegate;
    ASSERT_EQ(notifier->loadXmegaBinary(converter, image.data(), 512, 7, &delegate), BinaryLoad::Started);
    run(2000);
    ASSERT_EQ(delegate.heard.size(), 1u);
    EXPECT_EQ(delegate.heard[0], std::make_pair(converter, false));
    EXPECT_EQ(family.removed, std::vector<IConverter*>{converter});
    EXPECT_EQ(family.arrived.size(), 2u);
    EXPECT_EQ(notifier->converterCount(), 1u);
}

TEST_F(ConverterNotifierTest, ALoadWhoseDeviceNeverLeavesFailsButKeepsTheConverter)
{
    auto state = std::make_shared<platform::SimXmegaState>();
    state->productId = 0xBD93;
    bus.attach(std::make_shared<DeafToRestarts>(state));
    start();
    IConverter* converter = only();
    ASSERT_TRUE(converter);
    const std::vector<std::uint8_t> image(512, 0x11);
    LoadDelegate delegate;
    // The restart into the bootloader is lost: the device stays in its application.
    ASSERT_EQ(notifier->loadXmegaBinary(converter, image.data(), 512, 9, &delegate), BinaryLoad::Started);
    run(31000, 500);
    ASSERT_EQ(delegate.heard.size(), 1u);
    EXPECT_FALSE(delegate.heard[0].second);
    EXPECT_TRUE(family.removed.empty()) << "the converter is still plugged in";
    EXPECT_TRUE(converter->ping());
}

namespace {

platform::SimFault faultOn(platform::SimFaultAction action, const std::string& path, int requestType, int request,
                           int nth = 1)
{
    platform::SimFault f;
    f.action = action;
    f.kind = platform::SimRequestKind::Control;
    f.path = path;
    f.bmRequestType = requestType;
    f.bRequest = request;
    f.nth = nth;
    return f;
}

const char* actionName(platform::SimFaultAction a) { return a == platform::SimFaultAction::Stall ? "stall" : "timeout"; }

std::size_t restartsInto(const platform::SimBackend& bus, int wValue)
{
    std::size_t n = 0;
    for (const platform::SimRequest& r : convtest::controls(bus, 0x12, 0x41))
        n += r.setup.wValue == wValue ? 1 : 0;
    return n;
}

// A request of the trip through the bootloader that fails, and where the device is left.
struct TripFault {
    const char* name;
    const char* path; // sim:1 the application, sim:2 the bootloader, sim:3 the application again
    int requestType;
    int request;
    int nth;
    bool leftInBootloader;
};

void PrintTo(const TripFault& trip, std::ostream* os) { *os << trip.name; }

const TripFault kTripFaults[] = {
    {"bootloader mode read", "sim:2", 0xC1, 0x10, 2, true}, // the first is the open's
    {"application erase", "sim:2", 0x41, 0x04, 1, true},
    {"application write", "sim:2", 0x41, 0x05, 1, true},
    {"versions after the write", "sim:2", 0xC1, 0x11, 1, true},
    {"restart into the application", "sim:2", 0x41, 0x12, 1, true},
    {"mode read back in the application", "sim:3", 0xC1, 0x10, 2, false},
};

class ConverterNotifierTrip
    : public ConverterSimFixture,
      public ::testing::WithParamInterface<std::tuple<TripFault, platform::SimFaultAction>> {};

} // namespace

// Whatever request of the trip fails, the load reports failure and the converter is seen again
// where it was left, without a replug. Left in its bootloader, it is not current and its next
// load writes the application at once, even when the image there is current already.
TEST_P(ConverterNotifierTrip, AConverterTheLoadGaveUpOnIsSeenAgainAndLoadsFromScratch)
{
    const TripFault& trip = std::get<0>(GetParam());
    auto state = attachXmega(0xBD91);
    state->versions[0] = state->versions[1] = 4;
    state->versionsAfterWrite = [](const std::vector<std::uint8_t>&) { return std::make_pair(5u, 5u); };
    start();
    IConverter* converter = only();
    ASSERT_TRUE(converter);
    ASSERT_EQ(bus.listDevices().at(0).path, "sim:1");
    bus.addFault(faultOn(std::get<1>(GetParam()), trip.path, trip.requestType, trip.request, trip.nth));
    const std::vector<std::uint8_t> image(3000, 0x3C);
    LoadDelegate delegate;
    ASSERT_EQ(notifier->loadXmegaBinary(converter, image.data(), 3000, 5, &delegate), BinaryLoad::Started);
    run(40000, 100);
    ASSERT_EQ(delegate.heard.size(), 1u);
    EXPECT_EQ(delegate.heard[0], std::make_pair(converter, false));
    EXPECT_EQ(family.removed, std::vector<IConverter*>{converter});
    ASSERT_EQ(family.arrived.size(), 2u) << "the converter is seen again";
    ASSERT_EQ(bus.listDevices().size(), 1u);
    auto device = std::dynamic_pointer_cast<platform::SimXmegaDevice>(bus.device(bus.listDevices().at(0).path));
    ASSERT_TRUE(device);
    ASSERT_EQ(device->isBootloader(), trip.leftInBootloader);

    IConverter* again = family.arrived[1];
    bus.clearFaults();
    int version = 0;
    if (!trip.leftInBootloader) {
        EXPECT_TRUE(again->getXmegaProgramming()->getFirmwareVersion(&version));
        EXPECT_EQ(version, 5);
        EXPECT_EQ(notifier->loadXmegaBinary(again, image.data(), 3000, 5, &delegate), BinaryLoad::NotNeeded);
        return;
    }
    EXPECT_FALSE(again->getXmegaProgramming()->getFirmwareVersion(&version)) << "no application runs";
    state->versions[0] = state->versions[1] = 5;
    std::fill(state->application.begin(), state->application.end(), 0xFF);
    const std::size_t intoBootloader = restartsInto(bus, 1);
    ASSERT_EQ(notifier->loadXmegaBinary(again, image.data(), 3000, 5, &delegate), BinaryLoad::Started);
    run(2000);
    ASSERT_EQ(delegate.heard.size(), 2u);
    EXPECT_EQ(delegate.heard[1], std::make_pair(again, true));
    EXPECT_EQ(restartsInto(bus, 1), intoBootloader) << "programmed at once";
    EXPECT_TRUE(std::equal(image.begin(), image.end(), state->application.begin()));
    EXPECT_TRUE(again->getXmegaProgramming()->getFirmwareVersion(&version));
    EXPECT_EQ(version, 5);
    EXPECT_EQ(family.arrived.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(EveryTripRequest, ConverterNotifierTrip,
                         ::testing::Combine(::testing::ValuesIn(kTripFaults),
                                            ::testing::Values(platform::SimFaultAction::Stall,
                                                              platform::SimFaultAction::Timeout)),
                         [](const auto& info) {
                             std::string name = std::string(std::get<0>(info.param).name) + " " +
                                                actionName(std::get<1>(info.param));
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// A load that cannot start is a failure, never "nothing to load": the update would go on to
// program the EEPROM behind the old application.
TEST_F(ConverterNotifierTest, ALoadThatCannotStartFailsAndKeepsTheConverter)
{
    auto state = attachXmega(0xBD93);
    state->versions[0] = state->versions[1] = 4;
    start();
    IConverter* converter = only();
    ASSERT_TRUE(converter);
    const std::vector<std::uint8_t> image(512, 0x11);
    for (const convtest::LoadStartRequest& c : convtest::kLoadStartRequests)
        for (auto action : {platform::SimFaultAction::Stall, platform::SimFaultAction::Timeout}) {
            SCOPED_TRACE(std::string(c.name) + " " + actionName(action));
            bus.addFault(faultOn(action, "sim:1", c.requestType, c.request));
            LoadDelegate delegate;
            EXPECT_EQ(notifier->loadXmegaBinary(converter, image.data(), 512, 5, &delegate), BinaryLoad::Failed);
            EXPECT_FALSE(notifier->isLoadingXmegaBinary());
            run(100);
            bus.clearFaults();
            EXPECT_TRUE(delegate.heard.empty());
            EXPECT_TRUE(family.removed.empty());
            EXPECT_EQ(state->restarts, 0);
            EXPECT_TRUE(converter->ping());
        }
}

// A converter just back from a restart that does not answer at once is tried again.
TEST_F(ConverterNotifierTest, AFailedOpenIsTriedAgain)
{
    for (auto action : {platform::SimFaultAction::Stall, platform::SimFaultAction::Timeout}) {
        SCOPED_TRACE(actionName(action));
        if (!notifier)
            start();
        auto state = attachXmega(0xBD93);
        const std::string path = bus.listDevices().back().path;
        // Two failed attempts in a row; the third opens it.
        bus.addFault(faultOn(action, path, 0xC1, 0x10));
        bus.addFault(faultOn(action, path, 0xC1, 0x10));
        const std::size_t before = family.arrived.size();
        run(100);
        ASSERT_EQ(family.arrived.size(), before + 1);
        EXPECT_TRUE(family.arrived.back()->ping());
        bus.clearFaults();
    }
}

// A device that cannot be started or opened keeps no connection, so it can be tried again.
TEST_F(ConverterNotifierTest, ADeviceThatCannotBeStartedOrOpenedIsLetGo)
{
    // An FX2 whose bulk interface is missing, an XMEGA whose mode read always stalls.
    platform::SimDescriptors noPipes = platform::SimFx2Running::descriptors(0x7C5D, 0xBD2E);
    noPipes.configurations[0].interfaces[0].endpoints.clear();
    bus.attach(platform::SimFx2Running::create(noPipes, {}));
    auto state = attachXmega(0xBD93);
    for (int i = 1; i <= TWG::Converters::xmega::kOpenAttempts; ++i)
        bus.addFault(faultOn(platform::SimFaultAction::Stall, "sim:2", 0xC1, 0x10, 1));
    start();
    run(2000);
    EXPECT_TRUE(family.arrived.empty());
    EXPECT_EQ(bus.listDevices().size(), 2u);
    EXPECT_EQ(bus.liveObjects(), 0) << "no notifier keeps what it could not use";
    EXPECT_EQ(controls(0x10, 0xC1).size(), std::size_t(TWG::Converters::xmega::kOpenAttempts));
}

// Each arrival goes to the XMEGA notifier only when the FX2 notifier did not take it: it would
// otherwise open a device the FX2 notifier holds.
TEST_F(ConverterNotifierTest, AHotPluggedFx2IsNotOpenedByTheXmegaNotifier)
{
    start();
    testing::internal::CaptureStderr();
    attachFx2(0xBD2E);
    attachXmega(0xBD91);
    run(100);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find("ConnectToDriverWithPath failed"), std::string::npos) << err;
    ASSERT_EQ(family.arrived.size(), 2u);
    EXPECT_FALSE(family.arrived[0]->isXmega());
    EXPECT_TRUE(family.arrived[1]->isXmega());
}

// Found in its bootloader (power request and memory reads stall there): powered, so its card
// opens; not current; its load writes at once and starts the application.
TEST_F(ConverterNotifierTest, AConverterFoundInItsBootloaderOpensAndLoadsAtOnce)
{
    for (std::uint16_t product : {std::uint16_t(0xBDF2), std::uint16_t(0xBD93)}) {
        SCOPED_TRACE(product);
        notifier.reset();
        family = Family();
        for (const auto& d : bus.listDevices())
            bus.detach(d.path);
        auto state = attachXmega(product, true);
        state->versions[0] = state->versions[1] = 6;
        start();
        IConverter* converter = only();
        ASSERT_TRUE(converter);
        bool powered = false;
        EXPECT_TRUE(converter->isPowered(&powered));
        EXPECT_TRUE(powered);
        int version = 0;
        EXPECT_FALSE(converter->getXmegaProgramming()->getFirmwareVersion(&version));
        const std::vector<std::uint8_t> image(700, 0x5A);
        LoadDelegate delegate;
        ASSERT_EQ(notifier->loadXmegaBinary(converter, image.data(), 700, 6, &delegate), BinaryLoad::Started);
        run(2000);
        ASSERT_EQ(delegate.heard.size(), 1u);
        EXPECT_EQ(delegate.heard[0], std::make_pair(converter, true));
        EXPECT_EQ(restartsInto(bus, 1), 0u);
        EXPECT_TRUE(std::equal(image.begin(), image.end(), state->application.begin()));
        EXPECT_TRUE(converter->getXmegaProgramming()->getFirmwareVersion(&version));
        EXPECT_EQ(version, 6);
    }
}
