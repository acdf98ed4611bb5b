#include "discovery/BonjourHelper.h"

#include "discovery/BonjourDiscovery.h"

#include <string>

namespace TWG {

BonjourHelper::BonjourHelper(const QString& serviceType, QObject* parent)
    : QObject(parent), serviceType_(serviceType), discovery_(std::make_unique<BonjourDiscovery>())
{
    registerDiscoveryMetaTypes();
    discovery_->arrived.connect([this](const BonjourInfo& info) { emit deviceArrived(info); });
    discovery_->removed.connect([this](const BonjourInfo& info) { emit deviceRemoved(info); });
    discovery_->updated.connect([this](const BonjourInfo& info) { emit deviceUpdated(info); });
    discovery_->resolved.connect([this](const BonjourInfo& info) { emit deviceResolved(info); });
    discovery_->browse(serviceType.isEmpty() ? std::string(kDefaultServiceType) : serviceType.toStdString());
}

BonjourHelper::~BonjourHelper()
{
    // Its threads end before this object's signals go.
    discovery_.reset();
}

} // namespace TWG
