#include "plugins/zanthic/device/ConnectionManager.h"

namespace TWG {
namespace Zanthic {

ConnectionManager::ConnectionManager(std::string typeName, DeviceListener* family, ModelTable models)
    : typeName_(std::move(typeName)), family_(family), models_(std::move(models))
{
}

ConnectionManager::~ConnectionManager() = default;

bool ConnectionManager::canCreateUpdater(const PotentialDevice&) { return true; }

QWidget* ConnectionManager::callHook(ConnectedDeviceOwner*, PotentialDevice*) { return nullptr; }

const ModelInfo* ConnectionManager::findModelInfo(std::uint16_t productId) const
{
    const auto found = models_.find(productId);
    return found == models_.end() ? nullptr : &found->second;
}

} // namespace Zanthic
} // namespace TWG
