#pragma once

#include "plugins/zanthic/device/TimedProgressUpdater.h"
#include "plugins/zanthic/device/WorkerUpgradeTask.h"

#include <cstdint>
#include <memory>
#include <set>

namespace TWG {
namespace Zanthic {

class DFUInterface;
class UsbConnectionManager;
class UsbPotentialDevice;

// Updates an STM32 converter through USB DFU 1.1 on a worker thread: detaches the application
// into its bootloader, downloads the product's image and waits for the application to return.
// Destroying the task stops a run at its next wait step and joins the worker.
class DfuUpgradeTask : public WorkerUpgradeTask {
    Q_OBJECT
public:
    DfuUpgradeTask(std::shared_ptr<UsbConnectionManager> manager, std::shared_ptr<UsbPotentialDevice> device);
    ~DfuUpgradeTask() override;

private:
    bool run() override;
    // The device once it reports an accepted boot mode (any when empty), as a DFU interface;
    // null at the deadline or when the task stops.
    std::shared_ptr<DFUInterface> waitForDfu(std::int64_t timeoutMs, const std::set<std::uint8_t>& modes);

    TimedProgressUpdater progressUpdater_;
    std::shared_ptr<UsbPotentialDevice> device_;
};

} // namespace Zanthic
} // namespace TWG
