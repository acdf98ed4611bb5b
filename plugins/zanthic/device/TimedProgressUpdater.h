#pragma once

#include "platform/Clock.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>

namespace TWG {
namespace Zanthic {

// Moves the progress on while the device writes its firmware after a download, a step whose
// length is known only from the model table. Its timer runs on the updater's own thread: a
// worker arms it through startProgressTimer and stops it through stopProgressTimer.
class TimedProgressUpdater : public QObject {
    Q_OBJECT
public:
    explicit TimedProgressUpdater(QObject* parent = nullptr);

    // From any thread; the timer starts on the updater's thread with a 1000 ms tick.
    void arm(float startValue, float endValue, std::int64_t durationMs);
    // One tick: the progress for the time gone by, until the duration has passed.
    void tick();

signals:
    void updateProgress(int percent);
    void startProgressTimer(std::chrono::milliseconds interval);
    void stopProgressTimer();

private:
    QTimer timer_;
    float startValue_ = 0;
    float endValue_ = 0;
    platform::Clock::TimePoint start_{};
    std::int64_t durationMs_ = 0;
};

} // namespace Zanthic
} // namespace TWG
