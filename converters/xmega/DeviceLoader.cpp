#include "converters/xmega/DeviceLoader.h"

#include "converters/xmega/DeviceLoaderDelegate.h"
#include "converters/xmega/XmegaLog.h"

namespace TWG {
namespace Converters {

DeviceLoader::DeviceLoader(DeviceLoaderDelegate* delegate) : delegate_(delegate) {}

DeviceLoader::~DeviceLoader() = default;

int DeviceLoader::addRef() { return ++references_; }

int DeviceLoader::release()
{
    const int left = --references_;
    if (left == 0)
        delete this;
    return left;
}

void DeviceLoader::statusChanged()
{
    if (status() != logged_) {
        logged_ = status();
        qCDebug(lcXmega).noquote() << logged_.c_str();
    }
    if (delegate_)
        delegate_->statusChanged(status());
}

void DeviceLoader::progressChanged()
{
    if (delegate_)
        delegate_->progress(overallPercent(percent()));
}

void DeviceLoader::errorRaised()
{
    qCWarning(lcXmega).noquote() << error().c_str();
    if (delegate_)
        delegate_->statusChanged(error());
}

} // namespace Converters
} // namespace TWG
