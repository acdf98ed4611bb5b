#include "platform/sim/models/xmega/SimXmegaDevice.h"

#include "platform/sim/models/xmega/SimXmegaApplication.h"
#include "platform/sim/models/xmega/SimXmegaBootloader.h"
#include "protocol/XmegaProtocol.h"

namespace platform {

using namespace TWG::Converters::xmega;

SimXmegaDevice::SimXmegaDevice(std::shared_ptr<SimXmegaState> state, bool bootloader)
    : SimDevice(state->descriptors(bootloader)), state_(std::move(state))
{
}

std::shared_ptr<SimXmegaDevice> SimXmegaDevice::persona(std::shared_ptr<SimXmegaState> state, bool bootloader)
{
    if (bootloader)
        return std::make_shared<SimXmegaBootloader>(std::move(state));
    return std::make_shared<SimXmegaApplication>(std::move(state));
}

UsbStatus SimXmegaDevice::classOrVendorRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data)
{
    SimXmegaState& s = *state_;
    if (setup.bmRequestType == kVendorDeviceIn && setup.bRequest == kGetUuid) {
        data.assign(s.uuid.begin(), s.uuid.end());
        return UsbStatus::Success;
    }
    if (setup.bmRequestType == kVendorInterfaceIn && setup.bRequest == kGetMode) {
        data = {static_cast<std::uint8_t>(isBootloader() ? 1 : 0)};
        return UsbStatus::Success;
    }
    if (setup.bmRequestType == kVendorInterfaceIn && setup.bRequest == kGetVersions) {
        data.assign(kVersionsLength, 0);
        for (int v = 0; v < 2; ++v)
            for (int i = 0; i < 4; ++i)
                data[static_cast<std::size_t>(v * 4 + i)] = static_cast<std::uint8_t>(s.versions[v] >> (8 * i));
        return UsbStatus::Success;
    }
    if (setup.bmRequestType == kVendorInterfaceOut && setup.bRequest == kRestart) {
        if (setup.wValue > kRestartBootloader)
            return UsbStatus::Stall;
        const bool toBootloader = setup.wValue == kRestartBootloader || !s.applicationPresent();
        ++s.restarts;
        s.sessionOpen = false;
        s.tableWritten = false;
        s.fpgaImageWritten = false;
        s.armed = false;
        s.pageBuffer.clear();
        reenumerate(s.neverBack ? nullptr : persona(state_, toBootloader), Clock::Duration(s.restartDelayMs));
        return UsbStatus::Success;
    }
    return personaRequest(setup, data);
}

UsbStatus SimXmegaDevice::personaRequest(const UsbSetup&, std::vector<std::uint8_t>&) { return UsbStatus::Stall; }

} // namespace platform
