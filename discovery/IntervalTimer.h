#pragma once

#include "discovery/Signal.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace TWG {

// A thread that emits tick every interval. Each wait starts after the previous tick's slots
// returned, so a slow slot delays the next tick and nothing catches up. Ticks run with the
// timer's lock held: a slot must not stop, start or destroy its own timer.
class IntervalTimer {
public:
    IntervalTimer() = default;
    virtual ~IntervalTimer();

    IntervalTimer(const IntervalTimer&) = delete;
    IntervalTimer& operator=(const IntervalTimer&) = delete;

    Signal<void()> tick;

    // Ignored while running, and for an interval of 0 or less.
    void start(std::int32_t intervalMs);
    // Idempotent from any number of threads at once: when it returns no tick runs or will run.
    // A second caller waits for the first one's join.
    void stop();
    bool isRunning() const;

private:
    void run(std::int32_t intervalMs);

    mutable std::mutex mutex_; // guards running_; held through each tick
    std::condition_variable wake_;
    bool running_ = false;
    std::mutex joinMutex_; // guards worker_; taken before mutex_, never by the worker
    std::thread worker_;
};

} // namespace TWG
