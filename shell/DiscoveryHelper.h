#pragma once

#include "kit/framework/BonjourInfo.h"

#include <QObject>

// What the window needs of one DNS-SD browser of a service type: it starts browsing when
// created and reports what it sees.
class DiscoveryHelper : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void deviceArrived(BonjourInfo info);
    void deviceRemoved(BonjourInfo info);
    void deviceUpdated(BonjourInfo info);
};
