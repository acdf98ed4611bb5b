#pragma once

#include "kit/framework/DeviceFirmwareUpdater.h"

#include <atomic>
#include <thread>

namespace TWG {
namespace Zanthic {

// An update that runs on its own worker thread and reports its result once the run returns.
// The run looks at stopping() at each wait step.
class WorkerUpgradeTask : public DeviceFirmwareUpdater {
    Q_OBJECT
public:
    ~WorkerUpgradeTask() override;

    bool firmwareIsCurrent() override;
    void startUpdate() override;

protected:
    // True once the update went through.
    virtual bool run() = 0;
    // Stops the run at its next wait step and joins the worker. Every subclass calls it first
    // in its destructor: the run uses the subclass, which is gone by the time this destructor runs.
    void stopWorker();
    bool stopping() const { return stop_.load(); }
    // For the device calls that watch the flag themselves.
    const std::atomic<bool>* stopFlag() const { return &stop_; }

private:
    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> updated_{false};
};

} // namespace Zanthic
} // namespace TWG
