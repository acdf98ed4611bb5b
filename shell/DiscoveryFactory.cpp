#include "shell/DiscoveryFactory.h"

#include "shell/AddByIpAddressController.h"
#include "shell/DiscoveryHelper.h"

#include <QTimer>

namespace {
constexpr int kNotAvailable = -1;
}

DiscoveryHelper* DiscoveryFactory::createHelper(const QString&, QObject* parent)
{
    return new DiscoveryHelper(parent);
}

AddByIpAddressController* DiscoveryFactory::createAddByIpController(QWidget* window,
                                                                     const QVector<Family*>* families)
{
    return new AddByIpAddressController(window, families);
}

void DiscoveryFactory::resolve(const BonjourInfo&, QObject* context, ResolveDone done)
{
    QTimer::singleShot(0, context, [done]() { done(kNotAvailable, std::string(), 0); });
}

void DiscoveryFactory::lookup(const QString&, int, QObject* context, LookupDone done)
{
    QTimer::singleShot(0, context, [done]() { done(kNotAvailable, QString()); });
}
