#pragma once

#include "plugins/zanthic/device/WorkerUpgradeTask.h"

#include <cstdint>
#include <memory>

namespace TWG {
namespace Zanthic {

class UsbConnectionManager;
class UsbPotentialDevice;
class XmegaUsbPotentialDevice;

// Updates an XMEGA converter (0xBE90, 0xBE91) on a worker thread: each bootloader image of the
// product's firmware set is written in the bootloader, then every other image goes to its
// EEPROM target within one staged-programming session. Destroying the task stops a run at its
// next wait step and joins the worker.
class XmegaUsbUpgradeTask : public WorkerUpgradeTask {
    Q_OBJECT
public:
    XmegaUsbUpgradeTask(std::shared_ptr<UsbConnectionManager> manager, std::shared_ptr<UsbPotentialDevice> device);
    ~XmegaUsbUpgradeTask() override;

    // What a wait accepts of the device it finds: a running bootloader, anything that answers,
    // or (another value) that 1-byte boot mode.
    static constexpr int kWaitBootloader = 10;
    static constexpr int kWaitAny = -1;

private:
    bool run() override;
    std::shared_ptr<XmegaUsbPotentialDevice> waitForXmega(std::int64_t timeoutMs, int mode);
    // Sleeps in short steps; false once the task is stopping.
    bool pause(std::int64_t ms);

    std::shared_ptr<XmegaUsbPotentialDevice> device_;
};

} // namespace Zanthic
} // namespace TWG
