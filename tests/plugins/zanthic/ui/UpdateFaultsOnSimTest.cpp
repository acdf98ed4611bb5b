// Faults injected into a clean Zanthic update or LUT upload, one request index at a time, as
// the program runs them: an unplug, a stall or a time-out at any request ends in one report,
// success only with the device's memory complete, the device seen again and offered again, a
// second attempt that succeeds, and a window that no enumeration or status poll freezes.

#include "tests/plugins/zanthic/ui/ZanthicRunRig.h"
#include "tests/support/FaultSweep.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>

namespace {

using namespace zanthicrun;
using faultsweep::Fault;
using faultsweep::statusOf;
using platform::SimFaultAction;

// Two tables that tell apart: the first upload's and the second attempt's.
std::string cubeText(int points, double gain)
{
    std::string text = "LUT_3D_SIZE " + std::to_string(points) + "\n";
    for (int b = 0; b < points; ++b)
        for (int g = 0; g < points; ++g)
            for (int r = 0; r < points; ++r)
                text += std::to_string(gain * r / (points - 1)) + " " + std::to_string(gain * g / (points - 1)) + " " +
                        std::to_string(gain * b / (points - 1)) + "\n";
    return text;
}

std::string told(const Outcome& o)
{
    std::ostringstream text;
    text << (o.ended ? "" : "hangs, ") << (o.succeeded ? "succeeds" : "fails") << ", " << o.reports << " reports";
    if (!o.failure.isEmpty())
        text << ", \"" << o.failure.toStdString() << "\"";
    return text.str();
}

// One device through a run with the fault (none: the clean run), then seen again and taken
// through a second, clean attempt. Returns the requests of the first run.
std::vector<SimRequest> runCase(Kind kind, const std::optional<Fault>& fault)
{
    const std::uint16_t product = productOf(kind);
    std::unique_ptr<Converter> converter = makeConverter(kind);
    luttest::CubeDir files;
    // 17 points for both: the STM32's 33-point table is then expanded from it.
    const int points = 17;
    const std::string firstCube = cubeText(points, 0.9), secondCube = cubeText(points, 0.6);
    const QString firstFile = files.write(QStringLiteral("first grade.cube"), firstCube);
    const QString secondFile = files.write(QStringLiteral("second grade.cube"), secondCube);

    Rig rig;
    converter->plugIn(rig.bus());
    rig.startFamily();
    EXPECT_TRUE(rig.settle([&] { return rig.deviceOf(product) != nullptr; }, std::chrono::seconds(30)))
        << "the device never arrived";
    if (!rig.deviceOf(product))
        return {};
    if (isUpdate(kind)) {
        EXPECT_TRUE(rig.deviceOf(product)->isFirmwareUpdateAvailable()) << "the old firmware is offered the update";
    } else if (!rig.openLutsTab(product)) {
        ADD_FAILURE() << "the LUTs tab never showed";
        return {};
    }

    rig.bus().clearTranscript();
    if (fault) {
        platform::SimFault rule;
        rule.action = fault->action;
        rule.nth = fault->index + 1;
        rig.bus().addFault(rule);
    }
    const Outcome first = isUpdate(kind) ? rig.update(product, true) : rig.upload(firstFile);
    const std::vector<SimRequest> requests = rig.bus().transcript();
    rig.bus().clearFaults();
    if (!first.ended) {
        ADD_FAILURE() << "the run hangs";
        return requests;
    }
    EXPECT_EQ(first.reports, 1) << "one report per run: " << told(first);
    const auto incomplete = [&] {
        return isUpdate(kind) ? converter->updateIncomplete()
                              : converter->lutIncomplete(packedTable(kind, firstCube), "first grade.cube");
    };
    const std::string afterFirst = incomplete();
    if (first.succeeded) {
        EXPECT_EQ(afterFirst, "") << "success reported, but the device is incomplete";
    }
    if (!isUpdate(kind) && rig.lutsTab()) {
        EXPECT_EQ(rig.lutsTab()->nameLabel()->text(), converter->lutName()) << "the tab shows a LUT the device does not hold";
    }
    if (!fault) {
        EXPECT_TRUE(first.succeeded) << "the clean run";
    } else {
        if (requests.size() <= std::size_t(fault->index) ||
            requests[std::size_t(fault->index)].status != statusOf(fault->action))
            ADD_FAILURE() << "the fault did not fire at its index: the run's requests are not in a fixed order";
        // An unplug after the table got through takes the tab down with its device: the lost
        // dialog then tells.
        if (!isUpdate(kind) && !first.succeeded && (fault->action != SimFaultAction::Unplug || !afterFirst.empty())) {
            EXPECT_EQ(first.failure.toStdString(), "LUT Transfer Failed")
                << "the upload's failure is told, and a failed transfer is not a corrupt file";
        }
    }

    if (fault && fault->action == SimFaultAction::Unplug) {
        EXPECT_FALSE(rig.deviceOf(product)) << "the unplugged device is still listed";
        converter->plugIn(rig.bus());
    }
    EXPECT_TRUE(rig.settle([&] {
        D2VisibleDevice* d = rig.deviceOf(product);
        return d && d->serial() == converter->serial();
    }, std::chrono::seconds(60)))
        << "the device is not seen again (" << (afterFirst.empty() ? "complete" : afterFirst) << ")";
    if (!rig.deviceOf(product))
        return requests;

    Outcome second;
    if (isUpdate(kind)) {
        // As the device came back (a replug may have started what the update left whole).
        const std::string seen = incomplete();
        if (!seen.empty()) {
            EXPECT_TRUE(rig.deviceOf(product)->isFirmwareUpdateAvailable())
                << "counts as current while incomplete (" << seen << ")";
        }
        second = rig.update(product, !seen.empty());
    } else {
        rig.closeLostDialog();
        if (!rig.openLutsTab(product)) {
            ADD_FAILURE() << "the LUTs tab does not come back";
            return requests;
        }
        EXPECT_EQ(rig.lutsTab()->nameLabel()->text(), converter->lutName()) << "the tab shows a LUT the device does not hold";
        second = rig.upload(secondFile);
    }
    EXPECT_TRUE(second.ended && second.succeeded && second.reports == 1)
        << "the second attempt: " << told(second);
    EXPECT_EQ(isUpdate(kind) ? converter->updateIncomplete()
                             : converter->lutIncomplete(packedTable(kind, secondCube), "second grade.cube"),
              "")
        << "after the second attempt";
    const std::vector<std::string> violations = converter->violations();
    EXPECT_TRUE(violations.empty()) << "the device saw: " << violations.front();
    EXPECT_LE(rig.worstBlock().count(), Rig::kBlockLimit.count()) << "the window froze: " << rig.worstBlockAt();
    EXPECT_EQ(rig.closeFamily(), 0) << "a handle, claim or transfer was left open";
    return requests;
}

struct Case {
    Kind kind;
    SimFaultAction action;
};

std::string nameOf(const Case& c)
{
    return std::string(zanthicrun::nameOf(c.kind)) + faultsweep::nameOf(c.action);
}

void PrintTo(const Case& c, std::ostream* out)
{
    *out << nameOf(c);
}

class ZanthicFaults : public ::testing::TestWithParam<Case> {};

TEST_P(ZanthicFaults, AtEveryRequestOfACleanRun)
{
    const Case c = GetParam();
    faultsweep::atEveryRequest([&](const std::optional<Fault>& fault) { return runCase(c.kind, fault); }, c.action);
}

std::vector<Case> allCases()
{
    std::vector<Case> out;
    for (Kind k : {Kind::Stm32Update, Kind::XmegaUpdate, Kind::Stm32Lut, Kind::XmegaLut})
        for (SimFaultAction a : {SimFaultAction::Unplug, SimFaultAction::Stall, SimFaultAction::Timeout})
            out.push_back({k, a});
    return out;
}

INSTANTIATE_TEST_SUITE_P(RunsAndFaults, ZanthicFaults, ::testing::ValuesIn(allCases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return nameOf(info.param); });

} // namespace
