#include "UpdateFixture.h"

#include "platform/sim/SimModelRegistry.h"
#include "platform/sim/models/xmega/SimXmegaDevice.h"
#include "plugins/zanthic/device/FirmwareSet.h"
#include "plugins/zanthic/device/XmegaUsbUpgradeTask.h"
#include "protocol/XmegaProtocol.h"
#include "protocol/ZanthicFirmwareIds.h"
#include "tools/package-writer/PackageWriter.h"
#include "tools/sim-tree/SimFirmware.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QSignalSpy>

#include <fstream>
#include <iterator>

using namespace zanthictest;
using namespace TWG::Zanthic;
namespace xmega = TWG::Converters::xmega;
namespace SimFirmware = TWG::Tools::SimFirmware;

namespace {

constexpr std::uint16_t kProduct = 0xBE90;
const QString kSerial = QStringLiteral("101112131415161718191a1b1c1d1e1f");

enum class Package { Full, NoBootloaderImage, BrokenFourthImage };

struct Scenario {
    const char* name;
    Package package = Package::Full;
    bool startInBootloader = false;
    std::function<void(platform::SimXmegaState&)> knobs;
    const char* failure = nullptr; // the text after "XmegaUsbUpgradeTask: Updated failed: "; null: success
    const char* detail = nullptr;  // a line the failing step logs before
};

class XmegaUsbUpgradeTaskTest : public UpdateFixture {
protected:
    std::vector<SimFirmware::Image> images(Package package) const
    {
        std::vector<SimFirmware::Image> all = SimFirmware::images(kProduct);
        if (package == Package::NoBootloaderImage)
            all.erase(all.begin());
        if (package == Package::BrokenFourthImage) {
            SimFirmware::Image fourth = all[2];
            fourth.word = 0x20000;
            fourth.data.assign(4096, 0x11); // deflates; the last section is the file's tail
            all.push_back(fourth);
        }
        return all;
    }

    void writePackage(Package package)
    {
        std::string error;
        ASSERT_TRUE(SimFirmware::writePackage(kProduct, images(package), folder.path().toStdString(), &error)) << error;
        if (package == Package::BrokenFourthImage) {
            // The stream's checksum is the file's last byte: the entry no longer inflates.
            const std::string path = firmwarePackagePath(kProduct);
            std::ifstream in(path, std::ios::binary);
            std::vector<std::uint8_t> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            raw.back() ^= 0xFF;
            TWG::Tools::PackageWriter::seal(raw);
            ASSERT_TRUE(TWG::Tools::PackageWriter::saveFile(path, raw, &error)) << error;
        }
        reloadFirmwareSets();
        if (package == Package::BrokenFourthImage) {
            FirmwareSet& set = firmwareSet(kProduct);
            ASSERT_TRUE(openEntry(set, 2, 1) && openEntry(set, 2, 1)->data());
            ASSERT_TRUE(openEntry(set, 3, 1));
            ASSERT_FALSE(openEntry(set, 3, 1)->data()) << "the fourth image still inflates";
        }
    }

    // A converter of the Zanthic line in its application, or, built from a scenario entry as
    // "xmega-boot", in its bootloader with a blank application.
    std::shared_ptr<platform::SimXmegaState> attachConverter(bool inBootloader)
    {
        if (!inBootloader) {
            auto s = xmegaState(kProduct);
            s->eeproms = platform::SimXmegaState::zanthicEeproms();
            attachXmega(s);
            return s;
        }
        QString error;
        const QJsonObject entry =
            QJsonDocument::fromJson(R"({"model": "xmega-boot", "product": "0xBE90"})").object();
        auto device = std::dynamic_pointer_cast<platform::SimXmegaDevice>(
            platform::SimModelRegistry::find("xmega-boot")(entry, &error));
        EXPECT_TRUE(device) << error.toStdString();
        if (!device)
            return nullptr;
        bus.attach(device);
        return device->state();
    }

    // The requests that change the device, in order, as short words.
    std::vector<std::string> steps() const
    {
        std::vector<std::string> out;
        for (const SimRequest& r : bus.transcript()) {
            if (r.kind != SimRequestKind::Control || r.setup.bmRequestType != xmega::kVendorInterfaceOut)
                continue;
            std::string step;
            switch (r.setup.bRequest) {
            case xmega::kRestart:
                step = r.setup.wValue == xmega::kRestartBootloader ? "restart bootloader" : "restart application";
                break;
            case xmega::kEraseApplication: step = "erase application"; break;
            case xmega::kWriteApplication: step = r.setup.wLength ? "write application" : "end application"; break;
            case xmega::kOpenSession: step = "open"; break;
            case xmega::kSetTargetEeprom: step = "target " + std::to_string(r.setup.wValue); break;
            case xmega::kEraseEeprom: step = "erase"; break;
            case xmega::kWriteEepromData: step = "write"; break;
            case xmega::kCloseSession: step = "close"; break;
            default: continue;
            }
            if (out.empty() || out.back() != step)
                out.push_back(step);
        }
        return out;
    }

    static std::vector<std::uint8_t> bytes(const std::vector<std::uint8_t>& from, std::size_t at, std::size_t n)
    {
        return std::vector<std::uint8_t>(from.begin() + long(at), from.begin() + long(at + n));
    }
};

class XmegaUsbUpgradeScenarioTest : public XmegaUsbUpgradeTaskTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(XmegaUsbUpgradeScenarioTest, UpdatesTheSimulatedConverterOrFailsWithItsLine)
{
    const Scenario& scenario = GetParam();
    ASSERT_NO_FATAL_FAILURE(writePackage(scenario.package));
    auto state = attachConverter(scenario.startInBootloader);
    ASSERT_TRUE(state);
    if (scenario.knobs)
        scenario.knobs(*state);
    LogCapture log;
    startManager();
    auto device = listed(kSerial);
    ASSERT_TRUE(device);
    bus.clearTranscript();

    auto task = std::make_unique<XmegaUsbUpgradeTask>(manager, device);
    TaskReports reports(task.get());
    const QSignalSpy& done = reports.done;
    const QSignalSpy& progress = reports.progress;
    const qint64 took = runToItsEnd(*task, done);
    ASSERT_GE(took, 0) << "the update never ended";
    const std::vector<std::string> seen = steps();
    auto trail = [&] { return log.lines().join('\n').toStdString(); };

    if (scenario.failure) {
        EXPECT_EQ(done.at(0).at(0).toInt(), 1);
        EXPECT_TRUE(log.contains(QStringLiteral("XmegaUsbUpgradeTask: Updated failed: ") +
                                 QString::fromLatin1(scenario.failure)))
            << trail();
        if (scenario.detail) {
            EXPECT_TRUE(log.contains(QString::fromLatin1(scenario.detail))) << trail();
        }
        EXPECT_FALSE(task->firmwareIsCurrent());
        if (scenario.package == Package::BrokenFourthImage) {
            EXPECT_TRUE(seen.empty()) << "the device was touched for an image that does not inflate: " << seen.front();
        }
        return;
    }

    EXPECT_EQ(done.at(0).at(0).toInt(), 0) << trail();
    EXPECT_TRUE(task->firmwareIsCurrent());
    EXPECT_LT(took, 1000) << "an update of a simulated converter takes well under a second";
    EXPECT_TRUE(state->violations.empty()) << state->violations.front();

    // Every image where the package puts it.
    const std::vector<SimFirmware::Image> package = images(scenario.package);
    for (const SimFirmware::Image& image : package) {
        if (image.type != 1)
            continue;
        if (image.application) {
            EXPECT_EQ(bytes(state->application, 0, image.data.size()), image.data);
            continue;
        }
        ASSERT_LT(image.target, state->eeproms.size());
        EXPECT_EQ(bytes(state->eeproms[image.target].bytes, image.word, image.data.size()), image.data)
            << "EEPROM target " << int(image.target) << " at " << image.word;
    }

    // The order of the requests that change the device.
    std::vector<std::string> expected;
    if (scenario.package != Package::NoBootloaderImage) {
        if (!scenario.startInBootloader)
            expected.push_back("restart bootloader");
        expected.insert(expected.end(),
                        {"erase application", "write application", "end application", "restart application"});
    }
    expected.insert(expected.end(), {"open", "target 0", "erase", "write", "target 1", "erase", "write", "close"});
    EXPECT_EQ(seen, expected);

    // The device, found again by its serial, reports the versions the images carry.
    std::shared_ptr<UsbPotentialDevice> after = listed(kSerial);
    ASSERT_TRUE(after);
    if (scenario.package == Package::Full) {
        EXPECT_EQ(after->buildId().toStdString(), QStringLiteral("fpga:%1 xmega:%2")
                                                      .arg(firmwareids::kXmegaFpgaVersion, 8, 16, QLatin1Char('0'))
                                                      .arg(firmwareids::kXmegaVersion, 8, 16, QLatin1Char('0'))
                                                      .toStdString());
    }

    // Progress: 0 first, never backwards, 100 at the end.
    std::vector<int> percents;
    for (const QList<QVariant>& p : progress)
        percents.push_back(p.at(0).toInt());
    ASSERT_GE(percents.size(), 3u);
    EXPECT_EQ(percents.front(), 0);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), 100);
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, XmegaUsbUpgradeScenarioTest,
    ::testing::Values(
        Scenario{"BootloaderImageAndTwoStagedImages", Package::Full, false, nullptr, nullptr, nullptr},
        Scenario{"AlreadyInTheBootloader", Package::Full, true, nullptr, nullptr, nullptr},
        Scenario{"NoBootloaderImage", Package::NoBootloaderImage, false, nullptr, nullptr, nullptr},
        Scenario{"UnopenableFourthImage", Package::BrokenFourthImage, false, nullptr,
                 "Opening firmware resource 3 failed", nullptr},
        Scenario{"EraseNeverDone", Package::Full, false, [](platform::SimXmegaState& s) { s.eraseForever = true; },
                 "Failed to program blob 1.", "Failed to erase all EEPROM sectors\n"},
        Scenario{"WriteStatusFails", Package::Full, false,
                 [](platform::SimXmegaState& s) { s.writeStatusStalls = true; }, "Failed to program blob 1.",
                 "Failed to write all EEPROM sectors\n"},
        Scenario{"NeverBack", Package::Full, false, [](platform::SimXmegaState& s) { s.neverBack = true; },
                 "Failed to reboot to XMEGA bootloader.", nullptr}),
    [](const ::testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

TEST_F(XmegaUsbUpgradeTaskTest, DestroyingTheTaskDuringAWaitReturnsWithinAFifthOfASecond)
{
    platform::RealClock real;
    ASSERT_NO_FATAL_FAILURE(writePackage(Package::Full));
    auto state = attachConverter(false);
    state->neverBack = true; // the wait for the bootloader runs out its 30 s
    startManager();
    auto device = listed(kSerial);
    ASSERT_TRUE(device);
    platform::ClockOverride realTime(&real);
    auto task = std::make_unique<XmegaUsbUpgradeTask>(manager, device);
    task->startUpdate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !manager->findPotentialDevice(kSerial); }, 5000));
    QTest::qWait(1500); // past the pause after the restart, into the wait
    QElapsedTimer wall;
    wall.start();
    task.reset();
    EXPECT_LT(wall.elapsed(), 200);
}

TEST_F(XmegaUsbUpgradeTaskTest, DestroyingTheTaskWhileTheEepromIsBusyReturnsWithinAFifthOfASecond)
{
    platform::RealClock real;
    ASSERT_NO_FATAL_FAILURE(writePackage(Package::NoBootloaderImage));
    auto state = attachConverter(false);
    state->eraseForever = true; // polled every 500 ms for many seconds
    startManager();
    auto device = listed(kSerial);
    ASSERT_TRUE(device);
    platform::ClockOverride realTime(&real);
    auto task = std::make_unique<XmegaUsbUpgradeTask>(manager, device);
    task->startUpdate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controls(xmega::kEraseEeprom).empty(); }, 5000));
    QTest::qWait(700); // into the erase's status polls
    QElapsedTimer wall;
    wall.start();
    task.reset();
    EXPECT_LT(wall.elapsed(), 200);
}

// The bootloader the update restarts the converter into does not give its uuid at once: it is
// tried again as it arrives and, past those tries, at the manager's next polls, and the update
// goes on with it.
TEST_F(XmegaUsbUpgradeTaskTest, AnUpdateGoesOnWhenTheBootloadersUuidReadFails)
{
    struct Row {
        const char* name;
        int stalls;
        bool polled;
    };
    const Row rows[] = {
        {"stalls once", 1, false},
        {"stalls past its tries: a later poll finds it", 5, true},
    };
    ASSERT_NO_FATAL_FAILURE(writePackage(Package::Full));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bus.clearTranscript();
        auto state = attachConverter(false);
        ASSERT_TRUE(state);
        // The application's uuid is read as it is listed; the reads after are the bootloader's.
        for (int i = 0; i < row.stalls; ++i) {
            platform::SimFault f;
            f.nth = 2;
            f.bmRequestType = xmega::kVendorDeviceIn;
            f.bRequest = xmega::kGetUuid;
            bus.addFault(f);
        }
        LogCapture log;
        startManager();
        auto device = listed(kSerial);
        ASSERT_TRUE(device);
        auto task = std::make_unique<XmegaUsbUpgradeTask>(manager, device);
        TaskReports reports(task.get());
        const QSignalSpy& done = reports.done;
        ASSERT_GE(runToItsEnd(*task, done), 0) << "the update never ended";
        EXPECT_EQ(done.at(0).at(0).toInt(), 0) << log.lines().join('\n').toStdString();
        const SimFirmware::Image application = images(Package::Full).front();
        ASSERT_TRUE(application.application);
        EXPECT_EQ(bytes(state->application, 0, application.data.size()), application.data);
        const auto reads = controls(xmega::kGetUuid, xmega::kVendorDeviceIn);
        EXPECT_EQ(std::count_if(reads.begin(), reads.end(),
                                [](const SimRequest& r) { return r.status != platform::UsbStatus::Success; }),
                  row.stalls);
        EXPECT_EQ(log.contains(QStringLiteral("could not be identified")), row.polled);
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

