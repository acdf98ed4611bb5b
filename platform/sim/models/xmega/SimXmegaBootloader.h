#pragma once

#include "platform/sim/models/xmega/SimXmegaDevice.h"

namespace platform {

// The bootloader persona: identity and uuid programming, the application area.
class TWG_PLATFORM_API SimXmegaBootloader : public SimXmegaDevice {
public:
    explicit SimXmegaBootloader(std::shared_ptr<SimXmegaState> state);
    bool isBootloader() const override { return true; }

protected:
    UsbStatus personaRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data) override;
};

} // namespace platform
