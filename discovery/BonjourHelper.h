#pragma once

#include "discovery/DiscoveryMetaTypes.h"
#include "kit/framework/BonjourInfo.h"

#include <QObject>
#include <QString>

#include <memory>

namespace TWG {

class BonjourDiscovery;

// Browses one service type for the whole of its life. Its signals are emitted on the engine's
// event thread: receivers on other threads get them queued.
class BonjourHelper : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kDefaultServiceType = "_tarnwright._tcp";

    // An empty type browses the default one.
    explicit BonjourHelper(const QString& serviceType = QString(), QObject* parent = nullptr);
    ~BonjourHelper() override;

    QString serviceType() const { return serviceType_; }

signals:
    void deviceArrived(BonjourInfo info);
    void deviceRemoved(BonjourInfo info);
    void deviceUpdated(BonjourInfo info);
    // Never emitted: kept for receivers that follow all four.
    void deviceResolved(BonjourInfo info);

private:
    QString serviceType_;
    std::unique_ptr<BonjourDiscovery> discovery_;
};

} // namespace TWG
