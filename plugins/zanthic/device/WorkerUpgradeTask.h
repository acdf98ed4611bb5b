#pragma once

#include "kit/framework/DeviceFirmwareUpdater.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace TWG {
namespace Zanthic {

class UsbConnectionManager;
class UsbPotentialDevice;

// An update that runs on its own worker thread and reports its result once the run returns.
// The run looks at stopping() at each wait step. The device it updates leaves the bus and
// returns as it restarts; the task follows it through the manager by what it is known by.
class WorkerUpgradeTask : public DeviceFirmwareUpdater {
    Q_OBJECT
public:
    ~WorkerUpgradeTask() override;

    bool firmwareIsCurrent() override;
    void startUpdate() override;

protected:
    WorkerUpgradeTask(std::shared_ptr<UsbConnectionManager> manager, const std::shared_ptr<UsbPotentialDevice>& device);

    // True once the update went through.
    virtual bool run() = 0;
    // Stops the run at its next wait step and joins the worker. Every subclass calls it first
    // in its destructor: the run uses the subclass, which is gone by the time this destructor runs.
    void stopWorker();
    bool stopping() const { return stop_.load(); }
    // For the device calls that watch the flag themselves.
    const std::atomic<bool>* stopFlag() const { return &stop_; }

    // Empty once the manager has gone.
    std::shared_ptr<UsbConnectionManager> manager() const { return manager_.lock(); }
    // Looks for the device every 100 ms until `accept` takes it: by its serial, or, where the
    // device or its next enumeration has none, as the only one of its product listed since
    // (UsbConnectionManager::findReturningDevice). The device accepted, or null at the deadline,
    // once the task stops or once the manager has gone. Runs on the worker.
    using Accept = std::function<bool(const std::shared_ptr<UsbPotentialDevice>& device)>;
    std::shared_ptr<UsbPotentialDevice> waitForDevice(std::int64_t timeoutMs, const Accept& accept);

private:
    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> updated_{false};
    std::weak_ptr<UsbConnectionManager> manager_;
    // What the device is known by, and when the one last found was listed.
    QString serial_;
    std::uint16_t productId_ = 0;
    std::uint64_t listedSince_ = 0;
};

} // namespace Zanthic
} // namespace TWG
