#pragma once

#include "shell/DiscoveryFactory.h"

// The program's discovery objects: the add-by-IP controller asks devices for real; browsing,
// resolving and looking up stay the default's.
class NetworkDiscoveryFactory : public DiscoveryFactory {
public:
    AddByIpAddressController* createAddByIpController(QWidget* window, const QVector<Family*>* families) override;
};
