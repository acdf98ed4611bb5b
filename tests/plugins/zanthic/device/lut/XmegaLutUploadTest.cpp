#include "plugins/zanthic/device/XmegaConnectedDevice.h"
#include "plugins/zanthic/device/XmegaUsbPotentialDevice.h"
#include "platform/sim/models/xmega/SimXmegaState.h"
#include "protocol/XmegaProtocol.h"
#include "protocol/ZanthicRegisters.h"

#include "LutSimFixture.h"
#include "tests/plugins/zanthic/ScaledClock.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <algorithm>
#include <atomic>
#include <climits>

using namespace luttest;
using namespace TWG::Zanthic;
using platform::SimFault;
using platform::SimRequest;
using platform::SimRequestKind;
namespace xp = TWG::Converters::xmega;

namespace {

constexpr std::size_t kLutBytes = 19652;
constexpr std::size_t kLutAt = 0x3F0000;

class XmegaLutUpload : public LutSimFixture {
protected:
    void SetUp() override
    {
        state = std::make_shared<platform::SimXmegaState>();
        state->productId = 0xBE90;
        state->registerMap = platform::SimXmegaState::RegisterMap::Zanthic;
        state->application.assign(state->application.size(), 0x5A);
        usb.reset(open(bus.attach(platform::SimXmegaDevice::persona(state, false))));
        ASSERT_NE(usb.device, nullptr);
        potential = std::make_shared<XmegaUsbPotentialDevice>(std::weak_ptr<ConnectionManager>(), usb.device);
        device = makeConnectedDevice<XmegaZanthicConvertersConnectedDevice>(&owner, potential);
        device->addDelegate(&delegate);
        // The first status poll, read on its own thread, before what the test looks at.
        ASSERT_TRUE(QTest::qWaitFor([this] { return device->connectionState() != Idle; }, 5000));
        bus.clearTranscript();
    }

    // The EEPROM session's requests (0x30 to 0x39), each run of repeats as one.
    std::vector<int> sessionRequests() const
    {
        std::vector<int> out;
        for (const SimRequest& r : bus.transcript()) {
            const int q = r.setup.bRequest;
            if (r.kind == SimRequestKind::Control && (r.setup.bmRequestType & 0x60) == 0x40 && q >= 0x30 && q <= 0x39 &&
                (out.empty() || out.back() != q))
                out.push_back(q);
        }
        return out;
    }
    std::vector<std::uint8_t> lutArea() const
    {
        const auto& bytes = state->eeproms[0].bytes;
        return std::vector<std::uint8_t>(bytes.begin() + kLutAt, bytes.begin() + kLutAt + kLutBytes);
    }
    std::vector<std::uint8_t> memory(std::uint32_t at, std::uint32_t length) const
    {
        std::vector<std::uint8_t> out;
        for (std::uint32_t a = at; a < at + length; ++a)
            out.push_back(state->readRegister(a));
        return out;
    }
    static std::vector<int> percents(const QSignalSpy& spy)
    {
        std::vector<int> out;
        for (const QList<QVariant>& p : spy)
            out.push_back(p.at(0).toInt());
        return out;
    }
    // Runs the upload on a worker, as the LUTs tab does; its result.
    int upload(const QString& file, const QString& name = QString(), int index = 1)
    {
        return onWorker([&] { return device->loadLut(index, file, name); });
    }
    std::int64_t virtualMs(platform::Clock::TimePoint since) { return clock.elapsedMs(since); }
    // The LUT name register the device reports (784), as a device that holds that LUT fills it.
    void setReportedName(const std::string& name)
    {
        for (std::uint32_t i = 0; i < xmegareg::kTextLength; ++i)
            state->writeRegister(xmegareg::kLutName + i, i < name.size() ? static_cast<std::uint8_t>(name[i]) : 0);
    }
    std::string reportedName() const
    {
        std::string name;
        for (std::uint32_t a = xmegareg::kLutName; a < xmegareg::kLutName + xmegareg::kTextLength && state->readRegister(a); ++a)
            name += static_cast<char>(state->readRegister(a));
        return name;
    }

    std::shared_ptr<platform::SimXmegaState> state;
    DeviceRef usb;
    std::shared_ptr<XmegaUsbPotentialDevice> potential;
    std::shared_ptr<XmegaZanthicConvertersConnectedDevice> device;
};

TEST_F(XmegaLutUpload, TheCubeLandsInEepromTargetZeroAndTheNameInItsRegisters)
{
    const std::string text = "TITLE \"Skin\"\n" + identityCube(33);
    const QString file = files.write(QStringLiteral("skin.cube"), text);
    QSignalSpy progress(device.get(), &ZanthicConvertersConnectedDevice::transferProgress);
    ASSERT_EQ(upload(file, QStringLiteral("unused")), 0);

    DeviceCube expected(17);
    ASSERT_EQ(DecodeCubeFile(text, expected), 0);
    const std::vector<std::uint8_t> area = lutArea();
    EXPECT_EQ(area, expected.bytes());
    EXPECT_EQ(wordAt(area, 4), 63u); // 1/16 x 1023 = 63.9
    EXPECT_EQ(state->eeproms[0].bytes[kLutAt + kLutBytes], 0xFF); // nothing past the cube
    EXPECT_TRUE(state->violations.empty());

    EXPECT_EQ(sessionRequests(), (std::vector<int>{xp::kGetSessionStatus, xp::kOpenSession, xp::kSetTargetEeprom,
                                                   xp::kGetEepromInfo, xp::kEraseEeprom, xp::kGetEepromProgress,
                                                   xp::kWriteEepromData, xp::kGetEepromInfo, xp::kGetSessionStatus,
                                                   xp::kCloseSession}));
    const auto erase = controls(xp::kEraseEeprom);
    ASSERT_EQ(erase.size(), 1u);
    EXPECT_EQ(erase[0].data, (std::vector<std::uint8_t>{63, 0, 0, 0, 1, 0, 0, 0})); // 0x3F0000 / 64 KiB, one sector
    const auto target = controls(xp::kSetTargetEeprom);
    ASSERT_EQ(target.size(), 1u);
    EXPECT_EQ(target[0].setup.wValue, 0);

    // The name, then the load command, after the session.
    const auto writes = controls(xp::kWriteMemory, xp::kVendorInterfaceOut);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].setup.wValue, 1040);
    EXPECT_EQ(writes[1].setup.wValue, 1024);
    std::vector<std::uint8_t> name(64, 0);
    std::copy_n("Skin", 4, name.begin());
    EXPECT_EQ(memory(1040, 64), name);
    EXPECT_EQ(memory(1024, 1), std::vector<std::uint8_t>{3});
    EXPECT_EQ(memory(784, 64), name) << "the device reports the name the tabs heard";

    const std::vector<int> p = percents(progress);
    ASSERT_GE(p.size(), 3u);
    EXPECT_EQ(p.front(), 0);
    EXPECT_EQ(p.back(), 100);
    EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
    EXPECT_EQ(delegate.heard, QStringList{QStringLiteral("1 Skin")});
    EXPECT_EQ(delegate.threads, std::vector<QThread*>{device->thread()});
}

TEST_F(XmegaLutUpload, AnEmptyFileNameUploadsAZeroCubeWithoutAName)
{
    for (std::uint32_t a = 1040; a < 1040 + 64; ++a)
        state->writeRegister(a, 'x');
    ASSERT_EQ(upload(QString(), QStringLiteral("ignored"), 4), 0);
    EXPECT_EQ(lutArea(), std::vector<std::uint8_t>(kLutBytes, 0));
    EXPECT_EQ(memory(1040, 64), std::vector<std::uint8_t>(64, 0));
    EXPECT_EQ(memory(1024, 1), std::vector<std::uint8_t>{3});
    EXPECT_EQ(delegate.heard, QStringList{QStringLiteral("4 ")});
}

TEST_F(XmegaLutUpload, ANameFromTheCallerIsCutTo64Bytes)
{
    const QString file = files.write(QStringLiteral("untitled.cube"), identityCube(17));
    const QString longName = QString(70, QLatin1Char('n'));
    ASSERT_EQ(upload(file, longName), 0);
    EXPECT_EQ(memory(1040, 64), std::vector<std::uint8_t>(64, 'n'));
    EXPECT_EQ(delegate.heard, QStringList{QStringLiteral("1 ") + QString(64, QLatin1Char('n'))});
}

TEST_F(XmegaLutUpload, ABeginThatFailsOnceIsTriedAgainWithProgressFromZero)
{
    SimFault stall;
    stall.kind = SimRequestKind::Control;
    stall.bRequest = xp::kOpenSession;
    bus.addFault(stall);
    // And the first write's end is never reported, after its progress reached the top.
    SimFault status;
    status.kind = SimRequestKind::Control;
    status.bRequest = xp::kGetSessionStatus;
    status.match = [s = state](const SimRequest&) { return s->sessionOpen && s->target == 0; };
    bus.addFault(status);
    LogCapture log;
    const QString file = files.write(QStringLiteral("grade.cube"), identityCube(17));
    QSignalSpy progress(device.get(), &ZanthicConvertersConnectedDevice::transferProgress);
    ASSERT_EQ(upload(file), 0);

    EXPECT_EQ(controls(xp::kOpenSession).size(), 3u);
    EXPECT_TRUE(log.contains(QStringLiteral("Failed to write all EEPROM sectors\n")));
    // Attempt 2 climbs to the top, attempt 3 starts from 0 again and ends there too.
    const std::vector<int> p = percents(progress);
    const auto top = std::find(p.begin(), p.end(), 100);
    ASSERT_NE(top, p.end());
    const auto restart = std::find(top, p.end(), 0);
    ASSERT_NE(restart, p.end());
    EXPECT_TRUE(std::is_sorted(p.begin(), top));
    EXPECT_TRUE(std::is_sorted(restart, p.end()));
    EXPECT_EQ(p.back(), 100);
    EXPECT_EQ(lutArea(), [] {
        DeviceCube c(17);
        DecodeCubeFile(identityCube(17), c);
        return c.bytes();
    }());
    EXPECT_EQ(delegate.heard.size(), 1);
}

struct Failure {
    const char* name;
    std::function<void(const std::shared_ptr<platform::SimXmegaState>&, platform::SimBackend&)> arrange;
    const char* log;
};

TEST_F(XmegaLutUpload, AnEraseThatNeverEndsOrAWriteStatusThatFailsGives5InBoundedTime)
{
    const std::vector<Failure> failures = {
        {"erase never done", [](const std::shared_ptr<platform::SimXmegaState>& s, platform::SimBackend&) { s->eraseForever = true; },
         "Failed to erase all EEPROM sectors\n"},
        {"write never done", [](const std::shared_ptr<platform::SimXmegaState>& s, platform::SimBackend&) { s->busyForever = true; },
         "Failed to write all EEPROM sectors\n"},
        {"write status fails",
         [](const std::shared_ptr<platform::SimXmegaState>& state, platform::SimBackend& bus) {
             for (int i = 0; i < 10; ++i) {
                 SimFault f;
                 f.kind = SimRequestKind::Control;
                 f.bRequest = xp::kGetSessionStatus;
                 f.match = [s = state](const SimRequest&) { return s->sessionOpen && s->target == 0; };
                 bus.addFault(f);
             }
         },
         "Failed to write all EEPROM sectors\n"},
    };
    const QString file = files.write(QStringLiteral("grade.cube"), identityCube(17));
    setReportedName("Old");
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.name);
        state->eraseForever = state->busyForever = false;
        state->sessionOpen = false;
        state->target = -1;
        bus.clearFaults();
        bus.clearTranscript();
        delegate.heard.clear();
        f.arrange(state, bus);
        LogCapture log;
        const platform::Clock::TimePoint start = clock.now();
        EXPECT_EQ(upload(file), 5);
        EXPECT_TRUE(log.contains(QString::fromLatin1(f.log)));
        EXPECT_EQ(controls(xp::kOpenSession).size(), 10u);
        EXPECT_EQ(controls(xp::kCloseSession).size(), 10u);
        // Ten attempts of at most about half a minute each.
        EXPECT_LT(virtualMs(start), 10 * 40 * 1000);
        EXPECT_TRUE(controls(xp::kWriteMemory, xp::kVendorInterfaceOut).empty());
        EXPECT_EQ(delegate.heard, QStringList{QStringLiteral("1 Old")}) << "the name the device still reports";
    }
}

// The LUT is the device's only once its name and the load command are in: either write failing
// fails the upload, and the tabs hear the name the device then reports, not the one sent.
TEST_F(XmegaLutUpload, ANameOrLoadCommandThatFailsFailsTheUpload)
{
    const struct {
        const char* name;
        std::uint16_t failing; // the register whose write fails
        platform::SimFaultAction action;
        std::size_t writes;    // register writes made
    } cases[] = {
        {"name write stalls", xmegareg::kLutNameWritten, platform::SimFaultAction::Stall, 1},
        {"name write times out", xmegareg::kLutNameWritten, platform::SimFaultAction::Timeout, 1},
        {"load command stalls", xmegareg::kLutCommand, platform::SimFaultAction::Stall, 2},
        {"load command times out", xmegareg::kLutCommand, platform::SimFaultAction::Timeout, 2},
    };
    const std::string text = "TITLE \"New\"\n" + identityCube(17);
    const QString file = files.write(QStringLiteral("new.cube"), text);
    DeviceCube expected(17);
    ASSERT_EQ(DecodeCubeFile(text, expected), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setReportedName("Old");
        state->writeRegister(xmegareg::kLutCommand, 0);
        bus.clearFaults();
        bus.clearTranscript();
        delegate.heard.clear();
        SimFault f;
        f.action = c.action;
        f.kind = SimRequestKind::Control;
        f.bRequest = xp::kWriteMemory;
        f.match = [register_ = c.failing](const SimRequest& r) { return r.setup.wValue == register_; };
        bus.addFault(f);

        EXPECT_EQ(upload(file), 5);
        EXPECT_EQ(lutArea(), expected.bytes()) << "the data went, but was never loaded";
        EXPECT_EQ(controls(xp::kWriteMemory, xp::kVendorInterfaceOut).size(), c.writes);
        EXPECT_EQ(memory(1024, 1), std::vector<std::uint8_t>{0});
        EXPECT_EQ(delegate.heard, QStringList{QStringLiteral("1 Old")});
    }

    // And the next upload, without a fault, goes through.
    bus.clearFaults();
    delegate.heard.clear();
    EXPECT_EQ(upload(file), 0);
    EXPECT_EQ(delegate.heard, QStringList{QStringLiteral("1 New")});
    EXPECT_EQ(reportedName(), "New");
}

// Names in the register map are UTF-8; what is not (an older tool's Latin-1) reads as Latin-1.
TEST_F(XmegaLutUpload, TheLutNameReadsAsUtf8ElseAsLatin1)
{
    const QString e = QString::fromUtf8("\xC3\xA9");
    const struct {
        const char* name;
        QByteArray stored;
        QString read;
    } cases[] = {
        {"ASCII", "Skin", QStringLiteral("Skin")},
        {"two-byte", "Sk\xC3\xA9", QStringLiteral("Sk") + e},
        {"four-byte", "\xF0\x9F\x8E\xA5", QString::fromUtf8("\xF0\x9F\x8E\xA5")},
        {"Latin-1", "Sk\xE9", QStringLiteral("Sk") + e},
        {"overlong", "a\xC0\xAF", QString::fromLatin1("a\xC0\xAF")},
        {"surrogate", "\xED\xA0\x80", QString::fromLatin1("\xED\xA0\x80")},
        {"past U+10FFFF", "\xF4\x90\x80\x80", QString::fromLatin1("\xF4\x90\x80\x80")},
        {"a character cut short", "ab\xE2\x82", QString::fromLatin1("ab\xE2\x82")},
        {"all 64 bytes", QByteArray(62, 'a') + "\xC3\xA9", QString(62, QLatin1Char('a')) + e},
        {"empty", "", QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (std::uint32_t i = 0; i < xmegareg::kTextLength; ++i)
            state->writeRegister(xmegareg::kLutName + i, i < std::uint32_t(c.stored.size()) ? std::uint8_t(c.stored[int(i)]) : 0);
        EXPECT_EQ(device->getLutName(), c.read);
    }
}

// The whole erase is bounded by the image, whatever sector size the device reports; a sector
// no serial memory has is the device's fault and stops the image before anything is erased.
TEST_F(XmegaLutUpload, TheEraseWaitIsBoundedByTheImageNotByTheSectorSizeReported)
{
    const struct {
        std::uint32_t sector;
        const char* log;
        std::int64_t atLeastMs, atMostMs;
    } cases[] = {
        {1, "Failed to get EEPROM info\n", 0, 1000},
        {255, "Failed to get EEPROM info\n", 0, 1000},
        {256, "Failed to erase all EEPROM sectors\n", 10000, 14000},
        {4096, "Failed to erase all EEPROM sectors\n", 10000, 14000},
        {65536, "Failed to erase all EEPROM sectors\n", 10000, 14000},
    };
    const std::vector<std::uint8_t> image(kLutBytes, 0x42);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sector);
        state->eeproms[0] = platform::SimXmegaEeprom(8u << 20, c.sector, 256);
        state->eraseForever = true;
        bus.clearTranscript();
        ASSERT_TRUE(potential->beginStagedProgramming());
        LogCapture log;
        const platform::Clock::TimePoint start = clock.now();
        EXPECT_FALSE(potential->program(0, kLutAt, image.data(), static_cast<std::uint32_t>(image.size()), {}));
        EXPECT_TRUE(log.contains(QString::fromLatin1(c.log)));
        EXPECT_GE(virtualMs(start), c.atLeastMs);
        EXPECT_LE(virtualMs(start), c.atMostMs);
        EXPECT_EQ(controls(xp::kEraseEeprom).size(), c.atLeastMs > 0 ? 1u : 0u);
        EXPECT_TRUE(potential->endStagedProgramming());
    }
}

// The card's poll runs on the GUI thread: while an upload waits out a time-out it lets its
// turns go instead of queueing behind the transfer.
TEST_F(XmegaLutUpload, ThePollLetsItsTurnsGoWhileAnUploadWaitsOutATimeOut)
{
    zanthictest::ScaledClock fast(5); // the data piece's 10 s time-out takes 2 s: four polls
    platform::ClockOverride scaled(&fast);
    auto timed = makeConnectedDevice<TimedPolls<XmegaZanthicConvertersConnectedDevice>>(&owner, potential);
    device = timed;
    SimFault late;
    late.action = platform::SimFaultAction::Timeout;
    late.kind = SimRequestKind::Out;
    bus.addFault(late);
    const QString file = files.write(QStringLiteral("grade.cube"), identityCube(17));
    QElapsedTimer wall;
    wall.start();
    EXPECT_EQ(onWorker([&] {
        timed->uploading = true;
        const int result = timed->loadLut(0, file, QString());
        timed->uploading = false;
        return result;
    }), 0);
    EXPECT_GE(wall.elapsed(), 2000) << "the time-out was waited out";
    ASSERT_GE(timed->pollMs.size(), 2u) << "polls fell due during the upload";
    EXPECT_LT(*std::max_element(timed->pollMs.begin(), timed->pollMs.end()), 250);
}

TEST_F(XmegaLutUpload, AnEraseReportingNoTotalShowsNoProgress)
{
    state->eraseTotalUnknown = true;
    const QString file = files.write(QStringLiteral("grade.cube"), identityCube(17));
    QSignalSpy progress(device.get(), &ZanthicConvertersConnectedDevice::transferProgress);
    ASSERT_EQ(upload(file), 0);
    ASSERT_GE(controls(xp::kGetEepromProgress).size(), 2u); // it was asked while busy
    const std::vector<int> p = percents(progress);
    EXPECT_TRUE(std::all_of(p.begin(), p.end(), [](int v) { return v >= 0 && v <= 100; }));
    EXPECT_TRUE(std::is_sorted(p.begin(), p.end()));
}

TEST_F(XmegaLutUpload, TheStopFlagEndsBothWaits)
{
    std::vector<std::uint8_t> image(1000, 0x42);
    std::atomic<bool> stop{false};
    ASSERT_TRUE(potential->beginStagedProgramming());

    // The erase never ends: stopped at once, not after its allowance.
    state->eraseForever = true;
    stop = true;
    LogCapture log;
    platform::Clock::TimePoint start = clock.now();
    EXPECT_FALSE(potential->program(0, 0, image.data(), 1000, {}, &stop));
    EXPECT_TRUE(log.contains(QStringLiteral("Failed to erase all EEPROM sectors\n")));
    EXPECT_LT(virtualMs(start), 500);

    // The write never ends: the flag is set once the data is out.
    state->eraseForever = false;
    state->busyForever = true;
    stop = false;
    start = clock.now();
    EXPECT_FALSE(potential->program(0, 0, image.data(), 1000,
                                    [&stop](float fraction) {
                                        if (fraction >= 1.0f)
                                            stop = true;
                                    },
                                    &stop));
    EXPECT_TRUE(log.contains(QStringLiteral("Failed to write all EEPROM sectors\n")));
    EXPECT_LT(virtualMs(start), 2000);
    EXPECT_TRUE(potential->endStagedProgramming());

    // Unstopped, the never-ending erase gives up within its allowance.
    state->busyForever = false;
    state->eraseForever = true;
    ASSERT_TRUE(potential->beginStagedProgramming());
    start = clock.now();
    EXPECT_FALSE(potential->program(0, 0, image.data(), 1000, {}, nullptr));
    EXPECT_GE(virtualMs(start), 10000);
    EXPECT_LE(virtualMs(start), 14000);
}

TEST_F(XmegaLutUpload, OnlyTheXmegaModelsTakeALut)
{
    state->productId = 0xBE90;
    const QString file = files.write(QStringLiteral("grade.cube"), identityCube(17));
    EXPECT_EQ(device->loadLut(0, files.path(QStringLiteral("missing.cube")), QString()), 2);
    CubeLogCapture cubeLog;
    const QString bad = files.write(QStringLiteral("bad.cube"), "LUT_3D_SIZE 1\n0 0 0\n");
    EXPECT_EQ(device->loadLut(0, bad, QString()), 22);
    EXPECT_NE(cubeLog.text().find("CubeParser: Failed to validate 3D LUT, 1/1 entries found\n"), std::string::npos);
    EXPECT_TRUE(controls(xp::kOpenSession).empty());

    auto plain = makeConnectedDevice<XmegaZanthicConvertersConnectedDevice>(&owner, nullptr);
    EXPECT_EQ(plain->loadLut(0, file, QString()), 19);
    EXPECT_TRUE(delegate.heard.isEmpty());
}

} // namespace
