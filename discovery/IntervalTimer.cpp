#include "discovery/IntervalTimer.h"

#include <chrono>

namespace TWG {

IntervalTimer::~IntervalTimer()
{
    stop();
}

void IntervalTimer::start(std::int32_t intervalMs)
{
    if (intervalMs <= 0)
        return;
    std::lock_guard<std::mutex> joinLock(joinMutex_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (running_)
            return;
    }
    // A worker told to stop but not yet joined must be gone before running is set again.
    if (worker_.joinable())
        worker_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = true;
    worker_ = std::thread([this, intervalMs] { run(intervalMs); });
}

void IntervalTimer::stop()
{
    // Held throughout, so a start cannot slip in between clearing running and the join.
    std::lock_guard<std::mutex> joinLock(joinMutex_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
    }
    wake_.notify_all();
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id())
        worker_.join();
}

bool IntervalTimer::isRunning() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return running_;
}

void IntervalTimer::run(std::int32_t intervalMs)
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(intervalMs);
        // Spurious wakes wait again for the same deadline.
        wake_.wait_until(lock, deadline, [this] { return !running_; });
        if (!running_)
            return;
        tick();
    }
}

} // namespace TWG
