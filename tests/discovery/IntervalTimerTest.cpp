#include "discovery/IntervalTimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

using TWG::IntervalTimer;
using Clock = std::chrono::steady_clock;

namespace {

long msSince(Clock::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Tick times in ms since the recorder was made.
struct TickRecorder {
    explicit TickRecorder(IntervalTimer& timer, int slotMs = 0)
    {
        timer.tick.connect([this, slotMs] {
            {
                std::lock_guard<std::mutex> lock(mutex);
                starts.push_back(msSince(origin));
            }
            if (slotMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(slotMs));
        });
    }
    std::vector<long> ticks()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return starts;
    }
    Clock::time_point origin = Clock::now();
    std::mutex mutex;
    std::vector<long> starts;
};

} // namespace

TEST(IntervalTimer, StopDuringTheWaitGivesNoTickAndReturnsPromptly)
{
    IntervalTimer timer;
    TickRecorder recorder(timer);
    timer.start(2000);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto before = Clock::now();
    timer.stop();
    EXPECT_LT(msSince(before), 200);
    EXPECT_FALSE(timer.isRunning());
    EXPECT_TRUE(recorder.ticks().empty());
}

TEST(IntervalTimer, SecondStartKeepsTheFirstIntervalAndARestartTakesTheNewOne)
{
    IntervalTimer timer;
    TickRecorder recorder(timer);
    timer.start(100);
    timer.start(1000); // ignored
    std::this_thread::sleep_for(std::chrono::milliseconds(350));
    timer.stop();
    const auto first = recorder.ticks();
    ASSERT_GE(first.size(), 2u);
    EXPECT_LE(first.size(), 4u);
    EXPECT_GE(first[0], 95);

    TickRecorder restarted(timer);
    timer.start(400);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_TRUE(restarted.ticks().empty()); // not yet 400 ms
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    timer.stop();
    const auto second = restarted.ticks();
    ASSERT_EQ(second.size(), 1u);
    EXPECT_GE(second[0], 395);
}

TEST(IntervalTimer, ZeroOrNegativeIntervalDoesNotStart)
{
    IntervalTimer timer;
    timer.start(0);
    EXPECT_FALSE(timer.isRunning());
    timer.start(-5);
    EXPECT_FALSE(timer.isRunning());
}

// Each wait starts when the previous tick's slot returned: no catch-up after a slow slot.
TEST(IntervalTimer, SlowSlotDelaysTheNextTick)
{
    IntervalTimer timer;
    TickRecorder recorder(timer, 300);
    timer.start(200);
    std::this_thread::sleep_for(std::chrono::milliseconds(1250));
    timer.stop();
    const auto ticks = recorder.ticks();
    ASSERT_GE(ticks.size(), 2u);
    for (size_t i = 1; i < ticks.size(); ++i)
        EXPECT_GE(ticks[i] - ticks[i - 1], 300 + 200 - 5) << "tick " << i;
}

// The unicast query stops its timer from its receive thread while its destructor stops it too.
TEST(IntervalTimer, ConcurrentStopsAreSafeAndAllReturnAfterTheWorkerEnded)
{
    for (int round = 0; round < 20; ++round) {
        IntervalTimer timer;
        std::atomic<bool> ticking{false};
        std::atomic<bool> tickDone{false};
        timer.tick.connect([&] {
            ticking = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            tickDone = true;
        });
        timer.start(1);
        while (!ticking)
            std::this_thread::yield();
        std::atomic<int> returnedDuringTick{0};
        std::vector<std::thread> stoppers;
        for (int i = 0; i < 4; ++i) {
            stoppers.emplace_back([&] {
                timer.stop();
                if (!tickDone)
                    ++returnedDuringTick;
            });
        }
        for (auto& t : stoppers)
            t.join();
        EXPECT_EQ(returnedDuringTick, 0);
        EXPECT_FALSE(timer.isRunning());
    }
}
