#pragma once

#include "kit/framework/BonjourInfo.h"

#include <QString>

#include <functional>
#include <string>

class AddByIpAddressController;
class DiscoveryHelper;
class Family;
class QObject;
class QWidget;

// Where the window gets its network-discovery objects. The default makes inert ones: a browser
// that finds nothing, and a resolve and a look-up that fail.
class DiscoveryFactory {
public:
    using ResolveDone = std::function<void(int error, std::string hostName, int port)>;
    using LookupDone = std::function<void(int error, QString address)>;

    virtual ~DiscoveryFactory() = default;

    // Empty type: the default service type.
    virtual DiscoveryHelper* createHelper(const QString& serviceType, QObject* parent);
    virtual AddByIpAddressController* createAddByIpController(QWidget* window, const QVector<Family*>* families);
    // Completion runs later on the GUI thread, at most once, and not after context is gone.
    virtual void resolve(const BonjourInfo& info, QObject* context, ResolveDone done);
    // Port 0: no TCP confirmation.
    virtual void lookup(const QString& hostName, int port, QObject* context, LookupDone done);
};
