#include "converters/xmega/PoweredXmegaDevice.h"

#include "protocol/XmegaProtocol.h"

namespace TWG {
namespace Converters {

std::shared_ptr<PoweredXmegaDevice> PoweredXmegaDevice::create(USB::IUSBDevice* device)
{
    return createAs<PoweredXmegaDevice>(device);
}

bool PoweredXmegaDevice::isPowered(bool* powered)
{
    std::uint8_t b = 0;
    if (!request(xmega::kVendorInterfaceIn, xmega::kIsPowered, 0, xmega::kPowerLength, &b))
        return false;
    if (powered)
        *powered = b != 0;
    return true;
}

} // namespace Converters
} // namespace TWG
