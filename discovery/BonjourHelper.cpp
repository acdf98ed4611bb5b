#include "discovery/BonjourHelper.h"

#include "discovery/BonjourDiscovery.h"

#include <QMetaObject>
#include <QTcpSocket>

#include <mutex>

namespace TWG {

void registerDiscoveryMetaTypes()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The names are the ones the slots and Q_ARGs spell.
        qRegisterMetaType<BonjourInfo>("BonjourInfo");
        qRegisterMetaType<BonjourDevice>("BonjourDevice");
        qRegisterMetaType<std::string>("std::string");
        qRegisterMetaType<DNSServiceErrorType>("DNSServiceErrorType");
        qRegisterMetaType<quint16>("quint16");
        qRegisterMetaType<QSharedPointer<BonjourHelperResolver>>("QSharedPointer<BonjourHelperResolver>");
        qRegisterMetaType<QSharedPointer<BonjourHelperLookup>>("QSharedPointer<BonjourHelperLookup>");
    });
}

BonjourHelper::BonjourHelper(const QString& serviceType, QObject* parent)
    : QObject(parent), serviceType_(serviceType), discovery_(std::make_unique<BonjourDiscovery>())
{
    registerDiscoveryMetaTypes();
    discovery_->arrived.connect([this](const BonjourInfo& info) { emit deviceArrived(info); });
    discovery_->removed.connect([this](const BonjourInfo& info) { emit deviceRemoved(info); });
    discovery_->updated.connect([this](const BonjourInfo& info) { emit deviceUpdated(info); });
    discovery_->resolved.connect([this](const BonjourInfo& info) { emit deviceResolved(info); });
    discovery_->browse(serviceType.isEmpty() ? std::string(kDefaultServiceType) : serviceType.toStdString());
}

BonjourHelper::~BonjourHelper()
{
    // Its threads end before this object's signals go.
    discovery_.reset();
}

namespace {

template <typename T>
QSharedPointer<T> makeSelfOwned(T* object)
{
    return QSharedPointer<T>(object, [](T* o) { o->deleteLater(); });
}

} // namespace

BonjourHelperResolver::BonjourHelperResolver(const BonjourDevice& device, Callback callback)
    : device_(device), callback_(std::move(callback))
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
}

BonjourHelperResolver::~BonjourHelperResolver() = default;

void BonjourHelperResolver::resolve(const BonjourDevice& device, Callback callback)
{
    registerDiscoveryMetaTypes();
    QSharedPointer<BonjourHelperResolver> object = makeSelfOwned(new BonjourHelperResolver(device, std::move(callback)));
    object->self_ = object;
    const QWeakPointer<BonjourHelperResolver> weak = object;
    // From the event thread these are queued to the object's thread.
    object->resolver_.resolved.connect([weak](const BonjourDevice& d, std::string host, quint16 port) {
        if (QSharedPointer<BonjourHelperResolver> strong = weak.toStrongRef())
            QMetaObject::invokeMethod(strong.data(), "onResolved", Qt::AutoConnection,
                                      Q_ARG(QSharedPointer<BonjourHelperResolver>, strong), Q_ARG(BonjourDevice, d),
                                      Q_ARG(std::string, host), Q_ARG(quint16, port));
    });
    object->resolver_.failed.connect([weak](const BonjourDevice& d, DNSServiceErrorType error) {
        if (QSharedPointer<BonjourHelperResolver> strong = weak.toStrongRef())
            QMetaObject::invokeMethod(strong.data(), "onError", Qt::AutoConnection,
                                      Q_ARG(QSharedPointer<BonjourHelperResolver>, strong), Q_ARG(BonjourDevice, d),
                                      Q_ARG(DNSServiceErrorType, error));
    });
    connect(&object->timer_, &QTimer::timeout, object.data(), &BonjourHelperResolver::onTimeout);
    if (object->resolver_.resolve(device)) {
        object->timer_.start(kTimeoutMs);
    } else {
        object->resolver_.failed(device, DnsSd::kErrTimeout);
        object->self_.reset();
    }
}

void BonjourHelperResolver::onResolved(QSharedPointer<BonjourHelperResolver>, BonjourDevice device,
                                       std::string hostName, quint16 port)
{
    if (device == device_)
        finish(DnsSd::kNoError, hostName, port);
}

void BonjourHelperResolver::onError(QSharedPointer<BonjourHelperResolver>, BonjourDevice device,
                                    DNSServiceErrorType error)
{
    if (device == device_)
        finish(error, std::string(), 0);
}

void BonjourHelperResolver::onTimeout()
{
    finish(DnsSd::kErrTimeout, std::string(), 0);
}

void BonjourHelperResolver::finish(DNSServiceErrorType error, const std::string& host, quint16 port)
{
    if (finished_)
        return;
    finished_ = true;
    timer_.stop();
    // The caller's reference keeps this object alive through the callback.
    const QSharedPointer<BonjourHelperResolver> keep = self_;
    self_.reset();
    callback_(error, host, port);
}

BonjourHelperLookup::BonjourHelperLookup(Callback callback, quint16 port) : callback_(std::move(callback)), port_(port)
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
}

BonjourHelperLookup::~BonjourHelperLookup() = default;

void BonjourHelperLookup::lookup(const std::string& hostName, Callback callback, quint16 port)
{
    registerDiscoveryMetaTypes();
    QSharedPointer<BonjourHelperLookup> object = makeSelfOwned(new BonjourHelperLookup(std::move(callback), port));
    object->self_ = object;
    const QWeakPointer<BonjourHelperLookup> weak = object;
    object->lookup_.lookedUp.connect([weak](const std::string&, const std::string& address) {
        if (QSharedPointer<BonjourHelperLookup> strong = weak.toStrongRef())
            QMetaObject::invokeMethod(strong.data(), "onLookedUp", Qt::AutoConnection,
                                      Q_ARG(QSharedPointer<BonjourHelperLookup>, strong),
                                      Q_ARG(std::string, address));
    });
    object->lookup_.failed.connect([weak](const std::string&, DNSServiceErrorType error) {
        if (QSharedPointer<BonjourHelperLookup> strong = weak.toStrongRef())
            QMetaObject::invokeMethod(strong.data(), "onError", Qt::AutoConnection,
                                      Q_ARG(QSharedPointer<BonjourHelperLookup>, strong),
                                      Q_ARG(DNSServiceErrorType, error));
    });
    connect(&object->timer_, &QTimer::timeout, object.data(), &BonjourHelperLookup::onTimeout);
    if (object->lookup_.lookup(std::string(), hostName)) {
        object->timer_.start(kTimeoutMs);
    } else {
        object->lookup_.failed(hostName, DnsSd::kErrTimeout);
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
