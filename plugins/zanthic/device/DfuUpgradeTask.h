#pragma once

#include "kit/framework/DeviceFirmwareUpdater.h"
#include "plugins/zanthic/device/TimedProgressUpdater.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <set>
#include <thread>

namespace TWG {
namespace Zanthic {

class DFUInterface;
class UsbConnectionManager;
class UsbPotentialDevice;

// Updates an STM32 converter through USB DFU 1.1 on a worker thread: detaches the application
// into its bootloader, downloads the product's image and waits for the application to return.
// The device is followed by its serial through the manager as it leaves and returns. Destroying
// the task stops a run at its next wait step and joins the worker.
class DfuUpgradeTask : public DeviceFirmwareUpdater {
    Q_OBJECT
public:
    DfuUpgradeTask(std::shared_ptr<UsbConnectionManager> manager, std::shared_ptr<UsbPotentialDevice> device);
    ~DfuUpgradeTask() override;

    bool firmwareIsCurrent() override;
    void startUpdate() override;

private:
    bool run();
    // The device with that serial once it reports an accepted boot mode (any when empty), as a
    // DFU interface; null at the deadline or when the task stops.
    std::shared_ptr<DFUInterface> waitForDevice(const QString& serial, std::int64_t timeoutMs,
                                                const std::set<std::uint8_t>& modes);

    std::thread worker_;
    TimedProgressUpdater progressUpdater_;
    std::weak_ptr<UsbConnectionManager> manager_;
    std::shared_ptr<UsbPotentialDevice> device_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> updated_{false};
};

} // namespace Zanthic
} // namespace TWG
