#pragma once

#include "converters/xmega/XmegaLoaderStage.h"

namespace TWG {
namespace Converters {

// Closes the EEPROM session.
class XmegaEndEepromStage : public XmegaLoaderStage {
public:
    std::string name() const override { return "End Eeprom"; }
    bool run(XmegaUSBDevice& device, DeviceLoaderStatus& status) override;
};

} // namespace Converters
} // namespace TWG
