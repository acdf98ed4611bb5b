#include "XmegaSimFixture.h"

#include "converters/xmega/DeviceLoaderDelegate.h"
#include "converters/xmega/Progress.h"
#include "converters/xmega/XmegaBeginEepromStage.h"
#include "converters/xmega/XmegaEndEepromStage.h"
#include "converters/xmega/XmegaFirmwareStage.h"
#include "converters/xmega/XmegaStagedLoader.h"
#include "protocol/XmegaProtocol.h"

#include <algorithm>

using namespace TWG::Converters;
using namespace xmegatest;
using platform::SimFault;
using platform::SimFaultAction;

namespace {

constexpr int kOut = xmega::kVendorInterfaceOut;
constexpr int kIn = xmega::kVendorInterfaceIn;

struct Recorder : DeviceLoaderDelegate {
    std::vector<int> percents;
    std::vector<std::string> statuses;
    void progress(int percent) override { percents.push_back(percent); }
    void statusChanged(const std::string& s) override { statuses.push_back(s); }
    bool sawStatus(const std::string& s) const { return std::find(statuses.begin(), statuses.end(), s) != statuses.end(); }
};

class XmegaStaged : public XmegaSimFixture {
protected:
    // Begin, one image on target 0 at offset, End.
    bool runLoad(std::uint32_t offset, const std::vector<std::uint8_t>& image, XmegaStagedLoader** keep = nullptr)
    {
        begin = std::make_unique<XmegaBeginEepromStage>();
        firmware = std::make_unique<XmegaFirmwareStage>(0, offset, static_cast<std::uint32_t>(image.size()), image.data());
        end = std::make_unique<XmegaEndEepromStage>();
        loader = std::make_unique<XmegaStagedLoader>(open(), std::vector<XmegaLoaderStage*>{begin.get(), firmware.get(), end.get()},
                                                     &recorder);
        if (keep)
            *keep = loader.get();
        return loader->run();
    }
    void TearDown() override
    {
        loader.reset();
        XmegaSimFixture::TearDown();
    }

    Recorder recorder;
    std::unique_ptr<XmegaLoaderStage> begin, firmware, end;
    std::unique_ptr<XmegaStagedLoader> loader;
};

} // namespace

TEST_F(XmegaStaged, WriteLeavesTheEepromTargetEqualToTheImage)
{
    state->sessionOpen = true; // a stale session from an earlier, interrupted run
    attach();
    const auto image = pattern(143788);
    const std::uint32_t offset = 0x3B0000;
    ASSERT_TRUE(runLoad(offset, image)) << loader->error();

    EXPECT_TRUE(std::equal(image.begin(), image.end(), state->eeproms[0].bytes.begin() + offset));
    EXPECT_EQ(state->eeproms[0].bytes[offset + image.size()], 0xFF);
    EXPECT_TRUE(state->violations.empty()) << state->violations.front();
    EXPECT_FALSE(state->sessionOpen);
    const auto closes = controls(xmega::kCloseSession, kOut);
    ASSERT_EQ(closes.size(), 2u) << "the stale session, then the end stage";
    EXPECT_EQ(loader->status(), "Finished, please unplug device");
    EXPECT_FALSE(loader->hasError());
    EXPECT_FALSE(loader->isPending());
    EXPECT_TRUE(recorder.sawStatus("Chip 0 offset 3b0000: Erasing Eeprom"));
    EXPECT_TRUE(recorder.sawStatus("Chip 0 offset 3b0000: Writing Eeprom"));
    EXPECT_TRUE(recorder.sawStatus("Chip 0 offset 3b0000: Finishing write"));

    std::vector<int> known;
    std::copy_if(recorder.percents.begin(), recorder.percents.end(), std::back_inserter(known), [](int p) { return p >= 0; });
    ASSERT_FALSE(known.empty());
    EXPECT_TRUE(std::is_sorted(known.begin(), known.end()));
    EXPECT_EQ(known.back(), 100);
    EXPECT_GT(std::count_if(known.begin(), known.end(), [](int p) { return p > 33 && p < 66; }), 2)
        << "the firmware stage's own progress shows within its third";
}

TEST_F(XmegaStaged, StageFailuresEndFalseWithTheirTextAndTheSessionClosed)
{
    struct Row {
        const char* name;
        std::uint32_t offset;
        std::uint32_t length;
        std::function<void(platform::SimXmegaState&, platform::SimBackend&)> arrange;
        std::string error;
        bool sessionWasOpened;
    };
    auto fault = [](SimFaultAction a, int type, int request, SimRequestKind kind = SimRequestKind::Control) {
        SimFault f;
        f.action = a;
        f.kind = kind;
        f.bmRequestType = type;
        f.bRequest = request;
        return f;
    };
    const Row rows[] = {
        {"sector boundary", 0x100, 64, nullptr, "ERROR: Eeprom data does not start on a sector boundary", true},
        {"page boundary", 0x10, 64,
         [](platform::SimXmegaState& s, platform::SimBackend&) { s.eeproms = {platform::SimXmegaEeprom(1 << 20, 16, 256)}; },
         "ERROR: Eeprom data does not start on a page boundary", true},
        {"past the end", (8u << 20) - 0x10000, 0x10001, nullptr, "ERROR: Eeprom data extends past end of Eeprom device", true},
        {"target refused", 0, 64,
         [&](platform::SimXmegaState&, platform::SimBackend& b) { b.addFault(fault(SimFaultAction::Stall, kOut, xmega::kSetTargetEeprom)); },
         "ERROR: Unable to set target Eeprom", true},
        {"sector size 0", 0, 64,
         [](platform::SimXmegaState& s, platform::SimBackend&) { s.eeproms = {platform::SimXmegaEeprom(1 << 20, 0, 256)}; },
         "ERROR: Unable to get target Eeprom info", true},
        {"short info answer", 0, 64,
         [&](platform::SimXmegaState&, platform::SimBackend& b) { b.addFault(fault(SimFaultAction::Short, kIn, xmega::kGetEepromInfo)); },
         "ERROR: Unable to get target Eeprom info", true},
        {"erase stalls", 0, 64,
         [&](platform::SimXmegaState&, platform::SimBackend& b) { b.addFault(fault(SimFaultAction::Stall, kOut, xmega::kEraseEeprom)); },
         "ERROR: Unable to erase Eeprom", true},
        {"erase progress times out", 0, 64,
         [&](platform::SimXmegaState&, platform::SimBackend& b) { b.addFault(fault(SimFaultAction::Timeout, kIn, xmega::kGetEepromProgress)); },
         "ERROR: Unable to get erase progress", true},
        {"erase busy for ever", 0, 64, [](platform::SimXmegaState& s, platform::SimBackend&) { s.eraseForever = true; },
         "ERROR: Unable to get erase progress", true},
        {"bulk stall", 0, 64,
         [&](platform::SimXmegaState&, platform::SimBackend& b) { b.addFault(fault(SimFaultAction::Stall, -1, -1, SimRequestKind::Out)); },
         "ERROR: Error writing eeprom", true},
        {"bulk time-out", 0, 64,
         [&](platform::SimXmegaState&, platform::SimBackend& b) { b.addFault(fault(SimFaultAction::Timeout, -1, -1, SimRequestKind::Out)); },
         "ERROR: Error writing eeprom", true},
        {"write busy for ever", 0, 64, [](platform::SimXmegaState& s, platform::SimBackend&) { s.busyForever = true; },
         "ERROR: Unable to get write progress", true},
        {"stale session never closes", 0, 64,
         [](platform::SimXmegaState& s, platform::SimBackend&) {
             s.sessionOpen = true;
             s.sessionSticks = true;
         },
         "ERROR: Unable to start Eeprom session", false},
        {"session open refused", 0, 64,
         [&](platform::SimXmegaState&, platform::SimBackend& b) { b.addFault(fault(SimFaultAction::Stall, kOut, xmega::kOpenSession)); },
         "ERROR: Unable to start Eeprom session", false},
        {"end refused", 0, 64,
         [&](platform::SimXmegaState&, platform::SimBackend& b) {
             SimFault f = fault(SimFaultAction::Stall, kOut, xmega::kCloseSession);
             b.addFault(f);
         },
         "ERROR: Unable to finish Eeprom session", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        state = std::make_shared<platform::SimXmegaState>();
        bus.clearFaults();
        attach();
        if (row.arrange)
            row.arrange(*state, bus);
        bus.clearTranscript();
        const platform::Clock::TimePoint started = clock.now();
        const auto image = pattern(row.length);
        EXPECT_FALSE(runLoad(row.offset, image));
        EXPECT_EQ(loader->error(), row.error);
        EXPECT_EQ(loader->status(), "ERROR programming device");
        EXPECT_FALSE(loader->isPending());
        EXPECT_LT(clock.elapsedMs(started), 20 * 60 * 1000) << "every wait is bounded";
        if (row.sessionWasOpened && std::string(row.name) != "end refused") {
            EXPECT_GT(lastIndexOf(xmega::kCloseSession, kOut), lastIndexOf(xmega::kOpenSession, kOut));
            EXPECT_FALSE(state->sessionOpen);
        }
        loader.reset();
        bus.clearFaults();
        bus.detach(path);
    }
}

TEST_F(XmegaStaged, UnplugDuringTheStreamFailsAndLeavesNothingOpen)
{
    for (int nth : {1, 2, 3}) {
        SCOPED_TRACE(nth);
        state = std::make_shared<platform::SimXmegaState>();
        attach();
        SimFault f;
        f.action = SimFaultAction::Unplug;
        f.nth = nth;
        f.kind = SimRequestKind::Out;
        bus.addFault(f);
        EXPECT_FALSE(runLoad(0, pattern(70000)));
        EXPECT_EQ(loader->error(), "ERROR: Error writing eeprom");
        loader.reset();
        bus.clearFaults();
        EXPECT_TRUE(bus.listDevices().empty());
    }
}

TEST_F(XmegaStaged, BootloaderSkipsTheStagesAndRestartsThenTheRetrySucceeds)
{
    state->application.assign(state->application.size(), 0x00); // an application to start
    attach(true);
    const auto image = pattern(1000);
    XmegaStagedLoader* l = nullptr;
    EXPECT_FALSE(runLoad(0x10000, image, &l));
    EXPECT_TRUE(l->isPending());
    EXPECT_FALSE(l->hasError());
    EXPECT_TRUE(controls(xmega::kOpenSession).empty());
    const auto restarts = controls(xmega::kRestart, kOut);
    ASSERT_EQ(restarts.size(), 1u);
    EXPECT_EQ(restarts[0].setup.wValue, 0);
    EXPECT_EQ(l->identityWord(), 0x10111213u);
    EXPECT_EQ(recorder.percents.back(), 100);

    const std::string back = reenumerated();
    ASSERT_FALSE(back.empty());
    l->setDevice(open(back));
    ASSERT_TRUE(l->run()) << l->error();
    EXPECT_FALSE(l->isPending());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), state->eeproms[0].bytes.begin() + 0x10000));
}

TEST_F(XmegaStaged, ProgressMapsBlocksOntoItsRange)
{
    const Progress p(nullptr, 50, 100);
    EXPECT_EQ(p.percentFor(0, 4), 50);
    EXPECT_EQ(p.percentFor(1, 4), 62);
    EXPECT_EQ(p.percentFor(4, 4), 100);
    EXPECT_EQ(p.percentFor(0, 0), 100);
}
