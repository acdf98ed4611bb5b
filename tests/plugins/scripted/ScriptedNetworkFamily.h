#pragma once

#include "kit/framework/Family.h"

#include <QVector>

class ScriptedNetworkDevice;

// The scripted plug-in's network family, made only when TWG_SCRIPTED_SERVICE_TYPE names its one
// DNS-SD service type ("_x._tcp"): it asks the host for that type, and each record of the type
// the host offers becomes a device, changes it or removes it. Records of other types are left to
// other families. Each offer is logged, for tests that run the whole program.
class ScriptedNetworkFamily : public Family {
    Q_OBJECT
public:
    // Empty: the variable is not set, and there is no network family.
    static QString serviceTypeFromEnvironment();

    ScriptedNetworkFamily(QWidget* hostWindow, const QString& serviceType);
    ~ScriptedNetworkFamily() override;

    QString familyName() override { return QStringLiteral("Scripted network"); }
    bool usesBonjour() override { return true; }
    QSet<QString> bonjourServiceTypes() override { return {serviceType_}; }
    // A record of a device already shown (the same instance name and domain) updates it.
    bool onBonjourDeviceAdded(const BonjourInfo& info) override;
    bool onBonjourDeviceRemoved(const BonjourInfo& info) override;
    bool onBonjourDeviceUpdated(const BonjourInfo& info) override;
    // Only logged: the family shows no more of it.
    bool onBonjourDeviceResolved(const BonjourInfo& info, bool success, QString hostName, QString ipAddress,
                                 int port) override;

    const QString& serviceType() const { return serviceType_; }
    const QVector<ScriptedNetworkDevice*>& devices() const { return devices_; }

private:
    bool isOwnType(const BonjourInfo& info) const;
    ScriptedNetworkDevice* deviceFor(const BonjourInfo& info) const;

    QString serviceType_;
    QVector<ScriptedNetworkDevice*> devices_;
};
