#include "FirmwareTestSupport.h"

#include "plugins/converters/firmware/ConverterFX2Firmware.h"
#include "plugins/converters/firmware/ConverterUpdateRecord.h"
#include "plugins/converters/firmware/ConverterXmegaFirmware.h"
#include "plugins/converters/firmware/ConverterXmegaUpdater.h"
#include "plugins/converters/firmware/FirmwareUpdateThread.h"
#include "tests/converters/support/FakeConverter.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <algorithm>

using fwtest::bytes;
using fwtest::ImageSpec;

namespace {

const ImageSpec kFx2Image{1, 0, 0, 0x0107, 0, 0, bytes(10000, 1)}; // 4096 + 4096 + 1808
const ImageSpec kAt90Image{2, 0, 0, 0x0201, 0, 0, bytes(600, 2)};  // 256 + 256 + 88

// An FX2 converter with its programming fake and the updater of its package.
struct Fx2Bench {
    explicit Fx2Bench(const std::vector<ImageSpec>& images, bool at90 = true, const QString& serial = {})
    {
        fwtest::writePackage(0xBD2E, images);
        ConverterUpdateRecord::clear(0xBD2E, serial);
        device.setSerialNumber(serial);
        programming.at90 = at90;
        device.fx2Programming = &programming;
        updater = createConverterFirmwareUpdater(&device);
    }
    // Runs the programming; the progress in percent as the thread would show it.
    bool run()
    {
        return updater->program([this](double f) { percents.push_back(FirmwareUpdateThread::progressPercent(f)); });
    }

    convtest::FakeConverter device{0xBD2E};
    fwtest::FakeFx2Programming programming;
    std::unique_ptr<ConverterFirmwareUpdater> updater;
    std::vector<int> percents;
};

} // namespace

TEST(Fx2Programming, FlashThenAt90InOrderWithTheBarSplitAt75)
{
    Fx2Bench bench({kFx2Image, kAt90Image});
    ASSERT_TRUE(bench.run());
    EXPECT_EQ(bench.programming.calls,
              (std::vector<std::string>{"erase(10000)", "write(4096)", "write(4096)", "write(1808)", "restart",
                                        "enterAT90", "eraseAT90", "fuses", "prepare", "page(0)", "page(1)",
                                        "page(2)", "leaveAT90"}));
    EXPECT_EQ(bench.programming.flash, kFx2Image.data);
    EXPECT_EQ(bench.programming.at90Flash, kAt90Image.data);
    // (int)(fraction x 100): flash 4096/10000 x 0.75 = 30.72; AT90 75 + 256/600 x 25 = 85.67.
    EXPECT_EQ(bench.percents, (std::vector<int>{0, 30, 61, 75, 75, 85, 96, 100}));
}

TEST(Fx2Programming, WithoutAnAt90TheFlashFillsTheBarAndAt90ImagesAreSkipped)
{
    Fx2Bench bench({kAt90Image, kFx2Image}, false);
    ASSERT_TRUE(bench.run());
    EXPECT_EQ(bench.programming.calls,
              (std::vector<std::string>{"erase(10000)", "write(4096)", "write(4096)", "write(1808)", "restart"}));
    EXPECT_EQ(bench.percents, (std::vector<int>{0, 40, 81, 100}));
}

TEST(Fx2Programming, NothingToProgramIsNoSuccess)
{
    Fx2Bench onlyAt90({kAt90Image}, false);
    EXPECT_FALSE(onlyAt90.run()) << "every image skipped on this board";
    EXPECT_TRUE(onlyAt90.programming.calls.empty());

    fwtest::removePackage(0xBD2E);
    Fx2Bench none({kFx2Image});
    fwtest::removePackage(0xBD2E);
    none.updater = createConverterFirmwareUpdater(&none.device);
    EXPECT_FALSE(none.run());
    EXPECT_TRUE(none.programming.calls.empty());
}

// A failed step ends the whole update at once; once the AT90 was entered it is always left,
// a second time after a failure.
TEST(Fx2Programming, AFailedStepEndsTheUpdateAndTheAt90IsAlwaysLeft)
{
    struct Case {
        const char* failing;
        int nth;
        std::uint32_t pageTake;
        bool overstate;
        std::vector<std::string> tail; // the calls from the failing one on
    };
    const std::vector<Case> cases{
        {"erase", 1, 256, false, {"erase(10000)"}},
        {"write", 2, 256, false, {"write(4096)"}},
        {"restart", 1, 256, false, {"restart"}},
        {"enterAT90", 1, 256, false, {"enterAT90", "leaveAT90", "leaveAT90"}},
        {"fuses", 1, 256, false, {"fuses", "leaveAT90", "leaveAT90"}},
        {"prepare", 1, 256, false, {"prepare", "leaveAT90", "leaveAT90"}},
        {"page", 2, 256, false, {"page(1)", "leaveAT90", "leaveAT90"}},
        {"leaveAT90", 1, 256, false, {"leaveAT90"}},
        {"", 0, 0, false, {"page(0)", "leaveAT90", "leaveAT90"}},   // a page that takes nothing
        {"", 0, 256, true, {"page(0)", "leaveAT90", "leaveAT90"}}, // more than remains
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.failing << " " << c.nth << " " << c.pageTake << " " << c.overstate);
        Fx2Bench bench({kFx2Image, kAt90Image, kFx2Image});
        if (*c.failing)
            bench.programming.failOn[c.failing] = c.nth;
        bench.programming.pageTake = c.pageTake;
        bench.programming.overstate = c.overstate;
        EXPECT_FALSE(bench.run());
        const auto& calls = bench.programming.calls;
        ASSERT_GE(calls.size(), c.tail.size());
        EXPECT_EQ(std::vector<std::string>(calls.end() - static_cast<long>(c.tail.size()), calls.end()), c.tail);
        EXPECT_EQ(bench.programming.count("erase"), 1) << "the later FX2 image never started";
    }
}

// Nobody waits for the result any more (its card went): the report is silenced, but the
// programming of a converter still attached runs to its end.
TEST(Fx2Programming, ASilencedUpdateStillRunsToItsEnd)
{
    Fx2Bench bench({kFx2Image, kAt90Image});
    FirmwareUpdateThread thread(std::move(bench.updater));
    thread.setKeepGoing(false);
    QSignalSpy results(&thread, &FirmwareUpdateThread::firmwareUpdated);
    thread.start();
    ASSERT_TRUE(thread.wait(10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(results.count(), 0);
    EXPECT_EQ(bench.programming.calls.back(), "leaveAT90");
    EXPECT_EQ(bench.programming.count("page"), 3);
    EXPECT_EQ(bench.programming.at90Flash, kAt90Image.data);
}

// The update's record: in the settings before the first request to the device, and cleared
// only once the last image is written. While it stands, the converter is not current, even
// with an FX2 that restarted into its new version.
TEST(Fx2Programming, AnUnfinishedUpdateIsRecordedAndOfferedAgain)
{
    struct Case {
        const char* failing;
        int nth;
    };
    const Case cases[] = {{"erase", 1},     {"write", 2},   {"restart", 1},   {"enterAT90", 1},
                          {"eraseAT90", 1}, {"fuses", 1},   {"prepare", 1},   {"page", 3},
                          {"leaveAT90", 1}, {"", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        Fx2Bench bench({kFx2Image, kAt90Image});
        bench.device.values["versionRegister"] = 7; // the set's version, as after the FX2's restart
        if (*c.failing)
            bench.programming.failOn[c.failing] = c.nth;
        std::vector<bool> recordedAtCall;
        bench.programming.onCall = [&](const std::string&) {
            recordedAtCall.push_back(ConverterUpdateRecord::isUnderWay(0xBD2E));
        };
        const bool finished = !*c.failing;
        EXPECT_EQ(bench.run(), finished);
        ASSERT_FALSE(recordedAtCall.empty());
        EXPECT_EQ(std::count(recordedAtCall.begin(), recordedAtCall.end(), false), 0)
            << "every request ran with the update recorded";
        EXPECT_EQ(ConverterUpdateRecord::isUnderWay(0xBD2E), !finished);
        bool has = false;
        EXPECT_EQ(bench.updater->isCurrent(&has), finished);
        EXPECT_TRUE(has);
        ConverterUpdateRecord::clear(0xBD2E);
    }
}

// A record left by an earlier run (or an earlier program that crashed) is found by a fresh
// updater; the next complete update clears it.
TEST(Fx2Programming, ARecordLeftBeforeIsHonouredUntilAnUpdateCompletes)
{
    Fx2Bench bench({kFx2Image, kAt90Image});
    ASSERT_TRUE(ConverterUpdateRecord::markUnderWay(0xBD2E));
    bench.device.values["versionRegister"] = 7;
    EXPECT_FALSE(bench.updater->isCurrent(nullptr));
    EXPECT_FALSE(ConverterUpdateRecord::isUnderWay(0xBD15)) << "keyed by model";
    ASSERT_TRUE(bench.run());
    EXPECT_TRUE(bench.updater->isCurrent(nullptr));
    EXPECT_EQ(bench.programming.count("eraseAT90"), 1) << "the AT90 stage starts with its chip erase";
}

// Two converters of one model: the record of one leaves the other current.
TEST(Fx2Programming, TheRecordIsTheConvertersOwnWhenItHasASerial)
{
    Fx2Bench a({kFx2Image, kAt90Image}, true, QStringLiteral("A-0001"));
    Fx2Bench b({kFx2Image, kAt90Image}, true, QStringLiteral("B-0002"));
    a.device.values["versionRegister"] = b.device.values["versionRegister"] = 7;
    a.programming.failOn["page"] = 2;
    EXPECT_FALSE(a.run());
    EXPECT_FALSE(a.updater->isCurrent(nullptr)) << "its AT90 is half-written";
    EXPECT_TRUE(b.updater->isCurrent(nullptr)) << "another converter of the model is not";
    EXPECT_FALSE(ConverterUpdateRecord::isUnderWay(0xBD2E)) << "nothing was written under the model";

    a.programming.failOn.clear();
    ASSERT_TRUE(a.run());
    EXPECT_TRUE(a.updater->isCurrent(nullptr));
}

// A converter without a serial is recorded under its model, and a record under the model (from
// it, or from an earlier run) counts for every converter of the model until one of them
// completes an update.
TEST(Fx2Programming, WithoutASerialTheRecordIsTheModelsAndCountsForAll)
{
    Fx2Bench bare({kFx2Image, kAt90Image});
    Fx2Bench a({kFx2Image, kAt90Image}, true, QStringLiteral("A-0001"));
    Fx2Bench b({kFx2Image, kAt90Image}, true, QStringLiteral("B-0002"));
    for (Fx2Bench* bench : {&bare, &a, &b})
        bench->device.values["versionRegister"] = 7;
    bare.programming.failOn["page"] = 2;
    EXPECT_FALSE(bare.run());
    EXPECT_TRUE(ConverterUpdateRecord::isUnderWay(0xBD2E)) << "recorded under the model";
    for (Fx2Bench* bench : {&bare, &a, &b})
        EXPECT_FALSE(bench->updater->isCurrent(nullptr)) << bench->device.serialNumber().toStdString();

    ASSERT_TRUE(a.run());
    for (Fx2Bench* bench : {&bare, &a, &b})
        EXPECT_TRUE(bench->updater->isCurrent(nullptr)) << bench->device.serialNumber().toStdString();
}

// The keys stay readable and stable; a serial's "/" or "\" cannot split the key into groups
// (nor make "A/B" and "A" one converter).
TEST(Fx2Programming, RecordKeys)
{
    EXPECT_EQ(ConverterUpdateRecord::keyFor(0xBD2E), "ConverterUpdatesUnderWay/product-bd2e");
    EXPECT_EQ(ConverterUpdateRecord::keyFor(0xBD2E, QStringLiteral("SN-0042_x.y~z")),
              "ConverterUpdatesUnderWay/serial-SN-0042_x.y~z");
    EXPECT_EQ(ConverterUpdateRecord::keyFor(0xBD2E, QStringLiteral("A/B\\C D")),
              "ConverterUpdatesUnderWay/serial-A%2FB%5CC%20D");
    ConverterUpdateRecord::clear(0xBD2E, QStringLiteral("A"));
    ASSERT_TRUE(ConverterUpdateRecord::markUnderWay(0xBD2E, QStringLiteral("A/B")));
    EXPECT_TRUE(ConverterUpdateRecord::isUnderWay(0xBD2E, QStringLiteral("A/B")));
    EXPECT_FALSE(ConverterUpdateRecord::isUnderWay(0xBD2E, QStringLiteral("A")));
    ConverterUpdateRecord::clear(0xBD2E, QStringLiteral("A/B"));
    EXPECT_FALSE(ConverterUpdateRecord::isUnderWay(0xBD2E, QStringLiteral("A/B")));
}

// With nothing this board can take, nothing is written and nothing is recorded.
TEST(Fx2Programming, NothingToWriteLeavesNoRecord)
{
    Fx2Bench onlyAt90({kAt90Image}, false);
    EXPECT_FALSE(onlyAt90.run());
    EXPECT_FALSE(ConverterUpdateRecord::isUnderWay(0xBD2E));
}

TEST(XmegaProgramming, ProgramsTheImagesAndTableUnlessTheFpgaVersionMatches)
{
    const ImageSpec app{0, 0, 0, 0x51, 0, 2, bytes(300, 3)};
    const ImageSpec fpga{1, 2, 0x10000, 0x0306, 0, 0, bytes(500, 4)};
    fwtest::writePackage(0xBDF6, {app, fpga});
    convtest::FakeConverter device(0xBDF6, true);
    fwtest::FakeXmegaProgramming programming;
    device.xmegaProgramming = &programming;
    auto updater = createConverterFirmwareUpdater(&device);
    std::vector<int> percents;
    auto progress = [&](double f) {
        percents.push_back(FirmwareUpdateThread::progressPercent(f));
        return true;
    };

    device.values["versionRegister"] = 6;
    EXPECT_TRUE(updater->program(progress));
    EXPECT_EQ(programming.programs, 0) << "the FPGA is at the set's version already";

    device.values["versionRegister"] = 5;
    EXPECT_TRUE(updater->program(progress));
    ASSERT_EQ(programming.programmed.size(), 2u);
    EXPECT_EQ(programming.programmed[0].data, fpga.data);
    EXPECT_EQ(programming.programmed[0].target, 2);
    EXPECT_EQ(programming.programmed[0].offset, 0x10000u);
    EXPECT_EQ(programming.programmed[1].data.size(), 144u);
    EXPECT_EQ(programming.programmed[1].offset, 0x3F0000u);
    EXPECT_EQ(percents, (std::vector<int>{0, 50, -1, 100}));

    programming.programResult = false;
    EXPECT_FALSE(updater->program(progress));

    fwtest::writePackage(0xBDF6, {app});
    auto appOnly = createConverterFirmwareUpdater(&device);
    programming.programs = 0;
    EXPECT_TRUE(appOnly->program(progress)) << "nothing but the application: done at once";
    EXPECT_EQ(programming.programs, 0);
}
