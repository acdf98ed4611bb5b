#include "discovery/SerialExecutor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using TWG::SerialExecutor;

namespace {
constexpr auto kWait = std::chrono::seconds(5);
}

TEST(SerialExecutor, RunsTasksOneAtATimeInQueueOrderOffTheCaller)
{
    SerialExecutor executor;
    std::mutex mutex;
    std::vector<int> order;
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    std::promise<std::thread::id> worker;
    for (int i = 0; i < 50; ++i) {
        executor.post([&, i] {
            if (running.fetch_add(1) != 0)
                overlapped = true;
            {
                std::lock_guard<std::mutex> lock(mutex);
                order.push_back(i);
            }
            running.fetch_sub(1);
        });
    }
    executor.post([&] { worker.set_value(std::this_thread::get_id()); });
    auto id = worker.get_future();
    ASSERT_EQ(id.wait_for(kWait), std::future_status::ready);
    EXPECT_NE(id.get(), std::this_thread::get_id());
    EXPECT_FALSE(overlapped);
    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(order[i], i);
}

TEST(SerialExecutor, StopDropsQueuedTasksAndTasksPostedAfterIt)
{
    SerialExecutor executor;
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<int> laterRuns{0};
    executor.post([&] {
        started.set_value();
        released.wait();
    });
    started.get_future().wait();
    for (int i = 0; i < 5; ++i)
        executor.post([&] { ++laterRuns; });
    std::thread stopper([&] { executor.stop(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    release.set_value();
    stopper.join(); // returns once the running task ended
    executor.post([&] { ++laterRuns; });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(laterRuns, 0);
}

TEST(SerialExecutor, StopAndDestructionFromInsideATaskNeitherHangNorTerminate)
{
    {
        SerialExecutor executor;
        std::promise<void> done;
        executor.post([&] {
            executor.stop();
            done.set_value();
        });
        ASSERT_EQ(done.get_future().wait_for(kWait), std::future_status::ready);
    }
    auto* executor = new SerialExecutor;
    std::promise<void> destroyed;
    std::atomic<int> after{0};
    executor->post([&, executor] {
        delete executor;
        destroyed.set_value();
    });
    executor = nullptr;
    ASSERT_EQ(destroyed.get_future().wait_for(kWait), std::future_status::ready);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(after, 0);
}

// A task may delete its executor while another thread's post of that very task is still
// returning: the post must not touch the executor or its state once the task can run.
// ThreadSanitizer (and sometimes AddressSanitizer) sees a post that does.
TEST(SerialExecutor, APostStillReturningWhileItsTaskDeletesTheExecutor)
{
    for (int round = 0; round < 200; ++round) {
        auto* executor = new SerialExecutor;
        std::promise<void> gone;
        std::thread poster([&] {
            executor->post([] {});
            executor->post([executor, &gone] {
                delete executor;
                gone.set_value();
            });
        });
        ASSERT_EQ(gone.get_future().wait_for(kWait), std::future_status::ready);
        poster.join();
    }
}
