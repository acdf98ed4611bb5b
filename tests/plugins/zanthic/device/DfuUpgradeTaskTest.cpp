#include "UpdateFixture.h"

#include "platform/sim/models/stm32/SimStm32Bootloader.h"
#include "plugins/zanthic/device/DfuUpgradeTask.h"
#include "protocol/DfuProtocol.h"
#include "protocol/Stm32Protocol.h"
#include "protocol/ZanthicFirmwareIds.h"
#include "tests/support/FaultSweep.h"
#include "tools/package-writer/PackageWriter.h"
#include "tools/sim-tree/SimFirmware.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <ostream>

using namespace zanthictest;
using namespace TWG::Zanthic;
using platform::SimFault;
using platform::SimFaultAction;
namespace Dfu = TWG::Dfu;
namespace SimFirmware = TWG::Tools::SimFirmware;

namespace {

constexpr std::uint16_t kProduct = 0xBE6F;
const QString kSerial = QStringLiteral("5a4e0001abcd");

// bmAttributes of the four DFU 1.1 variants, each able to download.
constexpr std::uint8_t kBoth =
    Dfu::kAttributeWillDetach | Dfu::kAttributeManifestationTolerant | Dfu::kAttributeCanDnload;
constexpr std::uint8_t kTolerantOnly = Dfu::kAttributeManifestationTolerant | Dfu::kAttributeCanDnload;
constexpr std::uint8_t kWillDetachOnly = Dfu::kAttributeWillDetach | Dfu::kAttributeCanDnload;
constexpr std::uint8_t kNeither = Dfu::kAttributeCanDnload;

bool willDetach(std::uint8_t attributes) { return (attributes & Dfu::kAttributeWillDetach) != 0; }

// Whether the host owes the device a bus reset once it has manifested: a tolerant device back
// in dfuIDLE gets one when it cannot detach by itself, a device in dfuMANIFEST-WAIT-RESET unless
// it detaches by itself there, which a tolerant one does not.
bool resetAfterManifestation(const platform::SimStm32Dfu& d)
{
    const bool tolerant = (d.attributes & Dfu::kAttributeManifestationTolerant) != 0;
    if (tolerant && !d.waitResetAfterManifest)
        return !willDetach(d.attributes);
    return !(willDetach(d.attributes) && !tolerant);
}

bool isGetStatus(const SimRequest& r)
{
    return r.kind == SimRequestKind::Control && r.setup.bmRequestType == Dfu::kRequestIn &&
           r.setup.bRequest == Dfu::kGetStatus;
}

bool isFinalDnload(const SimRequest& r)
{
    return r.kind == SimRequestKind::Control && r.setup.bmRequestType == Dfu::kRequestOut &&
           r.setup.bRequest == Dfu::kDnload && r.setup.wLength == 0;
}

class DfuFixture : public UpdateFixture {
protected:
    ~DfuFixture() override { platform::setClock(&scaled); }

    // A device without willDetach waits at most wDetachTimeOut (1000 ms) for the bus reset
    // after DETACH: 10 ms at the fixture's pace, too short to hold on a loaded machine.
    void paceFor(std::uint8_t attributes)
    {
        if (!willDetach(attributes))
            platform::setClock(&slower_);
    }

    std::vector<std::uint8_t> image() const { return SimFirmware::images(kProduct).front().data; }

    void writePackage(bool damaged)
    {
        std::string error;
        if (!damaged) {
            ASSERT_TRUE(SimFirmware::writePackage(kProduct, folder.path().toStdString(), &error)) << error;
            return;
        }
        // An image stored compressed whose deflate stream is broken: the package reads, its
        // entry does not inflate.
        namespace Format = TWG::USB::PackageFormat;
        TWG::Tools::PackageWriter writer;
        TWG::Tools::PackageSection section;
        section.compress = true;
        section.data.assign(8192, 0x11);
        TWG::Tools::PackageEntryRecord record;
        record.key = Format::productKey(kProduct);
        section.entries.push_back(record);
        writer.addSection(section);
        std::vector<std::uint8_t> raw;
        ASSERT_TRUE(writer.build(raw, &error)) << error;
        const std::size_t at = Format::kBodyOffset;
        const std::size_t area = std::size_t(raw[at + Format::kHeaderAreaLengthOffset]) << 8 |
                                 raw[at + Format::kHeaderAreaLengthOffset + 1];
        ASSERT_EQ(raw[at + Format::kCompressedFlagOffset], 1);
        for (std::size_t i = at + area + 2; i < raw.size(); ++i)
            raw[i] ^= 0x5A;
        TWG::Tools::PackageWriter::seal(raw);
        const std::string path = firmwarePackagePath(kProduct);
        ASSERT_TRUE(TWG::Tools::PackageWriter::saveFile(path, raw, &error)) << error;
    }

    std::vector<SimRequest> dfuRequests() const
    {
        std::vector<SimRequest> out;
        for (const SimRequest& r : bus.transcript())
            if (r.kind == SimRequestKind::Reset ||
                (r.kind == SimRequestKind::Control && (r.setup.bmRequestType == Dfu::kRequestOut ||
                                                       r.setup.bmRequestType == Dfu::kRequestIn) &&
                 r.setup.wIndex == 1))
                out.push_back(r);
        return out;
    }

    // A clean update of the converter from wherever it is now brings it the package's image.
    void expectAnUpdateSucceeds(const platform::SimStm32State& state)
    {
        auto device = listed(kSerial);
        ASSERT_TRUE(device) << "the converter is not listed";
        LogCapture log;
        auto task = std::make_unique<DfuUpgradeTask>(manager, device);
        TaskReports reports(task.get());
        const QSignalSpy& done = reports.done;
        ASSERT_GE(runToItsEnd(*task, done), 0) << "the update never ended";
        EXPECT_EQ(done.at(0).at(0).toInt(), 0) << log.lines().join('\n').toStdString();
        EXPECT_EQ(state.flash, image());
        EXPECT_EQ(state.text("BuildId"), std::string(TWG::Zanthic::firmwareids::stm32BuildId(kProduct)));
        EXPECT_TRUE(state.violations.empty()) << state.violations.front();
    }

    ScaledClock slower_{kTimeScale / 10};
};

struct Scenario {
    const char* name;
    std::uint8_t attributes = kBoth;
    bool startInBootloader = false;
    std::uint16_t transferSize = 2048;
    std::function<void(platform::SimStm32Dfu&)> knobs;
    const char* failure = nullptr; // the text after "DFU Upgrade failure: "; null: success
    bool emptyImage = false;
    bool recovers = true; // a clean update afterwards succeeds without a replug
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class DfuUpgradeTaskTest : public DfuFixture, public ::testing::WithParamInterface<Scenario> {};

TEST_P(DfuUpgradeTaskTest, UpdatesTheSimulatedConverterOrFailsWithItsLine)
{
    const Scenario& scenario = GetParam();
    paceFor(scenario.attributes);
    ASSERT_NO_FATAL_FAILURE(writePackage(scenario.emptyImage));
    auto state = stm32State(kProduct);
    state->dfu.attributes = scenario.attributes;
    state->dfu.transferSize = scenario.transferSize;
    if (scenario.knobs)
        scenario.knobs(state->dfu);
    bus.attach(platform::SimStm32Application::persona(state, scenario.startInBootloader));
    LogCapture log;
    startManager();
    auto device = listed(kSerial);
    ASSERT_TRUE(device);

    auto task = std::make_unique<DfuUpgradeTask>(manager, device);
    TaskReports reports(task.get());
    const QSignalSpy& done = reports.done;
    const QSignalSpy& progress = reports.progress;
    const qint64 took = runToItsEnd(*task, done);
    ASSERT_GE(took, 0) << "the update never ended";
    const std::vector<SimRequest> requests = dfuRequests();
    const std::vector<std::uint8_t> expected = image();

    if (scenario.failure) {
        EXPECT_EQ(done.at(0).at(0).toInt(), 1);
        EXPECT_TRUE(log.contains(QStringLiteral("DFU Upgrade failure: ") + QString::fromLatin1(scenario.failure)))
            << log.lines().join('\n').toStdString();
        EXPECT_FALSE(task->firmwareIsCurrent());
        if (scenario.emptyImage) {
            EXPECT_TRUE(requests.empty()) << "the device was touched for an image that does not inflate";
        }
        if (!scenario.recovers)
            return;
        task.reset();
        state->dfu.errorState = -1;
        state->dfu.errorAfterBlock = -1;
        state->dfu.busyForever = false;
        ASSERT_NO_FATAL_FAILURE(expectAnUpdateSucceeds(*state));
        return;
    }
    EXPECT_EQ(done.at(0).at(0).toInt(), 0) << log.lines().join('\n').toStdString();
    EXPECT_TRUE(task->firmwareIsCurrent());
    EXPECT_LT(took, 1000) << "an update of a simulated device takes well under a second";
    EXPECT_EQ(state->flash, expected);
    EXPECT_EQ(state->text("BuildId"), std::string(TWG::Zanthic::firmwareids::stm32BuildId(kProduct)));
    EXPECT_TRUE(state->violations.empty()) << state->violations.front();
    EXPECT_TRUE(log.contains(QStringLiteral("DFU Upgrade: Payload download complete, waiting for OS arrival.")));

    // DETACH only when the application ran, followed by a bus reset when the application does
    // not detach by itself; then blocks 0..n-1 of at most wTransferSize, and the empty DNLOAD
    // numbered n.
    int detaches = 0;
    std::vector<std::pair<int, std::size_t>> blocks;
    std::size_t finalAt = requests.size();
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const SimRequest& r = requests[i];
        if (r.kind == SimRequestKind::Control && r.setup.bmRequestType == Dfu::kRequestOut &&
            r.setup.bRequest == Dfu::kDetach) {
            ++detaches;
            EXPECT_EQ(r.setup.wValue, Dfu::kDetachWaitMs);
            const bool resetNext = i + 1 < requests.size() && requests[i + 1].kind == SimRequestKind::Reset;
            EXPECT_EQ(resetNext, !willDetach(scenario.attributes)) << "the bus reset after DETACH";
        }
        if (r.kind == SimRequestKind::Control && r.setup.bmRequestType == Dfu::kRequestOut &&
            r.setup.bRequest == Dfu::kDnload) {
            blocks.emplace_back(r.setup.wValue, r.setup.wLength);
            if (isFinalDnload(r))
                finalAt = i;
        }
    }
    EXPECT_EQ(detaches, scenario.startInBootloader ? 0 : 1);
    const std::size_t n = (expected.size() + scenario.transferSize - 1) / scenario.transferSize;
    ASSERT_EQ(blocks.size(), n + 1);
    for (std::size_t i = 0; i < n; ++i) {
        EXPECT_EQ(blocks[i].first, int(i));
        EXPECT_EQ(blocks[i].second, std::min<std::size_t>(scenario.transferSize, expected.size() - i * scenario.transferSize));
    }
    EXPECT_EQ(blocks.back(), std::make_pair(int(n), std::size_t(0)));

    // The manifestation: status requests that see it start (dfuMANIFEST) and end (dfuIDLE, or
    // dfuMANIFEST-WAIT-RESET without tolerance), then the reset the device is owed, if any.
    ASSERT_LT(finalAt, requests.size());
    if (!state->dfu.rebootAtFinalDnload) {
        std::vector<std::uint8_t> states;
        std::size_t resets = 0;
        for (std::size_t i = finalAt + 1; i < requests.size(); ++i) {
            if (isGetStatus(requests[i]) && requests[i].data.size() == Dfu::kStatusLength)
                states.push_back(requests[i].data[Dfu::kStateOffset]);
            if (requests[i].kind == SimRequestKind::Reset) {
                ++resets;
                EXPECT_EQ(i, requests.size() - 1) << "the reset ends the run";
            }
        }
        ASSERT_GE(states.size(), 2u);
        EXPECT_EQ(states.front(), Dfu::kStateManifest);
        const bool tolerant = (scenario.attributes & Dfu::kAttributeManifestationTolerant) != 0 &&
                              !state->dfu.waitResetAfterManifest;
        EXPECT_EQ(states.back(), tolerant ? Dfu::kStateDfuIdle : Dfu::kStateManifestWaitReset);
        EXPECT_EQ(resets, resetAfterManifestation(state->dfu) ? 1u : 0u);
    }

    // Progress: -1 only when detached, then 0, rising to 50 by the download, 100 at the end.
    std::vector<int> seen;
    for (const QList<QVariant>& p : progress)
        seen.push_back(p.at(0).toInt());
    ASSERT_GE(seen.size(), 3u);
    std::size_t at = 0;
    if (!scenario.startInBootloader) {
        EXPECT_EQ(seen[at++], -1);
    }
    EXPECT_EQ(seen[at], 0);
    EXPECT_TRUE(std::is_sorted(seen.begin() + long(at), seen.end()));
    EXPECT_NE(std::find(seen.begin(), seen.end(), 50), seen.end());
    EXPECT_EQ(seen.back(), 100);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), -1), scenario.startInBootloader ? 0 : 1);
}

std::function<void(platform::SimStm32Dfu&)> errorIn(std::uint8_t state, std::uint8_t status, int at = 1)
{
    return [=](platform::SimStm32Dfu& d) {
        d.errorState = state;
        d.errorStatus = status;
        d.errorAt = at;
    };
}

// 6844 bytes: 4 blocks of 2048 with a partial last one, or exactly 4 of 1711.
INSTANTIATE_TEST_SUITE_P(
    Scenarios, DfuUpgradeTaskTest,
    ::testing::Values(
        Scenario{"HappyPath", kBoth, false, 2048, nullptr},
        Scenario{"AlreadyInTheBootloader", kBoth, true, 2048, nullptr},
        Scenario{"ImageAMultipleOfTheTransferSize", kBoth, false, 1711, nullptr},
        Scenario{"FinalDnloadTimedOut", kBoth, false, 2048,
                 [](platform::SimStm32Dfu& d) { d.rebootAtFinalDnload = true; }},
        Scenario{"TolerantYetWaitsForAReset", kBoth, false, 2048,
                 [](platform::SimStm32Dfu& d) { d.waitResetAfterManifest = true; }},
        // The DFU 1.1 variants.
        Scenario{"WillDetachClear", kTolerantOnly, false, 2048, nullptr},
        Scenario{"ManifestationTolerantClear", kWillDetachOnly, false, 2048, nullptr},
        Scenario{"BothClear", kNeither, false, 2048, nullptr},
        Scenario{"BothClearFromTheBootloader", kNeither, true, 2048, nullptr},
        Scenario{"WillDetachClearFromTheBootloader", kTolerantOnly, true, 2048, nullptr},
        // An error status in each state the host sees; the device is then in dfuERROR.
        Scenario{"ErrorStatusInDfuIdleIsCleared", kBoth, false, 2048,
                 errorIn(Dfu::kStateDfuIdle, Dfu::kStatusErrUnknown)},
        Scenario{"ErrorStatusInDfuIdleBeforeTheDownload", kBoth, false, 2048,
                 errorIn(Dfu::kStateDfuIdle, Dfu::kStatusErrTarget, 3),
                 "Device returned error during download! (status 0x01 errTARGET, state 2 dfuIDLE)\n"},
        Scenario{"ErrorStatusInDnBusy", kBoth, false, 2048, errorIn(Dfu::kStateDnBusy, Dfu::kStatusErrWrite),
                 "Device returned error during download! (status 0x03 errWRITE, state 4 dfuDNBUSY)\n"},
        Scenario{"ErrorStatusInDnloadIdle", kBoth, false, 2048, errorIn(Dfu::kStateDnloadIdle, Dfu::kStatusErrProg),
                 "Device returned error during download! (status 0x06 errPROG, state 5 dfuDNLOAD-IDLE)\n"},
        Scenario{"DfuErrorAfterABlock", kBoth, false, 2048, [](platform::SimStm32Dfu& d) { d.errorAfterBlock = 1; },
                 "Device returned error from dnload request! (status 0x03 errWRITE, state 10 dfuERROR)\n"},
        Scenario{"ErrorStatusInManifest", kBoth, false, 2048, errorIn(Dfu::kStateManifest, Dfu::kStatusErrVerify),
                 "Device returned error during manifestation! (status 0x07 errVERIFY, state 7 dfuMANIFEST)\n"},
        Scenario{"ErrorStatusInDfuIdleAfterManifestation", kBoth, false, 2048,
                 errorIn(Dfu::kStateDfuIdle, Dfu::kStatusErrFirmware, 4),
                 "Device returned error during manifestation! (status 0x0A errFIRMWARE, state 2 dfuIDLE)\n"},
        Scenario{"ErrorStatusInManifestWaitReset", kNeither, false, 2048,
                 errorIn(Dfu::kStateManifestWaitReset, Dfu::kStatusErrVerify),
                 "Device returned error during manifestation! (status 0x07 errVERIFY, state 8 "
                 "dfuMANIFEST-WAIT-RESET)\n"},
        Scenario{"BusyForever", kBoth, false, 2048, [](platform::SimStm32Dfu& d) { d.busyForever = true; },
                 "Device status poll timed out\n"},
        Scenario{"NeverBack", kBoth, false, 2048, [](platform::SimStm32Dfu& d) { d.neverBack = true; },
                 "Failed to get DFU interface after download", false, false},
        Scenario{"ImageDoesNotInflate", kBoth, false, 2048, nullptr, "GetFirmware: No resources found.", true,
                 false}),
    [](const ::testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

// A request of the new paths lost to a stall, a time-out or an unplug: the reset after DETACH,
// the status requests of the manifestation and the reset that ends it.
enum class Lost { ResetAfterDetach, FirstManifestationStatus, SecondManifestationStatus, ResetAfterManifestation };

struct LostRequest {
    std::uint8_t attributes;
    Lost lost;
    SimFaultAction action;
};

std::string name(const LostRequest& c)
{
    const char* variants[] = {"Neither", "", "", "", "TolerantOnly", "", "", "", "WillDetachOnly", "", "", "", "Both"};
    const char* lost[] = {"ResetAfterDetach", "FirstManifestationStatus", "SecondManifestationStatus",
                          "ResetAfterManifestation"};
    return std::string(variants[c.attributes & ~Dfu::kAttributeCanDnload]) + "_" + lost[int(c.lost)] + "_" +
           faultsweep::nameOf(c.action);
}

void PrintTo(const LostRequest& c, std::ostream* os) { *os << name(c); }

std::vector<LostRequest> lostRequests()
{
    std::vector<LostRequest> out;
    for (std::uint8_t attributes : {kBoth, kTolerantOnly, kWillDetachOnly, kNeither}) {
        platform::SimStm32Dfu d;
        d.attributes = attributes;
        for (Lost lost : {Lost::ResetAfterDetach, Lost::FirstManifestationStatus, Lost::SecondManifestationStatus,
                          Lost::ResetAfterManifestation}) {
            if ((lost == Lost::ResetAfterDetach && willDetach(attributes)) ||
                (lost == Lost::ResetAfterManifestation && !resetAfterManifestation(d)))
                continue;
            for (SimFaultAction action : {SimFaultAction::Stall, SimFaultAction::Timeout, SimFaultAction::Unplug})
                out.push_back({attributes, lost, action});
        }
    }
    return out;
}

class DfuLostRequestTest : public DfuFixture, public ::testing::WithParamInterface<LostRequest> {};

TEST_P(DfuLostRequestTest, FailsOnceAndTheNextUpdateBringsTheConverterBack)
{
    const LostRequest& c = GetParam();
    paceFor(c.attributes);
    ASSERT_NO_FATAL_FAILURE(writePackage(false));
    auto state = stm32State(kProduct);
    state->dfu.attributes = c.attributes;
    bus.attach(platform::SimStm32Application::persona(state, false));
    startManager();
    auto device = listed(kSerial);
    ASSERT_TRUE(device);

    SimFault fault;
    fault.action = c.action;
    switch (c.lost) {
    case Lost::ResetAfterDetach:
    case Lost::ResetAfterManifestation:
        fault.kind = SimRequestKind::Reset;
        fault.nth = c.lost == Lost::ResetAfterManifestation && !willDetach(c.attributes) ? 2 : 1;
        break;
    case Lost::FirstManifestationStatus:
    case Lost::SecondManifestationStatus:
        fault.kind = SimRequestKind::Control;
        fault.nth = c.lost == Lost::FirstManifestationStatus ? 1 : 2;
        fault.match = [downloaded = std::make_shared<bool>(false)](const SimRequest& r) {
            if (isFinalDnload(r))
                *downloaded = true;
            return *downloaded && isGetStatus(r);
        };
        break;
    }
    bus.addFault(fault);
    {
        LogCapture log;
        auto task = std::make_unique<DfuUpgradeTask>(manager, device);
        TaskReports reports(task.get());
        const QSignalSpy& done = reports.done;
        ASSERT_GE(runToItsEnd(*task, done), 0) << "the update never ended";
        ASSERT_EQ(done.count(), 1);
        EXPECT_EQ(done.at(0).at(0).toInt(), 1);
        EXPECT_TRUE(log.contains(QStringLiteral("DFU Upgrade failure: "))) << log.lines().join('\n').toStdString();
    }
    bus.clearFaults();
    device.reset();
    const bool imageWhole = c.lost != Lost::ResetAfterDetach;
    if (c.action == SimFaultAction::Unplug) {
        ASSERT_TRUE(bus.listDevices().empty());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !manager->findPotentialDevice(kSerial); }, 5000));
        // Power returns: the converter starts the application its flash holds.
        bus.attach(platform::SimStm32Application::powerOn(state));
        auto back = listed(kSerial);
        ASSERT_TRUE(back) << "the converter is not seen again";
        EXPECT_EQ(back->readBootMode(), TWG::Zanthic::stm32::kBootModeApplicationAlt);
        if (imageWhole) {
            EXPECT_EQ(state->text("BuildId"), std::string(TWG::Zanthic::firmwareids::stm32BuildId(kProduct)));
        }
    }
    ASSERT_NO_FATAL_FAILURE(expectAnUpdateSucceeds(*state));
}

INSTANTIATE_TEST_SUITE_P(NewPaths, DfuLostRequestTest, ::testing::ValuesIn(lostRequests()),
                         [](const ::testing::TestParamInfo<LostRequest>& info) { return name(info.param); });

class DfuUpgradeTaskStopTest : public UpdateFixture {};

TEST_F(DfuUpgradeTaskStopTest, DestroyingTheTaskDuringAWaitReturnsWithinAFifthOfASecond)
{
    platform::RealClock real;
    std::string error;
    ASSERT_TRUE(SimFirmware::writePackage(kProduct, folder.path().toStdString(), &error)) << error;
    auto state = stm32State(kProduct);
    state->dfu.neverBack = true; // the wait after the download runs out its 30 s
    bus.attach(platform::SimStm32Application::persona(state, true));
    startManager();
    auto device = listed(kSerial);
    ASSERT_TRUE(device);
    platform::ClockOverride realTime(&real);
    auto task = std::make_unique<DfuUpgradeTask>(manager, device);
    LogCapture log;
    task->startUpdate();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return log.contains(QStringLiteral("Payload download complete")); }, 10000));
    QElapsedTimer wall;
    wall.start();
    task.reset();
    EXPECT_LT(wall.elapsed(), 200);
}

// The bootloader's serial-number read fails as it enumerates, or the converter has no serial
// at all: the update still runs to its end, following the device by its serial where it reads
// and by its product where it does not.
class DfuUpgradeSerialTest : public UpdateFixture {};

TEST_F(DfuUpgradeSerialTest, AnUpdateRunsWhateverTheSerialReadsOfItsDeviceGive)
{
    struct Row {
        const char* name;
        platform::SimFaultAction action;
        int bootloaderFailures; // of its serial reads, the first time it enumerates as the bootloader
        bool noSerial;
    };
    const Row rows[] = {
        {"the bootloader's serial read stalls once", platform::SimFaultAction::Stall, 1, false},
        {"the bootloader's serial read times out once", platform::SimFaultAction::Timeout, 1, false},
        {"the bootloader's serial read stalls past its tries", platform::SimFaultAction::Stall, 3, false},
        {"a converter without a serial", platform::SimFaultAction::Stall, 0, true},
    };
    std::string error;
    ASSERT_TRUE(SimFirmware::writePackage(kProduct, folder.path().toStdString(), &error)) << error;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bus.clearTranscript();
        auto state = stm32State(kProduct);
        if (row.noSerial)
            state->serial.clear();
        const std::string path = bus.attach(platform::SimStm32Application::persona(state, false));
        // The serial-number string is asked for once as the application enumerates; the reads
        // after are the bootloader's.
        for (int i = 0; i < row.bootloaderFailures; ++i) {
            platform::SimFault f;
            f.action = row.action;
            f.nth = 2;
            f.kind = SimRequestKind::Control;
            f.match = [](const SimRequest& r) {
                return r.setup.bRequest == 6 && (r.setup.wValue >> 8) == 3 && (r.setup.wValue & 0xFF) != 0;
            };
            bus.addFault(f);
        }
        LogCapture log;
        startManager();
        std::shared_ptr<UsbPotentialDevice> device;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                device = row.noSerial ? manager->findReturningDevice(QString(), kProduct, 0)
                                      : manager->findPotentialDevice(QStringLiteral("5a4e0001abcd"));
                return device != nullptr;
            },
            5000));

        auto task = std::make_unique<DfuUpgradeTask>(manager, device);
        TaskReports reports(task.get());
        const QSignalSpy& done = reports.done;
        ASSERT_GE(runToItsEnd(*task, done), 0) << "the update never ended";
        EXPECT_EQ(done.at(0).at(0).toInt(), 0) << log.lines().join('\n').toStdString();
        EXPECT_EQ(state->flash, SimFirmware::images(kProduct).front().data);
        EXPECT_EQ(state->manifestations, 1);
        EXPECT_EQ(log.contains(QStringLiteral("Unable to get Serial Number")), row.bootloaderFailures == 3);
        const auto reads = controls(6, 0x80);
        EXPECT_EQ(std::count_if(reads.begin(), reads.end(),
                                [](const SimRequest& r) { return r.status != platform::UsbStatus::Success; }),
                  row.bootloaderFailures);
        device.reset();
        task.reset();
        manager.reset();
        QCoreApplication::processEvents();
        bus.clearFaults();
        for (const platform::UsbDeviceInfo& info : bus.listDevices())
            bus.detach(info.path);
    }
}

} // namespace

