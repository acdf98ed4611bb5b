#pragma once

#include "shell/DiscoveryFactory.h"
#include "shell/DiscoveryHelper.h"

#include <QString>

namespace TWG {
class BonjourHelper;
}

// The window's real discovery objects over the in-process DNS-SD engine, for the program's
// DiscoveryFactory: a helper that browses one type, and the one-shot resolve and look-up.

// Relays a BonjourHelper's arrivals, updates and removals on the GUI thread.
class BonjourDiscoveryHelper : public DiscoveryHelper {
    Q_OBJECT
public:
    // Empty type: the default one.
    BonjourDiscoveryHelper(const QString& serviceType, QObject* parent);
    ~BonjourDiscoveryHelper() override;

private:
    TWG::BonjourHelper* helper_;
};

// Resolves the instance the record names (name, type, domain, interface). The completion runs
// later on the GUI thread, once, and not after context is gone, even when the engine refused
// the start and answered at once.
void resolveBonjourInstance(const BonjourInfo& info, QObject* context, DiscoveryFactory::ResolveDone done);
// The host's IPv4 address; port 0: no TCP confirmation. Completion as for the resolve.
void lookUpBonjourHost(const QString& hostName, int port, QObject* context, DiscoveryFactory::LookupDone done);
