#pragma once

#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace zanthictest {

// Real time run faster: the update tasks' worker threads, the notifier thread and the GUI
// thread all move on their own, as they do with real devices, while a 30 s wait takes 300 ms.
class ScaledClock : public platform::Clock {
public:
    explicit ScaledClock(int factor) : factor_(factor), origin_(std::chrono::steady_clock::now()) {}
    TimePoint now() override { return origin_ + (std::chrono::steady_clock::now() - origin_) * factor_; }
    void sleepFor(Duration duration) override
    {
        if (duration.count() > 0)
            std::this_thread::sleep_for(real(duration));
    }
    void callAfter(Duration delay, std::function<void()> fn) override
    {
        std::thread([wait = real(delay), fn = std::move(fn)] {
            std::this_thread::sleep_for(wait);
            fn();
        }).detach();
    }

private:
    std::chrono::microseconds real(Duration d) const { return std::chrono::microseconds(d.count() * 1000 / factor_); }
    const int factor_;
    const TimePoint origin_;
};

} // namespace zanthictest
