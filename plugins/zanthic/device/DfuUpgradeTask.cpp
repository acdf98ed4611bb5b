#include "plugins/zanthic/device/DfuUpgradeTask.h"

#include "plugins/zanthic/device/DfuInterface.h"
#include "plugins/zanthic/device/FirmwareLookup.h"
#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/device/UsbConnectionManager.h"
#include "plugins/zanthic/device/ZanthicLog.h"
#include "protocol/Stm32Protocol.h"

#include <cmath>
#include <stdexcept>
#include <system_error>

namespace TWG {
namespace Zanthic {

namespace {
constexpr std::int64_t kMsPerSecond = 1000;
// The download fills the first half of the bar, the device's own writing the second.
constexpr float kDownloadShare = 50.0f;
constexpr int kDone = 100;
constexpr int kUnknown = -1;
} // namespace

DfuUpgradeTask::DfuUpgradeTask(std::shared_ptr<UsbConnectionManager> manager,
                               std::shared_ptr<UsbPotentialDevice> device)
    : WorkerUpgradeTask(std::move(manager), device), device_(std::move(device))
{
    connect(&progressUpdater_, &TimedProgressUpdater::updateProgress, this,
            &DeviceFirmwareUpdater::firmwareUpdateProgress);
}

DfuUpgradeTask::~DfuUpgradeTask() { stopWorker(); }

std::shared_ptr<DFUInterface> DfuUpgradeTask::waitForDfu(std::int64_t timeoutMs, const std::set<std::uint8_t>& modes)
{
    int lastMode = -1;
    std::shared_ptr<DFUInterface> dfu;
    waitForDevice(timeoutMs, [&](const std::shared_ptr<UsbPotentialDevice>& device) {
        const std::uint8_t mode = device->readBootMode();
        if (mode != lastMode) {
            qCDebug(lcZanthic, "DFU Upgrade: Current boot mode %u", unsigned(mode));
            lastMode = mode;
        }
        if (!modes.empty() && !modes.count(mode))
            return false;
        try {
            dfu = std::make_shared<DFUInterface>(device->usbDevice(), stopFlag());
            return true;
        } catch (const std::runtime_error&) {
            return false; // not ready yet: the wait goes on
        }
    });
    return dfu;
}

bool DfuUpgradeTask::run()
{
    if (!device_)
        return false;
    try {
        qCDebug(lcZanthic, "DFU Upgrade: Getting device info.");
        std::shared_ptr<UsbConnectionManager> manager = this->manager();
        const ModelInfo* model = manager ? manager->findModelInfo(device_->productId()) : nullptr;
        if (!model)
            throw std::runtime_error("No model information");
        const std::int64_t bootloaderWaitMs = model->bootloaderWaitSeconds * kMsPerSecond;
        const std::int64_t settleWaitMs = model->settleWaitSeconds * kMsPerSecond;
        const std::vector<std::uint8_t> image = GetFirmware(model->firmwareFile.toStdString(), device_->productId());
        manager.reset();

        qCDebug(lcZanthic, "DFU Upgrade: Waiting for initial arrival.");
        std::shared_ptr<DFUInterface> dfu = waitForDfu(bootloaderWaitMs, {});
        if (!dfu)
            throw std::runtime_error("Failed to get DFU interface before detach");

        qCDebug(lcZanthic, "DFU Upgrade: Detaching....");
        bool idle = dfu->enterIdle();
        if (!idle && dfu->restartsApplication()) {
            // A bootloader that an earlier run left in its manifestation has finished it and
            // starts the application, which is then detached as any other.
            dfu.reset();
            qCDebug(lcZanthic, "DFU Upgrade: Waiting for application to run....");
            dfu = waitForDfu(settleWaitMs, {stm32::kBootModeApplicationAlt});
            if (!dfu)
                throw std::runtime_error("Failed to get DFU interface after restart");
            qCDebug(lcZanthic, "DFU Upgrade: Detaching....");
            idle = dfu->enterIdle();
        }
        if (!idle) {
            dfu.reset();
            qCDebug(lcZanthic, "DFU Upgrade: Waiting for bootloader to run....");
            emit firmwareUpdateProgress(kUnknown);
            dfu = waitForDfu(bootloaderWaitMs, {stm32::kBootModeDfu, stm32::kBootModeDfuAlt});
            if (!dfu)
                throw std::runtime_error("Failed to get DFU interface after detach");
            qCDebug(lcZanthic, "DFU Upgrade: Detaching (bootloader)....");
            dfu->enterIdle();
        }

        qCDebug(lcZanthic, "DFU Upgrade: Update started.");
        emit firmwareUpdateProgress(0);
        try {
            dfu->download(image, [this, settleWaitMs](std::uint32_t done, std::uint32_t total) {
                emit firmwareUpdateProgress(static_cast<int>(std::trunc(float(done) / float(total) * kDownloadShare)));
                if (done == total)
                    progressUpdater_.arm(kDownloadShare, kDone, settleWaitMs);
            });
        } catch (const std::system_error& e) {
            // The device may reboot at the final empty block instead of answering it.
            if (e.code() != std::errc::timed_out)
                throw;
        }
        dfu.reset();

        qCDebug(lcZanthic, "DFU Upgrade: Payload download complete, waiting for OS arrival.");
        if (!waitForDfu(settleWaitMs, {stm32::kBootModeApplicationAlt}))
            throw std::runtime_error("Failed to get DFU interface after download");

        qCDebug(lcZanthic, "DFU Upgrade: Update finished.");
        emit firmwareUpdateProgress(kDone);
        emit progressUpdater_.stopProgressTimer();
        return true;
    } catch (const std::exception& e) {
        emit progressUpdater_.stopProgressTimer();
        qCWarning(lcZanthic, "DFU Upgrade failure: %s", e.what());
        return false;
    }
}

} // namespace Zanthic
} // namespace TWG
