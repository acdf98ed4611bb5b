// The program ends (the family's shutdown, as the window goes) in each stage of each kind of
// Zanthic update and LUT upload: shutdown waits for it to run to its end, nothing reaches the
// bus once it has returned, and every driver object is closed once the family is gone.

#include "tests/plugins/zanthic/ui/ZanthicRunRig.h"
#include "tests/support/Gate.h"

#include "protocol/DfuProtocol.h"
#include "protocol/XmegaProtocol.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

namespace {

using namespace zanthicrun;
namespace xmega = TWG::Converters::xmega;

bool control(const SimRequest& r, int requestType, int request)
{
    return r.kind == SimRequestKind::Control && r.setup.bmRequestType == requestType && r.setup.bRequest == request;
}
bool any(const std::vector<SimRequest>& seen, const std::function<bool(const SimRequest&)>& p)
{
    return std::any_of(seen.begin(), seen.end(), p);
}

struct Stage {
    Kind kind;
    const char* name;
    // The stage begins with this request (seen: every request before it).
    std::function<bool(const SimRequest& r, const std::vector<SimRequest>& seen)> begins;
    // The worker is held at that request until shutdown waits; otherwise the stage is a wait
    // of the worker's, which shutdown is called in.
    bool holds;
};

const Stage kStages[] = {
    {Kind::Stm32Update, "Stm32WaitingForItsBootloader",
     [](const SimRequest& r, const auto&) { return control(r, TWG::Dfu::kRequestOut, TWG::Dfu::kDetach); }, false},
    {Kind::Stm32Update, "Stm32Downloading",
     [](const SimRequest& r, const auto&) {
         return control(r, TWG::Dfu::kRequestOut, TWG::Dfu::kDnload) && r.setup.wValue == 1;
     },
     true},
    {Kind::Stm32Update, "Stm32WaitingForItsApplication",
     [](const SimRequest& r, const auto&) {
         return control(r, TWG::Dfu::kRequestOut, TWG::Dfu::kDnload) && r.setup.wLength == 0;
     },
     false},
    {Kind::XmegaUpdate, "XmegaWaitingForItsBootloader",
     [](const SimRequest& r, const auto&) {
         return control(r, xmega::kVendorInterfaceOut, xmega::kRestart) && r.setup.wValue == xmega::kRestartBootloader;
     },
     false},
    {Kind::XmegaUpdate, "XmegaWritingItsBootloaderImage",
     [](const SimRequest& r, const auto&) { return control(r, xmega::kVendorInterfaceOut, xmega::kWriteApplication); },
     true},
    {Kind::XmegaUpdate, "XmegaWaitingForItsApplication",
     [](const SimRequest& r, const auto&) {
         return control(r, xmega::kVendorInterfaceOut, xmega::kRestart) && r.setup.wValue == xmega::kRestartApplication;
     },
     false},
    {Kind::XmegaUpdate, "XmegaProgrammingItsEeprom",
     [](const SimRequest& r, const auto&) { return r.kind == SimRequestKind::Out; }, true},
    {Kind::XmegaUpdate, "XmegaWaitingAfterItsEeprom",
     [](const SimRequest& r, const auto&) { return control(r, xmega::kVendorInterfaceOut, xmega::kCloseSession); },
     false},
    {Kind::Stm32Lut, "Stm32SendingItsTable",
     [](const SimRequest& r, const auto& seen) {
         return control(r, stm32::kVendorDeviceOut, stm32::kSetValue) &&
                any(seen, [](const SimRequest& s) { return control(s, stm32::kVendorDeviceOut, stm32::kSetValue); });
     },
     true},
    {Kind::Stm32Lut, "Stm32SendingItsName",
     [](const SimRequest& r, const auto&) {
         return control(r, stm32::kVendorDeviceOut, stm32::kSetKey) &&
                std::string(r.data.begin(), r.data.end()) == stm32::keys::kLutName;
     },
     true},
    {Kind::XmegaLut, "XmegaErasing",
     [](const SimRequest& r, const auto&) { return control(r, xmega::kVendorInterfaceOut, xmega::kEraseEeprom); },
     true},
    {Kind::XmegaLut, "XmegaWritingItsTable", [](const SimRequest& r, const auto&) { return r.kind == SimRequestKind::Out; },
     true},
    {Kind::XmegaLut, "XmegaWaitingForTheWrite",
     [](const SimRequest& r, const auto& seen) {
         return control(r, xmega::kVendorInterfaceIn, xmega::kGetSessionStatus) &&
                any(seen, [](const SimRequest& s) { return s.kind == SimRequestKind::Out; });
     },
     false},
    {Kind::XmegaLut, "XmegaNamingIt",
     [](const SimRequest& r, const auto&) {
         return control(r, xmega::kVendorInterfaceOut, xmega::kWriteMemory) && r.setup.wValue == xmegareg::kLutNameWritten;
     },
     true},
};

void PrintTo(const Stage& s, std::ostream* out)
{
    *out << s.name;
}

class ZanthicShutdown : public ::testing::TestWithParam<Stage> {};

TEST_P(ZanthicShutdown, WaitsForTheRunsEndThenNothingTouchesTheBus)
{
    const Stage& stage = GetParam();
    const std::uint16_t product = productOf(stage.kind);
    std::unique_ptr<Converter> converter = makeConverter(stage.kind);
    luttest::CubeDir files;
    const std::string cube = luttest::identityCube(17);
    const QString file = files.write(QStringLiteral("grade.cube"), cube);

    Rig rig;
    converter->plugIn(rig.bus());
    rig.startFamily();
    ASSERT_TRUE(rig.settle([&] { return rig.deviceOf(product) != nullptr; }, std::chrono::seconds(30)));
    if (!isUpdate(stage.kind)) {
        ASSERT_TRUE(rig.openLutsTab(product));
    }

    Gate gate;
    const std::thread::id gui = std::this_thread::get_id();
    auto reached = std::make_shared<std::atomic<bool>>(false);
    platform::SimFault hold;
    hold.match = [&, reached, opened = gate.future](const SimRequest& r) {
        if (reached->load() || std::this_thread::get_id() == gui || !stage.begins(r, rig.bus().transcript()))
            return false;
        reached->store(true);
        if (stage.holds)
            opened.wait();
        return false;
    };
    rig.bus().addFault(hold);
    if (isUpdate(stage.kind)) {
        rig.family()->showDevice(rig.deviceOf(product));
        ASSERT_TRUE(rig.family()->controller());
        rig.family()->controller()->dialog()->yesButton()->click();
    } else {
        rig.lutsTab()->importFile(file);
    }
    ASSERT_TRUE(rig.settle([&] { return reached->load(); }, std::chrono::seconds(60))) << "the stage never came";
    ASSERT_TRUE(rig.workerRuns());
    EXPECT_FALSE(rig.family()->canClose());

    // In shutdown's own loop, the GUI thread idle, the workers' sleeps pass one at a time.
    if (stage.holds)
        QTimer::singleShot(20, &rig.host(), [&] { gate.release(); });
    rig.family()->shutdown();
    EXPECT_FALSE(rig.workerRuns()) << "shutdown returned mid-run";
    if (isUpdate(stage.kind)) {
        ASSERT_TRUE(rig.family()->controller());
        EXPECT_EQ(rig.family()->controller()->dialog()->state(), FirmwareUpdateDialog::Complete);
        EXPECT_EQ(converter->updateIncomplete(), "");
    } else {
        EXPECT_EQ(converter->lutIncomplete(packedTable(stage.kind, cube), "grade.cube"), "");
        EXPECT_TRUE(converter->lutSelected()) << "shutdown returned before the upload's selection";
    }

    // As the window goes: shutdown, then the family, with no turn of the event loop between.
    const std::vector<SimRequest> before = rig.bus().transcript();
    EXPECT_EQ(rig.closeFamily(), 0) << "a driver object was left open";
    const std::vector<SimRequest> after = rig.bus().transcript();
    const std::vector<SimRequest> late(after.begin() + long(std::min(before.size(), after.size())), after.end());
    EXPECT_TRUE(late.empty()) << "a request after shutdown returned: " << (late.empty() ? "" : describe(late.front()));
    EXPECT_TRUE(converter->violations().empty());
}

INSTANTIATE_TEST_SUITE_P(EachStage, ZanthicShutdown, ::testing::ValuesIn(kStages),
                         [](const ::testing::TestParamInfo<Stage>& info) { return std::string(info.param.name); });

} // namespace
