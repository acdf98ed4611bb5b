#pragma once

#include "platform/Export.h"
#include "platform/sim/SimDevice.h"
#include "platform/sim/models/xmega/SimXmegaState.h"

#include <memory>

namespace platform {

// What both personas of a simulated XMEGA converter answer: uuid, mode, versions and the
// restart that re-enumerates as the application or the bootloader. Other requests stall.
class TWG_PLATFORM_API SimXmegaDevice : public SimDevice {
public:
    const std::shared_ptr<SimXmegaState>& state() const { return state_; }
    virtual bool isBootloader() const = 0;

    // The persona a restart request leads to (wValue 0: application if one is present).
    static std::shared_ptr<SimXmegaDevice> persona(std::shared_ptr<SimXmegaState> state, bool bootloader);

protected:
    SimXmegaDevice(std::shared_ptr<SimXmegaState> state, bool bootloader);
    UsbStatus classOrVendorRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data) override;
    // The persona's own requests; the default stalls.
    virtual UsbStatus personaRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data);

    std::shared_ptr<SimXmegaState> state_;
};

} // namespace platform
