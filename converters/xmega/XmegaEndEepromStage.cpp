#include "converters/xmega/XmegaEndEepromStage.h"

#include "converters/xmega/DeviceLoaderStatus.h"
#include "converters/xmega/XmegaUSBDevice.h"

namespace TWG {
namespace Converters {

bool XmegaEndEepromStage::run(XmegaUSBDevice& device, DeviceLoaderStatus& status)
{
    if (device.endStagedProgramming())
        return true;
    status.setError("ERROR: Unable to finish Eeprom session");
    return false;
}

} // namespace Converters
} // namespace TWG
