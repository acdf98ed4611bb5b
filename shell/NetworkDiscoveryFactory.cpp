#include "shell/NetworkDiscoveryFactory.h"

#include "shell/AddByIpAddressController.h"
#include "shell/BonjourDiscoveryObjects.h"

DiscoveryHelper* NetworkDiscoveryFactory::createHelper(const QString& serviceType, QObject* parent)
{
    return new BonjourDiscoveryHelper(serviceType, parent);
}

AddByIpAddressController* NetworkDiscoveryFactory::createAddByIpController(QWidget* window,
                                                                           const QVector<Family*>* families)
{
    return new AddByIpAddressController(window, families, &makeUnicastAddressQuery);
}

void NetworkDiscoveryFactory::resolve(const BonjourInfo& info, QObject* context, ResolveDone done)
{
    resolveBonjourInstance(info, context, std::move(done));
}

void NetworkDiscoveryFactory::lookup(const QString& hostName, int port, QObject* context, LookupDone done)
{
    lookUpBonjourHost(hostName, port, context, std::move(done));
}
