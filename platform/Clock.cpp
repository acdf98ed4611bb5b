#include "platform/Clock.h"

#include <atomic>
#include <thread>

namespace platform {

namespace {
RealClock& realClock()
{
    static RealClock real;
    return real;
}
std::atomic<Clock*> installed{nullptr};
} // namespace

Clock::~Clock() = default;

Clock& clock()
{
    Clock* c = installed.load();
    return c ? *c : realClock();
}

void setClock(Clock* c)
{
    installed.store(c);
}

Clock::TimePoint RealClock::now()
{
    return std::chrono::steady_clock::now();
}

void RealClock::sleepFor(Duration duration)
{
    if (duration.count() > 0)
        std::this_thread::sleep_for(duration);
}

void RealClock::callAfter(Duration delay, std::function<void()> fn)
{
    std::thread([delay, fn = std::move(fn)] {
        std::this_thread::sleep_for(delay);
        fn();
    }).detach();
}

VirtualClock::VirtualClock() : now_(std::chrono::steady_clock::time_point{} + std::chrono::hours(1)) {}

Clock::TimePoint VirtualClock::now()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return now_;
}

void VirtualClock::sleepFor(Duration duration)
{
    advance(duration);
}

void VirtualClock::callAfter(Duration delay, std::function<void()> fn)
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    due_.emplace(std::make_pair(now_ + delay, ++sequence_), std::move(fn));
}

void VirtualClock::advance(Duration duration)
{
    TimePoint target;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        target = now_ + (duration.count() > 0 ? duration : Duration(0));
    }
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard<std::recursive_mutex> lock(mutex_);
            if (due_.empty() || due_.begin()->first.first > target) {
                now_ = target;
                return;
            }
            auto it = due_.begin();
            now_ = it->first.first;
            fn = std::move(it->second);
            due_.erase(it);
        }
        fn();
    }
}

bool VirtualClock::runNext()
{
    std::function<void()> fn;
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        if (due_.empty())
            return false;
        auto it = due_.begin();
        if (it->first.first > now_)
            now_ = it->first.first;
        fn = std::move(it->second);
        due_.erase(it);
    }
    fn();
    return true;
}

std::size_t VirtualClock::pending()
{
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return due_.size();
}

} // namespace platform
