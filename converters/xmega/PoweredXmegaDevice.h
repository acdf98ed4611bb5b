#pragma once

#include "converters/xmega/XmegaUSBDevice.h"

namespace TWG {
namespace Converters {

// An XMEGA converter that can tell whether its external power is present.
class PoweredXmegaDevice : public XmegaUSBDevice {
public:
    static std::shared_ptr<PoweredXmegaDevice> create(USB::IUSBDevice* device);

    bool isPowered(bool* powered);

protected:
    using XmegaUSBDevice::XmegaUSBDevice;
    friend class XmegaUSBDevice;
};

} // namespace Converters
} // namespace TWG
