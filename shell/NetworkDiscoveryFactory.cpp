#include "shell/NetworkDiscoveryFactory.h"

#include "shell/AddByIpAddressController.h"

AddByIpAddressController* NetworkDiscoveryFactory::createAddByIpController(QWidget* window,
                                                                           const QVector<Family*>* families)
{
    return new AddByIpAddressController(window, families, &makeUnicastAddressQuery);
}
