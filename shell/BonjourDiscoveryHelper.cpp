#include "shell/BonjourDiscoveryHelper.h"

#include "discovery/BonjourHelper.h"

BonjourDiscoveryHelper::BonjourDiscoveryHelper(const QString& serviceType, QObject* parent)
    : DiscoveryHelper(parent), helper_(new TWG::BonjourHelper(serviceType, this))
{
    // The helper emits on the engine's thread; these connections queue to this object's.
    connect(helper_, &TWG::BonjourHelper::deviceArrived, this, &DiscoveryHelper::deviceArrived);
    connect(helper_, &TWG::BonjourHelper::deviceRemoved, this, &DiscoveryHelper::deviceRemoved);
    connect(helper_, &TWG::BonjourHelper::deviceUpdated, this, &DiscoveryHelper::deviceUpdated);
}

BonjourDiscoveryHelper::~BonjourDiscoveryHelper()
{
    // Browsing ends before this object's signals go.
    delete helper_;
}
