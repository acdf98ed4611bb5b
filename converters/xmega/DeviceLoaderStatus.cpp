#include "converters/xmega/DeviceLoaderStatus.h"

namespace TWG {
namespace Converters {

void DeviceLoaderStatus::setStatus(const std::string& text, int percent)
{
    status_ = stageName_.empty() ? text : stageName_ + ": " + text;
    percent_ = percent;
    statusChanged();
    progressChanged();
}

void DeviceLoaderStatus::setProgress(int percent)
{
    percent_ = percent;
    progressChanged();
}

void DeviceLoaderStatus::setError(const std::string& text)
{
    if (hasError_)
        return;
    hasError_ = true;
    error_ = text;
    errorRaised();
}

void DeviceLoaderStatus::failStep() { setError("ERROR: failed while " + status_); }

void DeviceLoaderStatus::setStageName(const std::string& name) { stageName_ = name; }

void DeviceLoaderStatus::resetRun()
{
    hasError_ = false;
    error_.clear();
    stageName_.clear();
}

} // namespace Converters
} // namespace TWG
