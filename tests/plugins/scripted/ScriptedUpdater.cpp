#include "tests/plugins/scripted/ScriptedUpdater.h"

#include <chrono>

ScriptedUpdater::ScriptedUpdater(bool current, bool succeeds, int steps, int stepMs, QObject* parent)
    : DeviceFirmwareUpdater(parent), current_(current), succeeds_(succeeds), steps_(qMax(1, steps)),
      stepMs_(qMax(0, stepMs))
{
}

ScriptedUpdater::~ScriptedUpdater()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

void ScriptedUpdater::startUpdate()
{
    if (running_)
        return;
    if (worker_.joinable())
        worker_.join(); // the last task has ended; only its thread object is left
    running_ = true;
    worker_ = std::thread([this] { run(); });
}

void ScriptedUpdater::run()
{
    emit firmwareUpdateProgress(-1);
    bool ok = pause(stepMs_);
    for (int step = 0; ok && step <= steps_; ++step) {
        emit firmwareUpdateProgress(step * 100 / steps_);
        if (step < steps_)
            ok = pause(stepMs_);
    }
    const bool succeeded = ok && succeeds_;
    if (succeeded)
        current_ = true;
    running_ = false;
    emit firmwareUpdated(succeeded ? Succeeded : Failed);
}

bool ScriptedUpdater::pause(int ms)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_; });
}
