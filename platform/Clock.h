#pragma once

#include "platform/Export.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

namespace platform {

// Every sleep and poll of the device layers goes through the process clock, so tests can run
// a firmware update of a simulated device in virtual time.
class TWG_PLATFORM_API Clock {
public:
    using Duration = std::chrono::milliseconds;
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock();
    virtual TimePoint now() = 0;
    virtual void sleepFor(Duration duration) = 0;
    // Runs fn on some thread once the clock has reached now() + delay. The real clock runs it
    // on a short-lived helper thread; the virtual clock runs it inside sleepFor or advance.
    virtual void callAfter(Duration delay, std::function<void()> fn) = 0;

    std::int64_t elapsedMs(TimePoint since) { return std::chrono::duration_cast<Duration>(now() - since).count(); }
};

// The process clock (real time unless a test installed another).
TWG_PLATFORM_API Clock& clock();
// Installs a clock for the process; null restores real time. The caller keeps ownership.
TWG_PLATFORM_API void setClock(Clock* clock);

class TWG_PLATFORM_API RealClock : public Clock {
public:
    TimePoint now() override;
    void sleepFor(Duration duration) override;
    void callAfter(Duration delay, std::function<void()> fn) override;
};

// Time that moves only when someone sleeps or advances it; due callbacks fire in time order
// on the thread that moves the time.
class TWG_PLATFORM_API VirtualClock : public Clock {
public:
    VirtualClock();
    TimePoint now() override;
    void sleepFor(Duration duration) override;
    void callAfter(Duration delay, std::function<void()> fn) override;

    void advance(Duration duration);
    // Moves time straight to the next due callback, runs it; false when none is pending.
    bool runNext();
    std::size_t pending();

private:
    std::recursive_mutex mutex_;
    TimePoint now_;
    std::uint64_t sequence_ = 0;
    std::multimap<std::pair<TimePoint, std::uint64_t>, std::function<void()>> due_;
};

// Installs a clock for the lifetime of the guard (tests).
class ClockOverride {
public:
    explicit ClockOverride(Clock* clock) { setClock(clock); }
    ~ClockOverride() { setClock(nullptr); }
    ClockOverride(const ClockOverride&) = delete;
    ClockOverride& operator=(const ClockOverride&) = delete;
};

} // namespace platform
