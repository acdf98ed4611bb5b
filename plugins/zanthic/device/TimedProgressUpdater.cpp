#include "plugins/zanthic/device/TimedProgressUpdater.h"

#include <QMetaType>

namespace TWG {
namespace Zanthic {

namespace {
constexpr std::chrono::milliseconds kTick{1000};
} // namespace

TimedProgressUpdater::TimedProgressUpdater(QObject* parent) : QObject(parent), timer_(this)
{
    qRegisterMetaType<std::chrono::milliseconds>("std::chrono::milliseconds");
    connect(&timer_, &QTimer::timeout, this, &TimedProgressUpdater::tick, Qt::DirectConnection);
    connect(this, &TimedProgressUpdater::startProgressTimer, &timer_,
            [this](std::chrono::milliseconds interval) { timer_.start(interval); });
    connect(this, &TimedProgressUpdater::stopProgressTimer, &timer_, [this] { timer_.stop(); });
}

void TimedProgressUpdater::arm(float startValue, float endValue, std::int64_t durationMs)
{
    // Written by the worker before the queued start reaches the timer's thread.
    startValue_ = startValue;
    endValue_ = endValue;
    start_ = platform::clock().now();
    durationMs_ = durationMs;
    emit startProgressTimer(kTick);
}

void TimedProgressUpdater::tick()
{
    const std::int64_t elapsed = platform::clock().elapsedMs(start_);
    if (elapsed >= durationMs_)
        return;
    emit updateProgress(static_cast<int>(float(elapsed) / float(durationMs_) * (endValue_ - startValue_) + startValue_));
}

} // namespace Zanthic
} // namespace TWG
