#include "converters/xmega/XmegaBeginEepromStage.h"

#include "converters/xmega/DeviceLoaderStatus.h"
#include "converters/xmega/XmegaUSBDevice.h"

namespace TWG {
namespace Converters {

bool XmegaBeginEepromStage::run(XmegaUSBDevice& device, DeviceLoaderStatus& status)
{
    if (device.beginStagedProgramming())
        return true;
    status.setError("ERROR: Unable to start Eeprom session");
    return false;
}

} // namespace Converters
} // namespace TWG
