#pragma once

#include <string>

namespace TWG {
namespace Converters {

// Hears a loader's progress (percent; negative: working, amount unknown) and status texts.
class DeviceLoaderDelegate {
public:
    virtual ~DeviceLoaderDelegate() = default;
    virtual void progress(int percent) = 0;
    virtual void statusChanged(const std::string& status) { (void)status; }
};

} // namespace Converters
} // namespace TWG
