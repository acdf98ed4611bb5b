#include "plugins/zanthic/device/XmegaUsbUpgradeTask.h"

#include "platform/Clock.h"
#include "plugins/zanthic/device/FirmwareSet.h"
#include "plugins/zanthic/device/UsbConnectionManager.h"
#include "plugins/zanthic/device/XmegaUsbPotentialDevice.h"
#include "plugins/zanthic/device/ZanthicLog.h"
#include "protocol/ConverterFirmware.h"
#include "usb/package/PackageFormat.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

namespace TWG {
namespace Zanthic {

namespace {
constexpr std::int64_t kWaitStepMs = 100;
constexpr std::int64_t kMsPerSecond = 1000;
// A restart takes the device off the bus; it is looked for only after this.
constexpr std::int64_t kRestartPauseMs = 1000;
constexpr int kDone = 100;

struct Image {
    int index = 0;
    USB::FirmwarePackageEntry* entry = nullptr;
    bool bootloader() const { return entry->compressionMethod() == FirmwareFormat::kXmegaApplicationMethod; }
};

// trunc(100 / total x done), 0 while there is nothing to count.
int percentOf(double done, double total)
{
    return total > 0 ? static_cast<int>(std::trunc(100.0 / total * done)) : 0;
}
} // namespace

XmegaUsbUpgradeTask::XmegaUsbUpgradeTask(std::shared_ptr<UsbConnectionManager> manager,
                                         std::shared_ptr<UsbPotentialDevice> device)
    : WorkerUpgradeTask(std::move(manager), device), device_(std::dynamic_pointer_cast<XmegaUsbPotentialDevice>(device))
{
}

XmegaUsbUpgradeTask::~XmegaUsbUpgradeTask() { stopWorker(); }

bool XmegaUsbUpgradeTask::pause(std::int64_t ms)
{
    platform::Clock& clock = platform::clock();
    for (std::int64_t slept = 0; slept < ms; slept += kWaitStepMs) {
        if (stopping())
            return false;
        clock.sleepFor(platform::Clock::Duration(std::min(kWaitStepMs, ms - slept)));
    }
    return !stopping();
}

std::shared_ptr<XmegaUsbPotentialDevice> XmegaUsbUpgradeTask::waitForXmega(std::int64_t timeoutMs, int mode)
{
    std::shared_ptr<XmegaUsbPotentialDevice> accepted;
    waitForDevice(timeoutMs, [&](const std::shared_ptr<UsbPotentialDevice>& found) {
        auto device = std::dynamic_pointer_cast<XmegaUsbPotentialDevice>(found);
        std::uint8_t state = 0;
        // A device whose state does not read is one that is leaving.
        if (!device || !device->readBootState(&state))
            return false;
        if (mode == kWaitAny || (mode == kWaitBootloader && state != 0) ||
            (mode != kWaitBootloader && device->readBootMode() == mode)) {
            accepted = std::move(device);
            return true;
        }
        return false;
    });
    return accepted;
}

bool XmegaUsbUpgradeTask::run()
{
    std::shared_ptr<XmegaUsbPotentialDevice> device = device_;
    if (!device)
        return false;
    // The device found again after a restart; the task keeps the last one that answered.
    auto follow = [this, &device](std::shared_ptr<XmegaUsbPotentialDevice> found) {
        device = std::move(found);
        if (device)
            device_ = device;
        return device != nullptr;
    };
    try {
        const std::uint16_t productId = device->productId();
        std::shared_ptr<UsbConnectionManager> manager = this->manager();
        const ModelInfo* model = manager ? manager->findModelInfo(productId) : nullptr;
        if (!model)
            throw std::runtime_error("No model information");
        const std::int64_t bootloaderWaitMs = model->bootloaderWaitSeconds * kMsPerSecond;
        const std::int64_t settleWaitMs = model->settleWaitSeconds * kMsPerSecond;
        manager.reset();
        FirmwareSet& set = firmwareSet(productId);

        // Every image is opened, and inflated, before the device is touched: one that does not
        // inflate reads as empty and would only erase what it replaces.
        std::vector<Image> images;
        double total = 0;
        for (int index = 0;; ++index) {
            USB::FirmwarePackageEntry* entry = openEntry(set, index, USB::PackageFormat::kEntryTypeFirmware);
            if (!entry)
                break;
            if (!entry->data() || entry->size() == 0)
                throw std::runtime_error("Opening firmware resource " + std::to_string(index) + " failed");
            images.push_back({index, entry});
            total += entry->size();
        }
        emit firmwareUpdateProgress(0);

        double done = 0;
        for (const Image& image : images) {
            if (!image.bootloader())
                continue;
            std::uint8_t state = 0;
            if (!device->readBootState(&state) || state == 0) {
                device->reboot(true);
                if (!pause(kRestartPauseMs) || !follow(waitForXmega(bootloaderWaitMs, kWaitBootloader)))
                    throw std::runtime_error("Failed to reboot to XMEGA bootloader.");
            }
            if (!device->programBootloader(image.entry->data(), image.entry->size()))
                throw std::runtime_error("Failed to program XMEGA bootloader.");
            device->reboot(false);
            if (!pause(kRestartPauseMs) || !follow(waitForXmega(bootloaderWaitMs, kWaitAny)))
                throw std::runtime_error("Failed to reboot to XMEGA app.");
            done += image.entry->size();
            emit firmwareUpdateProgress(percentOf(done, total));
        }

        if (!device->beginStagedProgramming())
            throw std::runtime_error("beginStagedProgramming failed.");
        for (const Image& image : images) {
            if (image.bootloader())
                continue;
            const double size = image.entry->size();
            const auto progress = [this, done, size, total](float fraction) {
                emit firmwareUpdateProgress(percentOf(std::trunc(done + size * double(fraction)), total));
            };
            if (!device->program(image.entry->entryByteA(), image.entry->entryWord(), image.entry->data(),
                                  image.entry->size(), progress, stopFlag()))
                throw std::runtime_error("Failed to program blob " + std::to_string(image.index) + ".");
            done += size;
            emit firmwareUpdateProgress(percentOf(done, total));
        }
        if (!device->endStagedProgramming())
            throw std::runtime_error("endStagedProgramming failed.");
        if (!follow(waitForXmega(bootloaderWaitMs + settleWaitMs, kWaitAny)))
            throw std::runtime_error("Failed to reboot after update.");
        // It may have stayed on the bus: what it answers was read before the images went in.
        device->readIdentity();
        emit firmwareUpdateProgress(kDone);
        return true;
    } catch (const std::exception& e) {
        qCWarning(lcZanthic, "XmegaUsbUpgradeTask: Updated failed: %s", e.what());
        return false;
    }
}

} // namespace Zanthic
} // namespace TWG
