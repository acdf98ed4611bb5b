#include "converters/xmega/XmegaBinaryLoader.h"

#include "converters/xmega/XmegaLog.h"
#include "platform/Clock.h"
#include "protocol/XmegaProtocol.h"

#include <QMetaObject>
#include <QObject>

#include <mutex>

namespace TWG {
namespace Converters {

// The clock may fire on another thread: the deadline only posts to the loader's thread, and
// never once the loader is gone.
struct XmegaBinaryLoader::Deadline {
    std::mutex mutex;
    QObject* target = nullptr;
};

XmegaBinaryLoader::XmegaBinaryLoader(const std::uint8_t* data, std::uint32_t length, std::uint32_t version,
                                     Delegate* delegate)
    : data_(data), length_(length), version_(version), delegate_(delegate), context_(std::make_unique<QObject>()),
      deadline_(std::make_shared<Deadline>())
{
    deadline_->target = context_.get();
}

XmegaBinaryLoader::~XmegaBinaryLoader()
{
    {
        std::lock_guard<std::mutex> lock(deadline_->mutex);
        deadline_->target = nullptr;
    }
    context_.reset(); // drops a deadline already posted
}

bool XmegaBinaryLoader::start(std::shared_ptr<XmegaUSBDevice> device)
{
    if (running_ || !device)
        return false;
    std::uint8_t mode = 0;
    if (!device->getUuid(&uuid_) || !device->getMode(&mode))
        return false;
    device_ = device;
    running_ = true;
    succeeded_ = false;
    if (mode != 0) {
        if (program(device))
            return true;
    } else {
        state_ = WaitingForBootloader;
        if (device->restartIntoBootloader()) {
            armDeadline();
            return true;
        }
    }
    running_ = false;
    state_ = Idle;
    device_.reset();
    return false;
}

bool XmegaBinaryLoader::program(const std::shared_ptr<XmegaUSBDevice>& device)
{
    if (!device->writeApplication(length_, data_)) {
        qCWarning(lcXmega) << "XMEGA application write failed";
        return false;
    }
    std::uint32_t first = 0, second = 0;
    if (!device->getVersions(&first, &second) || first != second || first != version_) {
        qCWarning(lcXmega) << "XMEGA application versions" << first << second << "for expected" << version_;
        return false;
    }
    state_ = WaitingForApplication;
    device_ = device;
    if (!device->restart())
        return false;
    armDeadline();
    return true;
}

bool XmegaBinaryLoader::handleArrival(const std::shared_ptr<XmegaUSBDevice>& device)
{
    if (!running_ || !device)
        return false;
    XmegaUSBDevice::Uuid uuid{};
    if (!device->getUuid(&uuid)) {
        qCDebug(lcXmega) << "XMEGA arrival without a readable uuid during an application load";
        return false;
    }
    if (uuid != uuid_)
        return false;
    std::uint8_t mode = 0;
    if (!device->getMode(&mode)) {
        finish(false);
        return true;
    }
    if (mode != 0 && state_ == WaitingForBootloader) {
        if (!program(device))
            finish(false);
        return true;
    }
    if (mode == 0 && state_ == WaitingForApplication) {
        device_ = device;
        finish(true);
        return true;
    }
    qCWarning(lcXmega) << "XMEGA device came back in mode" << mode << "while the load waited in state" << state_;
    finish(false);
    return true;
}

bool XmegaBinaryLoader::handleRemoval(const std::shared_ptr<XmegaUSBDevice>& device)
{
    if (!device || device != device_)
        return false;
    device_.reset();
    return true;
}

void XmegaBinaryLoader::armDeadline()
{
    const std::uint64_t generation = ++generation_;
    std::weak_ptr<Deadline> weak = deadline_;
    XmegaBinaryLoader* self = this;
    platform::clock().callAfter(platform::Clock::Duration(xmega::kReenumerationTimeoutMs), [weak, self, generation] {
        std::shared_ptr<Deadline> d = weak.lock();
        if (!d)
            return;
        std::lock_guard<std::mutex> lock(d->mutex);
        if (d->target)
            QMetaObject::invokeMethod(
                d->target, [self, generation] { self->deadlinePassed(generation); }, Qt::QueuedConnection);
    });
}

void XmegaBinaryLoader::deadlinePassed(std::uint64_t generation)
{
    if (!running_ || generation != generation_)
        return;
    qCWarning(lcXmega) << "XMEGA device did not come back within" << xmega::kReenumerationTimeoutMs << "ms";
    finish(false);
}

void XmegaBinaryLoader::finish(bool ok)
{
    running_ = false;
    succeeded_ = ok;
    state_ = Idle;
    ++generation_;
    if (!ok)
        device_.reset();
    if (delegate_)
        delegate_->xmegaBinaryLoadFinished(this, ok); // may delete this
}

} // namespace Converters
} // namespace TWG
