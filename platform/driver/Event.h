#pragma once

#include "platform/Export.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace platform {

// A manual-reset event, as the overlapped driver calls and their listener threads expect.
class TWG_PLATFORM_API Event {
public:
    Event();
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    bool isSet() const;
    // Returns true when set within the time-out (negative: no limit).
    bool wait(std::int64_t timeoutMs = -1) const;

private:
    friend TWG_PLATFORM_API int waitForAny(const std::vector<std::shared_ptr<Event>>&, std::int64_t);
    struct Waiter;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool set_ = false;
    mutable std::vector<Waiter*> waiters_;
};

using EventHandle = std::shared_ptr<Event>;

constexpr int kWaitTimeout = 0x102;
constexpr int kWaitFailed = -1;

// Index of the first set event, kWaitTimeout after the time-out (negative: no limit), or
// kWaitFailed for an empty list or a null entry. Does not reset the event.
TWG_PLATFORM_API int waitForAny(const std::vector<EventHandle>& events, std::int64_t timeoutMs = -1);

} // namespace platform
