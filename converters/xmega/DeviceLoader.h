#pragma once

#include "converters/xmega/DeviceLoaderStatus.h"

#include <atomic>
#include <string>

namespace TWG {
namespace Converters {

class DeviceLoaderDelegate;

// A loader run with a status sink that reports to its delegate. Reference-counted for
// callers that share it; a loader on the stack never needs release().
class DeviceLoader : public DeviceLoaderStatus {
public:
    explicit DeviceLoader(DeviceLoaderDelegate* delegate = nullptr);
    ~DeviceLoader() override;

    int addRef();
    int release();
    void setDelegate(DeviceLoaderDelegate* delegate) { delegate_ = delegate; }
    DeviceLoaderDelegate* delegate() const { return delegate_; }

    // False when the run failed or must be repeated once the device is back (isPending).
    virtual bool run() = 0;
    virtual bool isPending() const = 0;

protected:
    // The percentage the delegate hears for a step's percentage.
    virtual int overallPercent(int percent) const { return percent; }

    void statusChanged() override;
    void progressChanged() override;
    void errorRaised() override;

private:
    std::atomic<int> references_{1};
    DeviceLoaderDelegate* delegate_ = nullptr;
    std::string logged_; // polls repeat their status: the log shows each text once
};

} // namespace Converters
} // namespace TWG
