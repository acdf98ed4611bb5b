#pragma once

#include "discovery/BonjourDevice.h"
#include "discovery/BonjourOperations.h"
#include "discovery/DnsSdEngine.h"
#include "kit/framework/BonjourInfo.h"

#include <QEnableSharedFromThis>
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

class QTcpSocket;

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

// Registers every type that crosses threads by name in the discovery's queued calls.
void registerDiscoveryMetaTypes();

// Ends at once every one-shot resolve and look-up of the calling thread, pending or finished and
// awaiting its deferred delete: no callback runs any more, and each gives its engine use back.
// The application object's destruction calls it, so that no one-shot holds the engine into the
// program's static destruction.
void endBonjourOneShots();

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

// One look-up of a host name's IPv4 address, optionally confirmed by a TCP connection to a
// port, each leg within the limit. Callback as for the resolver: (0, address) or (error, "").
class BonjourHelperLookup : public QObject, public QEnableSharedFromThis<BonjourHelperLookup> {
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 1000;
    using Callback = std::function<void(DNSServiceErrorType error, std::string address)>;

    // Port 0: no TCP confirmation.
    static void lookup(const std::string& hostName, Callback callback, quint16 port);
    ~BonjourHelperLookup() override;

private slots:
    void onLookedUp(QSharedPointer<BonjourHelperLookup> self, std::string ipAddress);
    void onError(QSharedPointer<BonjourHelperLookup> self, DNSServiceErrorType error);
    void onConnected();
    void onTimeout();

private:
    BonjourHelperLookup(Callback callback, quint16 port);
    void finish(DNSServiceErrorType error, const std::string& address);
    void endNow();

    QSharedPointer<BonjourHelperLookup> self_;
    std::unique_ptr<BonjourHostnameLookup> lookup_; // ended early only by endNow
    Callback callback_;
    quint16 port_;
    QTimer timer_;
    QTcpSocket* socket_ = nullptr;
    bool finished_ = false;
};

} // namespace TWG

Q_DECLARE_METATYPE(std::string)
