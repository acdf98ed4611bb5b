#pragma once

#include "platform/Export.h"
#include "platform/sim/SimDevice.h"
#include "platform/sim/models/stm32/SimStm32State.h"

#include <memory>

namespace platform {

// The application persona of an STM32 Zanthic converter: the property protocol's vendor
// requests and the control interface's class requests. Other requests stall.
class TWG_PLATFORM_API SimStm32Application : public SimDevice {
public:
    explicit SimStm32Application(std::shared_ptr<SimStm32State> state);
    const std::shared_ptr<SimStm32State>& state() const { return state_; }
    virtual bool isBootloader() const { return false; }
    UsbStatus resetPort() override;

    // The persona the device enumerates as: the application or its DFU bootloader.
    static std::shared_ptr<SimStm32Application> persona(std::shared_ptr<SimStm32State> state, bool bootloader);
    // What the converter comes up as when its power returns: the application its flash holds
    // when that is whole, else the bootloader.
    static std::shared_ptr<SimStm32Application> powerOn(std::shared_ptr<SimStm32State> state);

protected:
    SimStm32Application(std::shared_ptr<SimStm32State> state, bool bootloader);
    // Class requests to the DFU interface. The application's run-time interface answers
    // GETSTATUS with appIDLE or appDETACH, and DETACH by re-enumerating as the bootloader
    // (willDetach) or by waiting for the bus reset.
    virtual UsbStatus dfuRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data);
    virtual std::uint8_t bootMode() const;

    UsbStatus standardRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data) override;
    UsbStatus classOrVendorRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data) override;

private:
    UsbStatus vendorRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data);
    UsbStatus classRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data);
    std::uint16_t newHandle(std::vector<std::uint8_t>& data);

    std::shared_ptr<SimStm32State> state_;
    // appDETACH: a bus reset before the deadline starts the bootloader; after it the
    // application is back in appIDLE.
    bool detached_ = false;
    Clock::TimePoint detachDeadline_{};
};

} // namespace platform
