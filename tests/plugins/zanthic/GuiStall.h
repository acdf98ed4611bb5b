#pragma once

#include "ScaledClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace zanthictest {

// Real time run faster (twenty times unless told), noting the longest sleep the GUI thread
// makes on it: a request the device does not answer is waited out there as one such sleep.
class GuiWatchedClock : public ScaledClock {
public:
    explicit GuiWatchedClock(int factor = 20) : ScaledClock(factor) {}
    void sleepFor(Duration duration) override
    {
        if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
            std::int64_t seen = longestGuiSleepMs.load();
            while (duration.count() > seen && !longestGuiSleepMs.compare_exchange_weak(seen, duration.count())) {
            }
        }
        ScaledClock::sleepFor(duration);
    }
    std::atomic<std::int64_t> longestGuiSleepMs{0};
};

// The longest the GUI thread's event loop went between two turns while this lives, in wall time.
class GuiTurns {
public:
    GuiTurns()
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = wall_.elapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
        wall_.start();
        timer_.start();
    }
    qint64 longestGapMs() const { return std::max(longest_, wall_.elapsed() - last_); }

private:
    QTimer timer_;
    QElapsedTimer wall_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

} // namespace zanthictest
