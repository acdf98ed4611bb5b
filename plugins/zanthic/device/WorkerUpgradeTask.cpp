#include "plugins/zanthic/device/WorkerUpgradeTask.h"

namespace TWG {
namespace Zanthic {

namespace {
constexpr int kDone = 100;
} // namespace

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

} // namespace Zanthic
} // namespace TWG
