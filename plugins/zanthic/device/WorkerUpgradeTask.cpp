#include "plugins/zanthic/device/WorkerUpgradeTask.h"

#include "platform/Clock.h"
#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/device/UsbConnectionManager.h"

#include <algorithm>

namespace TWG {
namespace Zanthic {

namespace {
constexpr int kDone = 100;
constexpr std::int64_t kWaitStepMs = 100;
} // namespace

WorkerUpgradeTask::WorkerUpgradeTask(std::shared_ptr<UsbConnectionManager> manager,
                                     const std::shared_ptr<UsbPotentialDevice>& device)
    : manager_(manager)
{
    if (device) {
        serial_ = device->serial();
        productId_ = device->productId();
        listedSince_ = device->listingOrder();
    }
}

WorkerUpgradeTask::~WorkerUpgradeTask() { stopWorker(); }

void WorkerUpgradeTask::stopWorker()
{
    stop_.store(true);
    if (worker_.joinable())
        worker_.join();
}

bool WorkerUpgradeTask::firmwareIsCurrent() { return updated_.load(); }

void WorkerUpgradeTask::startUpdate()
{
    if (worker_.joinable())
        worker_.join();
    worker_ = std::thread([this] {
        const bool ok = run();
        if (ok) {
            updated_.store(true);
            emit firmwareUpdateProgress(kDone);
        }
        emit firmwareUpdated(ok ? Succeeded : Failed);
    });
}

std::shared_ptr<UsbPotentialDevice> WorkerUpgradeTask::waitForDevice(std::int64_t timeoutMs, const Accept& accept)
{
    platform::Clock& clock = platform::clock();
    const platform::Clock::TimePoint start = clock.now();
    while (clock.elapsedMs(start) < timeoutMs) {
        clock.sleepFor(platform::Clock::Duration(kWaitStepMs));
        if (stopping())
            return nullptr;
        const std::shared_ptr<UsbConnectionManager> manager = manager_.lock();
        if (!manager)
            return nullptr;
        std::shared_ptr<UsbPotentialDevice> device = manager->findReturningDevice(serial_, productId_, listedSince_);
        if (device && accept(device)) {
            listedSince_ = std::max(listedSince_, device->listingOrder());
            return device;
        }
    }
    return nullptr;
}

} // namespace Zanthic
} // namespace TWG
