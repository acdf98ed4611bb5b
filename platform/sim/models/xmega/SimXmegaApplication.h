#pragma once

#include "platform/sim/models/xmega/SimXmegaDevice.h"

namespace platform {

// The application persona: registers behind the segment selection, EEPROM targets with a
// programming session and the bulk OUT stream, power.
class TWG_PLATFORM_API SimXmegaApplication : public SimXmegaDevice {
public:
    explicit SimXmegaApplication(std::shared_ptr<SimXmegaState> state);
    bool isBootloader() const override { return false; }

    UsbStatus bulkOut(std::uint8_t endpoint, const std::vector<std::uint8_t>& data, std::uint32_t* taken) override;

protected:
    UsbStatus personaRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data) override;

private:
    UsbStatus eepromRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data);
    std::uint32_t segment_ = 0;
};

} // namespace platform
