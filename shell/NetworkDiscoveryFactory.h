#pragma once

#include "shell/DiscoveryFactory.h"

// The program's discovery objects: browsing, resolving and looking up over the in-process DNS-SD
// engine, and the add-by-IP controller asking devices for real.
class NetworkDiscoveryFactory : public DiscoveryFactory {
public:
    DiscoveryHelper* createHelper(const QString& serviceType, QObject* parent) override;
    AddByIpAddressController* createAddByIpController(QWidget* window, const QVector<Family*>* families) override;
    void resolve(const BonjourInfo& info, QObject* context, ResolveDone done) override;
    void lookup(const QString& hostName, int port, QObject* context, LookupDone done) override;
};
