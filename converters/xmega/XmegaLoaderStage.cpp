#include "converters/xmega/XmegaLoaderStage.h"

namespace TWG {
namespace Converters {

XmegaLoaderStage::~XmegaLoaderStage() = default;

bool XmegaLoaderStage::execute(XmegaUSBDevice& device, DeviceLoaderStatus& status, bool bootloader, bool* pending)
{
    (void)pending;
    if (bootloader)
        return true;
    return run(device, status);
}

} // namespace Converters
} // namespace TWG
