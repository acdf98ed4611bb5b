#include "shell/BonjourDiscoveryObjects.h"

#include "discovery/BonjourHelper.h"

#include <QPointer>
#include <QTimer>

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

void resolveBonjourInstance(const BonjourInfo& info, QObject* context, DiscoveryFactory::ResolveDone done)
{
    const QPointer<QObject> guard(context);
    const TWG::BonjourDevice device{info.name, info.type, info.domain, info.interfaceIndex};
    TWG::BonjourHelperResolver::resolve(device, [guard, done](TWG::DNSServiceErrorType error, std::string host,
                                                              quint16 port) {
        if (guard)
            QTimer::singleShot(0, guard.data(), [done, error, host, port] { done(error, host, port); });
    });
}

void lookUpBonjourHost(const QString& hostName, int port, QObject* context, DiscoveryFactory::LookupDone done)
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
