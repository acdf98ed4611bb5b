#pragma once

#include "plugins/zanthic/device/ModelInfo.h"

#include <QSharedPointer>

#include <memory>
#include <string>

class DeviceFirmwareUpdater;
class QWidget;

namespace TWG {
namespace Zanthic {

class ConnectedDevice;
class ConnectedDeviceOwner;
class PotentialDevice;

// How a manager tells its family (D2Family implements it) of the devices it lists. Both run
// with the manager's lock held, so they may call back into the manager.
class DeviceListener {
public:
    virtual ~DeviceListener() = default;
    virtual void onPotentialDeviceArrived(std::shared_ptr<PotentialDevice> device) = 0;
    virtual void onPotentialDeviceRemoved(std::shared_ptr<PotentialDevice> device) = 0;
};

// Finds the devices of one connection type and opens them on request. Always held by a shared
// pointer.
class ConnectionManager : public std::enable_shared_from_this<ConnectionManager> {
public:
    ConnectionManager(std::string typeName, DeviceListener* family, ModelTable models);
    virtual ~ConnectionManager();
    ConnectionManager(const ConnectionManager&) = delete;
    ConnectionManager& operator=(const ConnectionManager&) = delete;

    virtual bool start() = 0;
    virtual std::shared_ptr<ConnectedDevice> connect(ConnectedDeviceOwner* owner, PotentialDevice* device) = 0;
    virtual QSharedPointer<DeviceFirmwareUpdater> createUpdater(PotentialDevice& device) = 0;
    // Whether createUpdater would give the device an updater; without a way to tell, it may.
    virtual bool canCreateUpdater(const PotentialDevice& device);
    // The card-widget hook.
    virtual QWidget* callHook(ConnectedDeviceOwner* owner, PotentialDevice* device);

    // The table's record for the product id, or null.
    const ModelInfo* findModelInfo(std::uint16_t productId) const;
    const std::string& typeName() const { return typeName_; }
    DeviceListener* family() const { return family_; }

private:
    std::string typeName_;
    DeviceListener* family_;
    ModelTable models_;
};

} // namespace Zanthic
} // namespace TWG
