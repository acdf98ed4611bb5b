#pragma once

#include "converters/xmega/XmegaEepromStage.h"

namespace TWG {
namespace Converters {

// Erases the sectors an image needs on an EEPROM target, writes it and waits until the
// device has finished writing. The image stays the caller's.
class XmegaFirmwareStage : public XmegaEepromStage {
public:
    XmegaFirmwareStage(std::uint16_t target, std::uint32_t offset, std::uint32_t length, const std::uint8_t* data,
                       std::string name = {});

    bool run(XmegaUSBDevice& device, DeviceLoaderStatus& status) override;

private:
    bool program(XmegaUSBDevice& device, DeviceLoaderStatus& status);

    std::uint32_t length_;
    const std::uint8_t* data_;
};

} // namespace Converters
} // namespace TWG
