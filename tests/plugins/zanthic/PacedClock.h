#pragma once

#include "platform/Clock.h"
#include "platform/Messages.h"

#include <gtest/gtest.h>

#include <QFile>

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zanthictest {

// Virtual time for the whole program at once: the GUI thread, the notifier thread and the
// update and upload workers all sleep on the process clock, and a device that does not answer
// costs the request its time-out.
//
// The GUI thread's own sleeps (a time-out it waits out) pass at once. Another thread's sleep
// waits until the GUI side grants it between two turns of its event loop, so every thread's
// requests come in one order, run after run. A sleeper that the GUI thread waits for (the GUI
// thread is blocked, not running, for a while) lets its time pass itself: that time then falls
// inside the GUI thread's turn, and the turn measures what the window would have frozen for.
// The same holds while the GUI thread sits in a loop of the program's own (shutdown's), idle:
// time then moves a sleep at a time, once the notifier thread has caught up.
//
// Construct it on the GUI thread.
class PacedClock : public platform::Clock {
public:
    // How long the GUI thread must sit blocked before a sleeper takes it to be waiting for it.
    static constexpr auto kBlockedFor = std::chrono::milliseconds(20);
    // The same while the GUI side does what must never wait on another thread (firing a status
    // poll, which only starts its read's thread): a short block there is the thread start
    // itself (long under ThreadSanitizer, whose thread start waits for the new thread), not a
    // wait on a sleeper; a real wait still lets the sleeper's time pass, only later.
    static constexpr auto kBlockedForWhileStarting = std::chrono::milliseconds(2000);

    // GUI thread: whether what it does now only starts other threads (see above).
    void setStartingThreads(bool starting) { startingThreads_.store(starting); }
    static constexpr auto kNotifierWait = std::chrono::milliseconds(500);

    PacedClock() : guiId_(std::this_thread::get_id()), guiTid_(static_cast<long>(::syscall(SYS_gettid)))
    {
        // The blocked test reads the GUI thread's scheduler state; without it nothing would be
        // measured.
        EXPECT_FALSE(guiState().isEmpty()) << "no scheduler state for the GUI thread in /proc";
    }

    TimePoint now() override { return inner_.now(); }
    void callAfter(Duration delay, std::function<void()> fn) override { inner_.callAfter(delay, std::move(fn)); }

    void sleepFor(Duration duration) override
    {
        if (duration.count() <= 0)
            return;
        if (std::this_thread::get_id() == guiId_) {
            advance(duration);
            return;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        if (freeRunning_) {
            lock.unlock();
            advance(duration);
            return;
        }
        Sleeper self{inner_.now() + duration, ++sequence_};
        const auto asked = std::chrono::steady_clock::now();
        sleepers_.push_back(&self);
        std::chrono::steady_clock::time_point blockedSince{};
        for (;;) {
            changed_.wait_for(lock, std::chrono::milliseconds(2));
            if (self.granted || freeRunning_)
                break;
            if (self.granting || firstWaiting() != &self) {
                blockedSince = {};
                continue;
            }
            lock.unlock();
            // The notifier thread not yet done with a device change: time would run ahead of it
            // (unless it is that thread that sleeps, as it retries an open: then it waits a while).
            const bool blocked = isGuiBlocked() &&
                                 (platform::threadMessagesInFlight() == 0 ||
                                  std::chrono::steady_clock::now() - asked > kNotifierWait);
            lock.lock();
            if (self.granted || self.granting || freeRunning_)
                continue;
            const auto real = std::chrono::steady_clock::now();
            if (!blocked)
                blockedSince = {};
            else if (blockedSince == std::chrono::steady_clock::time_point{})
                blockedSince = real;
            else if (real - blockedSince >= (startingThreads_.load() ? kBlockedForWhileStarting : kBlockedFor))
                break;
        }
        sleepers_.remove(&self);
        const bool granted = self.granted;
        lock.unlock();
        if (!granted)
            advanceTo(self.wake);
    }

    // --- the GUI side --------------------------------------------------------------------

    // When the sleeper due first wakes; max() when none waits.
    TimePoint nextWake()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const Sleeper* s = firstWaiting();
        return s ? s->wake : TimePoint::max();
    }
    // The sleeps that wait for a grant now, each by a number no other sleep has had.
    std::vector<std::uint64_t> waitingSleeps()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::uint64_t> out;
        for (const Sleeper* s : sleepers_)
            if (!s->granted && !s->granting)
                out.push_back(s->sequence);
        return out;
    }
    // The number the latest sleep had: every sleep asked after now gets a greater one.
    std::uint64_t lastSleep()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return sequence_;
    }
    // Moves time to the first sleeper's wake and lets it go on; false when none waits. Only
    // sleeps numbered above since are looked at: those asked for after that one.
    bool grantNext(std::uint64_t since = 0)
    {
        Sleeper* s = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            s = firstWaiting(since);
            if (!s)
                return false;
            s->granting = true;
        }
        advanceTo(s->wake);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            s->granted = true;
        }
        changed_.notify_all();
        return true;
    }
    // Moves time on, firing what falls due on the calling thread; never back.
    void advanceTo(TimePoint until)
    {
        std::lock_guard<std::mutex> lock(advancing_);
        const TimePoint at = inner_.now();
        if (until > at)
            inner_.advance(std::chrono::duration_cast<Duration>(until - at));
    }
    void advance(Duration duration)
    {
        std::lock_guard<std::mutex> lock(advancing_);
        inner_.advance(duration);
    }
    // Every sleep passes at once, on every thread: for a loop of the program's own (shutdown's),
    // which grants nothing.
    void setFreeRunning(bool on)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            freeRunning_ = on;
        }
        changed_.notify_all();
    }

private:
    struct Sleeper {
        TimePoint wake;
        std::uint64_t sequence;
        bool granting = false;
        bool granted = false;
    };

    // The sleeper due first (the first to ask among equals) that no grant has picked yet.
    Sleeper* firstWaiting(std::uint64_t since = 0) const
    {
        Sleeper* first = nullptr;
        for (Sleeper* s : sleepers_)
            if (!s->granted && !s->granting && s->sequence > since &&
                (!first || s->wake < first->wake || (s->wake == first->wake && s->sequence < first->sequence)))
                first = s;
        return first;
    }

    // The GUI thread's state letter in /proc: asleep or in an uninterruptible wait, it waits on
    // something.
    QByteArray guiState() const
    {
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(guiTid_));
        if (!stat.open(QIODevice::ReadOnly))
            return {};
        const QByteArray line = stat.readAll();
        const int close = line.lastIndexOf(')');
        return close < 0 || close + 2 >= line.size() ? QByteArray() : line.mid(close + 2, 1);
    }
    bool isGuiBlocked() const
    {
        const QByteArray state = guiState();
        return state == "S" || state == "D";
    }

    platform::VirtualClock inner_;
    const std::thread::id guiId_;
    const long guiTid_;
    std::mutex advancing_; // one thread moves time at once: time never goes back
    std::mutex mutex_;     // the sleepers and the mode
    std::condition_variable changed_;
    std::list<Sleeper*> sleepers_;
    std::uint64_t sequence_ = 0;
    bool freeRunning_ = false;
    std::atomic<bool> startingThreads_{false};
};

} // namespace zanthictest
