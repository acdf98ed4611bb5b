#include "discovery/BonjourHelper.h"

#include "discovery/BonjourDiscovery.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTcpSocket>
#include <QThread>

#include <functional>
#include <map>
#include <mutex>
#include <vector>

namespace TWG {

namespace {

// Every one-shot alive, with how to end it at once. A pending one holds a use of the engine,
// and a finished one awaiting its deferred delete still does: left at the program's end, the
// engine's event thread would outlive the statics that own it.
class OneShots {
public:
    void add(QObject* oneShot, std::function<void()> endNow)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        live_[oneShot] = std::move(endNow);
        if (!hooked_) {
            qAddPostRoutine(&endBonjourOneShots);
            hooked_ = true;
        }
    }

    void remove(QObject* oneShot)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        live_.erase(oneShot);
    }

    void endAll()
    {
        std::vector<std::function<void()>> ends;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            // The application's post routines run once; a later application hooks again.
            hooked_ = false;
            // Only this thread's: one of another thread's may be going at the same time.
            for (const auto& entry : live_) {
                if (entry.first->thread() == QThread::currentThread())
                    ends.push_back(entry.second);
            }
        }
        ending_ = true;
        for (const auto& end : ends)
            end();
        ending_ = false;
    }

    // While set, the self references' deleter deletes at once: no event loop runs any more.
    static thread_local bool ending_;

private:
    std::mutex mutex_;
    std::map<QObject*, std::function<void()>> live_;
    bool hooked_ = false;
};

thread_local bool OneShots::ending_ = false;

// Never destroyed: one-shots of other threads may still go after the statics.
OneShots& oneShots()
{
    static OneShots* instance = new OneShots;
    return *instance;
}

template <typename T>
QSharedPointer<T> makeSelfOwned(T* object)
{
    return QSharedPointer<T>(object, [](T* o) {
        if (OneShots::ending_)
            delete o;
        else
            o->deleteLater();
    });
}

} // namespace

void endBonjourOneShots()
{
    oneShots().endAll();
}

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

BonjourHelperResolver::BonjourHelperResolver(const BonjourDevice& device, Callback callback)
    : resolver_(std::make_unique<BonjourResolver>()), device_(device), callback_(std::move(callback))
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    oneShots().add(this, [this] { endNow(); });
}

BonjourHelperResolver::~BonjourHelperResolver()
{
    oneShots().remove(this);
}

// Ends with this object deleted, whether it still had references or was waiting for its
// deferred delete.
void BonjourHelperResolver::endNow()
{
    QSharedPointer<BonjourHelperResolver> keep = sharedFromThis();
    finished_ = true;
    timer_.stop();
    // Once it is gone no reply queues a call, nor a reference, to this object.
    resolver_.reset();
    self_.reset();
    // The queued calls and the references they hold; a deferred delete already posted too.
    QCoreApplication::removePostedEvents(this);
    if (!keep)
        delete this;
    // Otherwise keep is the last reference: it deletes this as it goes.
}

void BonjourHelperResolver::resolve(const BonjourDevice& device, Callback callback)
{
    registerDiscoveryMetaTypes();
    QSharedPointer<BonjourHelperResolver> object = makeSelfOwned(new BonjourHelperResolver(device, std::move(callback)));
    object->self_ = object;
    const QWeakPointer<BonjourHelperResolver> weak = object;
    // From the event thread these are queued to the object's thread.
    object->resolver_->resolved.connect([weak](const BonjourDevice& d, std::string host, quint16 port) {
        if (QSharedPointer<BonjourHelperResolver> strong = weak.toStrongRef())
            QMetaObject::invokeMethod(strong.data(), "onResolved", Qt::AutoConnection,
                                      Q_ARG(QSharedPointer<BonjourHelperResolver>, strong), Q_ARG(BonjourDevice, d),
                                      Q_ARG(std::string, host), Q_ARG(quint16, port));
    });
    object->resolver_->failed.connect([weak](const BonjourDevice& d, DNSServiceErrorType error) {
        if (QSharedPointer<BonjourHelperResolver> strong = weak.toStrongRef())
            QMetaObject::invokeMethod(strong.data(), "onError", Qt::AutoConnection,
                                      Q_ARG(QSharedPointer<BonjourHelperResolver>, strong), Q_ARG(BonjourDevice, d),
                                      Q_ARG(DNSServiceErrorType, error));
    });
    connect(&object->timer_, &QTimer::timeout, object.data(), &BonjourHelperResolver::onTimeout);
    if (object->resolver_->resolve(device)) {
        object->timer_.start(kTimeoutMs);
    } else {
        object->resolver_->failed(device, DnsSd::kErrTimeout);
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

BonjourHelperLookup::BonjourHelperLookup(Callback callback, quint16 port)
    : lookup_(std::make_unique<BonjourHostnameLookup>()), callback_(std::move(callback)), port_(port)
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    oneShots().add(this, [this] { endNow(); });
}

BonjourHelperLookup::~BonjourHelperLookup()
{
    oneShots().remove(this);
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
    QSharedPointer<BonjourHelperLookup> object = makeSelfOwned(new BonjourHelperLookup(std::move(callback), port));
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
