#pragma once

#include <string>

namespace TWG {
namespace Converters {

class DeviceLoaderStatus;
class XmegaUSBDevice;

// One step of a staged load.
class XmegaLoaderStage {
public:
    virtual ~XmegaLoaderStage();
    virtual bool reservedCheck() { return false; }
    // Staged programming needs the application: with the bootloader running the stage is
    // skipped (the loader restarts the device and runs again).
    virtual bool execute(XmegaUSBDevice& device, DeviceLoaderStatus& status, bool bootloader, bool* pending);
    virtual std::string name() const = 0;
    virtual bool run(XmegaUSBDevice& device, DeviceLoaderStatus& status) = 0;
};

} // namespace Converters
} // namespace TWG
