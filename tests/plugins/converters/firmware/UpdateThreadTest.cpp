#include "FirmwareTestSupport.h"

#include "plugins/converters/firmware/FirmwareUpdateThread.h"
#include "plugins/converters/firmware/VisibleUSBFirmwareUpdater.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QSignalSpy>

#include <cmath>

namespace {

void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

std::vector<int> ints(const QSignalSpy& spy)
{
    std::vector<int> out;
    for (const QList<QVariant>& args : spy)
        out.push_back(args.at(0).toInt());
    return out;
}

// A VisibleUSBFirmwareUpdater over a scripted updater, with spies on what the controller hears.
struct UpdaterBench {
    UpdaterBench()
    {
        auto owned = std::make_unique<fwtest::ScriptedUpdater>();
        scripted = owned.get();
        updater = new VisibleUSBFirmwareUpdater(std::move(owned), nullptr);
        results = std::make_unique<QSignalSpy>(updater.data(), &DeviceFirmwareUpdater::firmwareUpdated);
        progress = std::make_unique<QSignalSpy>(updater.data(), &DeviceFirmwareUpdater::firmwareUpdateProgress);
    }
    ~UpdaterBench()
    {
        release();
        delete updater.data();
        settle();
    }
    void hold()
    {
        scripted->gate = gate.get_future().share();
        held = true;
    }
    void release()
    {
        if (held)
            gate.set_value();
        held = false;
    }
    bool waitForResults(int n) { return fwtest::waitUntil([&] { return results->count() >= n; }); }

    fwtest::ScriptedUpdater* scripted = nullptr;
    QPointer<VisibleUSBFirmwareUpdater> updater;
    std::unique_ptr<QSignalSpy> results;
    std::unique_ptr<QSignalSpy> progress;
    std::promise<void> gate;
    bool held = false;
};

} // namespace

TEST(UpdateThread, FractionsMapToPercentAndOutsideToIndeterminate)
{
    const std::pair<double, int> table[] = {{-0.01, -1}, {0.0, 0}, {0.5, 50}, {0.999, 99},
                                            {1.0, 100},  {1.01, -1}, {std::nan(""), -1}};
    for (const auto& [fraction, percent] : table)
        EXPECT_EQ(FirmwareUpdateThread::progressPercent(fraction), percent) << fraction;
}

TEST(UpdateThread, ReportsItsResultUnlessToldToStop)
{
    struct Case {
        bool hasUpdater;
        bool programOk;
        bool keepGoing;
        std::vector<int> reports;
    };
    const Case cases[] = {{false, false, true, {1}}, {true, true, true, {0}}, {true, false, true, {3}},
                          {true, true, false, {}}};
    for (const Case& c : cases) {
        auto scripted = std::make_unique<fwtest::ScriptedUpdater>();
        scripted->results = {c.programOk};
        fwtest::ScriptedUpdater* raw = scripted.get();
        FirmwareUpdateThread thread(c.hasUpdater ? std::move(scripted) : nullptr);
        thread.setKeepGoing(c.keepGoing);
        QSignalSpy reports(&thread, &FirmwareUpdateThread::firmwareUpdated);
        thread.start();
        ASSERT_TRUE(thread.wait(5000));
        settle();
        EXPECT_EQ(ints(reports), c.reports);
        if (c.hasUpdater) {
            EXPECT_EQ(raw->completed->load(), 1) << "a silenced run still runs to its end";
        }
    }
}

// The thread's signals stay connected after a run: a retry after a failure reports too.
TEST(VisibleUSBFirmwareUpdater, EveryUpdateReportsItsResult)
{
    UpdaterBench bench;
    bench.scripted->results = {false, true};
    EXPECT_FALSE(bench.updater->firmwareIsCurrent());
    bench.updater->startUpdate();
    ASSERT_TRUE(bench.waitForResults(1));
    bench.updater->startUpdate();
    ASSERT_TRUE(bench.waitForResults(2));
    settle();
    EXPECT_EQ(ints(*bench.results), (std::vector<int>{1, 0}));
    EXPECT_EQ(ints(*bench.progress), (std::vector<int>{0, 50, 100, 100, 0, 50, 100, 100}));
    EXPECT_FALSE(bench.updater->isUpdating());
}

TEST(VisibleUSBFirmwareUpdater, WithoutAnUpdaterTheDeviceIsCurrentAndAnUpdateFails)
{
    VisibleUSBFirmwareUpdater updater(nullptr, nullptr);
    EXPECT_TRUE(updater.firmwareIsCurrent());
    QSignalSpy results(&updater, &DeviceFirmwareUpdater::firmwareUpdated);
    updater.startUpdate();
    ASSERT_TRUE(fwtest::waitUntil([&] { return results.count() == 1; }));
    EXPECT_EQ(results.at(0).at(0).toInt(), 1);
    EXPECT_TRUE(fwtest::waitUntil([&] { return updater.thread()->isFinished(); }));
}

TEST(VisibleUSBFirmwareUpdater, AnApplicationLoadComesFirstAndItsFailureIsReported)
{
    UpdaterBench bench;
    bench.scripted->loadFirst = true;
    bench.updater->startUpdate();
    settle();
    EXPECT_EQ(ints(*bench.progress), std::vector<int>{-1});
    EXPECT_EQ(bench.scripted->loadDelegate, bench.updater.data());
    EXPECT_EQ(bench.scripted->programs, 0);

    bench.updater->onXmegaBinaryLoaded(nullptr, false);
    EXPECT_EQ(ints(*bench.results), std::vector<int>{1});
    EXPECT_FALSE(bench.updater->isUpdating());

    bench.updater->startUpdate();
    bench.updater->onXmegaBinaryLoaded(nullptr, true);
    ASSERT_TRUE(bench.waitForResults(2));
    EXPECT_EQ(ints(*bench.results), (std::vector<int>{1, 0}));
    EXPECT_EQ(bench.scripted->programs, 1);
    bench.updater->onXmegaBinaryLoaded(nullptr, true);
    settle();
    EXPECT_EQ(bench.scripted->programs, 1) << "a stray load report starts nothing";
}

// The converter goes while its update runs: failure is reported at once, the thread's own
// report never comes, and the updater outlives the thread without a GUI-thread wait.
TEST(VisibleUSBFirmwareUpdater, RetiredDuringAnUpdateGoesOnlyAfterItsThreadFinished)
{
    UpdaterBench bench;
    bench.hold();
    bench.updater->startUpdate();
    ASSERT_TRUE(fwtest::waitUntil([&] { return bench.scripted->programs == 1; }));
    QPointer<FirmwareUpdateThread> thread = bench.updater->thread();
    const auto completed = bench.scripted->completed;

    bench.updater->retire();
    EXPECT_EQ(ints(*bench.results), std::vector<int>{1});
    settle();
    EXPECT_TRUE(bench.updater) << "its thread still runs";
    EXPECT_TRUE(thread->isRunning());

    bench.release();
    ASSERT_TRUE(fwtest::waitUntil([&] {
        settle();
        return !bench.updater && !thread;
    }));
    EXPECT_EQ(ints(*bench.results), std::vector<int>{1});
    EXPECT_EQ(*completed, 1) << "the programming ran to its end";
}

TEST(VisibleUSBFirmwareUpdater, RetiredIdleOrWhileLoadingGoesWithoutAThread)
{
    UpdaterBench idle;
    idle.updater->retire();
    settle();
    EXPECT_FALSE(idle.updater);
    EXPECT_EQ(idle.results->count(), 0) << "nothing ran, nothing to report";

    UpdaterBench loading;
    loading.scripted->loadFirst = true;
    loading.updater->startUpdate();
    loading.updater->retire();
    EXPECT_EQ(ints(*loading.results), std::vector<int>{1});
    settle();
    ASSERT_TRUE(loading.updater) << "the notifier still holds it as the load's delegate";
    loading.updater->onXmegaBinaryLoaded(nullptr, true);
    settle();
    EXPECT_FALSE(loading.updater);
}

// Deleted outright while its thread runs: the thread finishes on its own and then goes.
TEST(VisibleUSBFirmwareUpdater, DeletedWhileRunningLeavesTheThreadToFinish)
{
    UpdaterBench bench;
    bench.hold();
    bench.updater->startUpdate();
    ASSERT_TRUE(fwtest::waitUntil([&] { return bench.scripted->programs == 1; }));
    QPointer<FirmwareUpdateThread> thread = bench.updater->thread();
    delete bench.updater.data();
    settle();
    ASSERT_TRUE(thread);
    bench.release();
    EXPECT_TRUE(fwtest::waitUntil([&] {
        settle();
        return !thread;
    }));
    EXPECT_EQ(bench.results->count(), 0);
}

// An application load that cannot start fails the update at once: programming the EEPROM
// images behind the old application would report a success that is none.
TEST(VisibleUSBFirmwareUpdater, AnApplicationLoadThatCannotStartFailsWithoutProgramming)
{
    UpdaterBench bench;
    bench.scripted->loadFails = true;
    bench.updater->startUpdate();
    EXPECT_EQ(ints(*bench.results), std::vector<int>{1});
    EXPECT_FALSE(bench.updater->isUpdating());
    settle();
    EXPECT_EQ(bench.scripted->programs, 0);
    EXPECT_TRUE(bench.progress->isEmpty());

    bench.scripted->loadFails = false;
    bench.updater->startUpdate();
    ASSERT_TRUE(bench.waitForResults(2));
    EXPECT_EQ(ints(*bench.results), (std::vector<int>{1, 0})) << "the next try runs";
}
