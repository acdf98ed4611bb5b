#include "UpdateFixture.h"

#include "platform/sim/models/stm32/SimStm32Bootloader.h"
#include "plugins/zanthic/device/DfuUpgradeTask.h"
#include "protocol/DfuProtocol.h"
#include "protocol/ZanthicFirmwareIds.h"
#include "tools/package-writer/PackageWriter.h"
#include "tools/sim-tree/SimFirmware.h"

#include <QElapsedTimer>
#include <QSignalSpy>

using namespace zanthictest;
using namespace TWG::Zanthic;
namespace Dfu = TWG::Dfu;
namespace SimFirmware = TWG::Tools::SimFirmware;

namespace {

constexpr std::uint16_t kProduct = 0xBE6F;

struct Scenario {
    const char* name;
    bool startInBootloader = false;
    std::uint16_t transferSize = 2048;
    std::function<void(platform::SimStm32Dfu&)> knobs;
    bool emptyImage = false;
    const char* failure = nullptr; // the text after "DFU Upgrade failure: "; null: success
};

class DfuUpgradeTaskTest : public UpdateFixture, public ::testing::WithParamInterface<Scenario> {
protected:
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
};

TEST_P(DfuUpgradeTaskTest, UpdatesTheSimulatedConverterOrFailsWithItsLine)
{
    const Scenario& scenario = GetParam();
    ASSERT_NO_FATAL_FAILURE(writePackage(scenario.emptyImage));
    auto state = stm32State(kProduct);
    state->dfu.transferSize = scenario.transferSize;
    if (scenario.knobs)
        scenario.knobs(state->dfu);
    bus.attach(platform::SimStm32Application::persona(state, scenario.startInBootloader));
    LogCapture log;
    startManager();
    auto device = listed(QStringLiteral("5a4e0001abcd"));
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
        return;
    }
    EXPECT_EQ(done.at(0).at(0).toInt(), 0) << log.lines().join('\n').toStdString();
    EXPECT_TRUE(task->firmwareIsCurrent());
    EXPECT_LT(took, 1000) << "an update of a simulated device takes well under a second";
    EXPECT_EQ(state->flash, expected);
    EXPECT_EQ(state->text("BuildId"), std::string(TWG::Zanthic::firmwareids::stm32BuildId(kProduct)));
    EXPECT_TRUE(state->violations.empty()) << state->violations.front();
    EXPECT_TRUE(log.contains(QStringLiteral("DFU Upgrade: Payload download complete, waiting for OS arrival.")));

    // DETACH only when the application ran; then blocks 0..n-1 of at most wTransferSize, and
    // the empty DNLOAD numbered n.
    int detaches = 0;
    std::vector<std::pair<int, std::size_t>> blocks;
    for (const SimRequest& r : requests) {
        if (r.kind != SimRequestKind::Control || r.setup.bmRequestType != Dfu::kRequestOut)
            continue;
        if (r.setup.bRequest == Dfu::kDetach) {
            ++detaches;
            EXPECT_EQ(r.setup.wValue, Dfu::kDetachWaitMs);
        }
        if (r.setup.bRequest == Dfu::kDnload)
            blocks.emplace_back(r.setup.wValue, r.setup.wLength);
    }
    EXPECT_EQ(detaches, scenario.startInBootloader ? 0 : 1);
    const std::size_t n = (expected.size() + scenario.transferSize - 1) / scenario.transferSize;
    ASSERT_EQ(blocks.size(), n + 1);
    for (std::size_t i = 0; i < n; ++i) {
        EXPECT_EQ(blocks[i].first, int(i));
        EXPECT_EQ(blocks[i].second, std::min<std::size_t>(scenario.transferSize, expected.size() - i * scenario.transferSize));
    }
    EXPECT_EQ(blocks.back(), std::make_pair(int(n), std::size_t(0)));

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

// 6844 bytes: 4 blocks of 2048 with a partial last one, or exactly 4 of 1711.
INSTANTIATE_TEST_SUITE_P(
    Scenarios, DfuUpgradeTaskTest,
    ::testing::Values(
        Scenario{"HappyPath", false, 2048, nullptr, false, nullptr},
        Scenario{"AlreadyInTheBootloader", true, 2048, nullptr, false, nullptr},
        Scenario{"ImageAMultipleOfTheTransferSize", false, 1711, nullptr, false, nullptr},
        Scenario{"FinalDnloadTimedOut", false, 2048, [](platform::SimStm32Dfu& d) { d.rebootAtFinalDnload = true; }, false, nullptr},
        Scenario{"ManifestWaitsForAReset", false, 2048,
                 [](platform::SimStm32Dfu& d) { d.waitResetAfterManifest = true; }, false, nullptr},
        Scenario{"DfuErrorAfterABlock", false, 2048, [](platform::SimStm32Dfu& d) { d.errorAfterBlock = 1; }, false,
                 "Device returned error from dnload request!\n"},
        Scenario{"BusyForever", false, 2048, [](platform::SimStm32Dfu& d) { d.busyForever = true; }, false,
                 "Device status poll timed out\n"},
        Scenario{"NeverBack", false, 2048, [](platform::SimStm32Dfu& d) { d.neverBack = true; }, false,
                 "Failed to get DFU interface after download"},
        Scenario{"WillDetachClear", false, 2048,
                 [](platform::SimStm32Dfu& d) { d.attributes &= static_cast<std::uint8_t>(~0x08); }, false,
                 "Device not in DFU idle mode!\n"},
        Scenario{"ImageDoesNotInflate", false, 2048, nullptr, true, "GetFirmware: No resources found."}),
    [](const ::testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

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
    auto device = listed(QStringLiteral("5a4e0001abcd"));
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

} // namespace
