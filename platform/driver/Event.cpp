#include "platform/driver/Event.h"

#include <algorithm>

namespace platform {

// A waiter registered with several events: any set() wakes it.
struct Event::Waiter {
    std::mutex mutex;
    std::condition_variable wake;
    bool signalled = false;
};

Event::Event() = default;
Event::~Event() = default;

void Event::set()
{
    // Waiters are signalled under the event's lock: a waiter deregisters under the same lock
    // before its stack record goes away.
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
    changed_.notify_all();
    for (Waiter* w : waiters_) {
        std::lock_guard<std::mutex> waiterLock(w->mutex);
        w->signalled = true;
        w->wake.notify_all();
    }
}

void Event::reset()
{
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = false;
}

bool Event::isSet() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return set_;
}

bool Event::wait(std::int64_t timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (timeoutMs < 0) {
        changed_.wait(lock, [this] { return set_; });
        return true;
    }
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return set_; });
}

int waitForAny(const std::vector<EventHandle>& events, std::int64_t timeoutMs)
{
    if (events.empty())
        return kWaitFailed;
    for (const EventHandle& e : events)
        if (!e)
            return kWaitFailed;

    Event::Waiter waiter;
    auto firstSet = [&]() -> int {
        for (std::size_t i = 0; i < events.size(); ++i)
            if (events[i]->isSet())
                return static_cast<int>(i);
        return -1;
    };
    for (const EventHandle& e : events) {
        std::lock_guard<std::mutex> lock(e->mutex_);
        e->waiters_.push_back(&waiter);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    int index = -1;
    for (;;) {
        index = firstSet();
        if (index >= 0)
            break;
        std::unique_lock<std::mutex> lock(waiter.mutex);
        if (!waiter.signalled) {
            if (timeoutMs < 0) {
                waiter.wake.wait(lock, [&] { return waiter.signalled; });
            } else if (!waiter.wake.wait_until(lock, deadline, [&] { return waiter.signalled; })) {
                lock.unlock();
                index = firstSet();
                break;
            }
        }
        waiter.signalled = false;
    }
    for (const EventHandle& e : events) {
        std::lock_guard<std::mutex> lock(e->mutex_);
        auto& w = e->waiters_;
        w.erase(std::remove(w.begin(), w.end(), &waiter), w.end());
    }
    return index >= 0 ? index : kWaitTimeout;
}

} // namespace platform
