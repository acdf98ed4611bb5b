#include "shell/NetworkDiscoveryFactory.h"

#include "discovery/BonjourHelper.h"
#include "discovery/BonjourHelperLookup.h"
#include "discovery/BonjourHelperResolver.h"
#include "shell/AddByIpAddressController.h"
#include "shell/BonjourDiscoveryHelper.h"

#include <QPointer>
#include <QTimer>

DiscoveryHelper* NetworkDiscoveryFactory::createHelper(const QString& serviceType, QObject* parent)
{
    return new BonjourDiscoveryHelper(serviceType, parent);
}

AddByIpAddressController* NetworkDiscoveryFactory::createAddByIpController(QWidget* window,
                                                                           const QVector<Family*>* families)
{
    return new AddByIpAddressController(window, families, &makeUnicastAddressQuery);
}

// The completion goes through the context's event queue even when the engine refused the start
// and the one-shot answered at once, and not at all once the context is gone.
void NetworkDiscoveryFactory::resolve(const BonjourInfo& info, QObject* context, ResolveDone done)
{
    const QPointer<QObject> guard(context);
    const TWG::BonjourDevice device{info.name, info.type, info.domain, info.interfaceIndex};
    TWG::BonjourHelperResolver::resolve(device, [guard, done](TWG::DNSServiceErrorType error, std::string host,
                                                              quint16 port) {
        if (guard)
            QTimer::singleShot(0, guard.data(), [done, error, host, port] { done(error, host, port); });
    });
}

void NetworkDiscoveryFactory::lookup(const QString& hostName, int port, QObject* context, LookupDone done)
{
    const QPointer<QObject> guard(context);
    TWG::BonjourHelperLookup::lookup(
        hostName.toStdString(),
        [guard, done](TWG::DNSServiceErrorType error, std::string address) {
            if (guard)
                QTimer::singleShot(0, guard.data(), [done, error, address] { done(error, QString::fromStdString(address)); });
        },
        static_cast<quint16>(port));
}
