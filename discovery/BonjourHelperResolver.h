#pragma once

#include "discovery/BonjourDevice.h"
#include "discovery/BonjourOperations.h"
#include "discovery/DiscoveryMetaTypes.h"
#include "discovery/DnsSdEngine.h"

#include <QEnableSharedFromThis>
#include <QObject>
#include <QSharedPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

namespace TWG {

// One resolution of an instance to its host name and port, owned by itself until it finished.
// The callback runs once on the thread that started it: (0, host, port), the engine's error with
// "" and 0, or the time-out code at the limit. A refused start calls it before resolve returns.
class BonjourHelperResolver : public QObject, public QEnableSharedFromThis<BonjourHelperResolver> {
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 5000;
    using Callback = std::function<void(DNSServiceErrorType error, std::string host, quint16 port)>;

    static void resolve(const BonjourDevice& device, Callback callback);
    ~BonjourHelperResolver() override;

private slots:
    void onResolved(QSharedPointer<BonjourHelperResolver> self, BonjourDevice device, std::string hostName,
                    quint16 port);
    void onError(QSharedPointer<BonjourHelperResolver> self, BonjourDevice device, DNSServiceErrorType error);
    void onTimeout();

private:
    BonjourHelperResolver(const BonjourDevice& device, Callback callback);
    void finish(DNSServiceErrorType error, const std::string& host, quint16 port);
    void endNow();

    QSharedPointer<BonjourHelperResolver> self_;
    std::unique_ptr<BonjourResolver> resolver_; // ended early only by endNow
    BonjourDevice device_;
    Callback callback_;
    QTimer timer_;
    bool finished_ = false;
};

} // namespace TWG
