#pragma once

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

class QTcpSocket;

namespace TWG {

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
