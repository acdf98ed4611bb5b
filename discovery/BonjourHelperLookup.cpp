#include "discovery/BonjourHelperLookup.h"

#include "discovery/BonjourOneShots.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTcpSocket>

namespace TWG {

BonjourHelperLookup::BonjourHelperLookup(Callback callback, quint16 port)
    : lookup_(std::make_unique<BonjourHostnameLookup>()), callback_(std::move(callback)), port_(port)
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    detail::addOneShot(this, [this] { endNow(); });
}

BonjourHelperLookup::~BonjourHelperLookup()
{
    detail::removeOneShot(this);
}

// As the resolver's.
void BonjourHelperLookup::endNow()
{
    QSharedPointer<BonjourHelperLookup> keep = sharedFromThis();
    finished_ = true;
    timer_.stop();
    lookup_.reset();
    self_.reset();
    QCoreApplication::removePostedEvents(this);
    if (!keep)
        delete this;
}

void BonjourHelperLookup::lookup(const std::string& hostName, Callback callback, quint16 port)
{
    registerDiscoveryMetaTypes();
    QSharedPointer<BonjourHelperLookup> object =
        detail::makeSelfOwned(new BonjourHelperLookup(std::move(callback), port));
    object->self_ = object;
    const QWeakPointer<BonjourHelperLookup> weak = object;
    object->lookup_->lookedUp.connect([weak](const std::string&, const std::string& address) {
        if (QSharedPointer<BonjourHelperLookup> strong = weak.toStrongRef())
            QMetaObject::invokeMethod(strong.data(), "onLookedUp", Qt::AutoConnection,
                                      Q_ARG(QSharedPointer<BonjourHelperLookup>, strong),
                                      Q_ARG(std::string, address));
    });
    object->lookup_->failed.connect([weak](const std::string&, DNSServiceErrorType error) {
        if (QSharedPointer<BonjourHelperLookup> strong = weak.toStrongRef())
            QMetaObject::invokeMethod(strong.data(), "onError", Qt::AutoConnection,
                                      Q_ARG(QSharedPointer<BonjourHelperLookup>, strong),
                                      Q_ARG(DNSServiceErrorType, error));
    });
    connect(&object->timer_, &QTimer::timeout, object.data(), &BonjourHelperLookup::onTimeout);
    if (object->lookup_->lookup(std::string(), hostName)) {
        object->timer_.start(kTimeoutMs);
    } else {
        object->lookup_->failed(hostName, DnsSd::kErrTimeout);
        object->self_.reset();
    }
}

void BonjourHelperLookup::onLookedUp(QSharedPointer<BonjourHelperLookup>, std::string ipAddress)
{
    if (finished_ || socket_)
        return;
    if (port_ == 0) {
        finish(DnsSd::kNoError, ipAddress);
        return;
    }
    socket_ = new QTcpSocket(this);
    connect(socket_, &QTcpSocket::connected, this, &BonjourHelperLookup::onConnected);
    socket_->connectToHost(QString::fromStdString(ipAddress), port_, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    timer_.start(kTimeoutMs);
}

void BonjourHelperLookup::onConnected()
{
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    if (!socket)
        return;
    const std::string peer = socket->peerName().toStdString();
    socket->disconnect();
    finish(DnsSd::kNoError, peer);
}

void BonjourHelperLookup::onError(QSharedPointer<BonjourHelperLookup>, DNSServiceErrorType error)
{
    finish(error, std::string());
}

void BonjourHelperLookup::onTimeout()
{
    finish(DnsSd::kErrTimeout, std::string());
}

void BonjourHelperLookup::finish(DNSServiceErrorType error, const std::string& address)
{
    if (finished_)
        return;
    finished_ = true;
    timer_.stop();
    const QSharedPointer<BonjourHelperLookup> keep = self_;
    self_.reset();
    callback_(error, address);
}

} // namespace TWG
