#pragma once

#include "converters/xmega/XmegaLoaderStage.h"

namespace TWG {
namespace Converters {

// Opens the EEPROM session (closing a stale one first).
class XmegaBeginEepromStage : public XmegaLoaderStage {
public:
    std::string name() const override { return "Begin Eeprom"; }
    bool run(XmegaUSBDevice& device, DeviceLoaderStatus& status) override;
};

} // namespace Converters
} // namespace TWG
