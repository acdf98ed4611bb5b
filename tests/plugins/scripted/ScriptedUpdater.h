#pragma once

#include "kit/framework/DeviceFirmwareUpdater.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// An update task that only pretends: on its own thread it reports a moment of unknown progress,
// then steps up to 100 % and ends with the scripted result.
class ScriptedUpdater : public DeviceFirmwareUpdater {
    Q_OBJECT
public:
    ScriptedUpdater(bool current, bool succeeds, int steps, int stepMs, QObject* parent = nullptr);
    // Stops a running task (it reports a failure) and waits for its thread.
    ~ScriptedUpdater() override;

    bool firmwareIsCurrent() override { return current_; }
    // While a task runs, its report answers this request too.
    void startUpdate() override;

    bool isRunning() const { return running_; }

private:
    void run();
    // False when asked to stop during the wait.
    bool pause(int ms);

    std::atomic<bool> current_;
    const bool succeeds_;
    const int steps_;
    const int stepMs_;

    std::thread worker_;
    std::atomic<bool> running_{false};
    std::mutex mutex_;              // guards stop_
    std::condition_variable wake_;
    bool stop_ = false;
};
