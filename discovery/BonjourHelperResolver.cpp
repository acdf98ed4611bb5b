#include "discovery/BonjourHelperResolver.h"

#include "discovery/BonjourOneShots.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace TWG {

BonjourHelperResolver::BonjourHelperResolver(const BonjourDevice& device, Callback callback)
    : resolver_(std::make_unique<BonjourResolver>()), device_(device), callback_(std::move(callback))
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    detail::addOneShot(this, [this] { endNow(); });
}

BonjourHelperResolver::~BonjourHelperResolver()
{
    detail::removeOneShot(this);
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
    QSharedPointer<BonjourHelperResolver> object =
        detail::makeSelfOwned(new BonjourHelperResolver(device, std::move(callback)));
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

} // namespace TWG
