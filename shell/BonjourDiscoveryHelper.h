#pragma once

#include "shell/DiscoveryHelper.h"

#include <QString>

namespace TWG {
class BonjourHelper;
}

// The window's real browser of one service type, over the in-process DNS-SD engine: relays a
// BonjourHelper's arrivals, updates and removals on the GUI thread.
class BonjourDiscoveryHelper : public DiscoveryHelper {
    Q_OBJECT
public:
    // Empty type: the default one.
    BonjourDiscoveryHelper(const QString& serviceType, QObject* parent);
    ~BonjourDiscoveryHelper() override;

private:
    TWG::BonjourHelper* helper_;
};
