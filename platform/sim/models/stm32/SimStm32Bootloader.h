#pragma once

#include "platform/sim/models/stm32/SimStm32Application.h"

namespace platform {

// The DFU 1.1 bootloader persona of an STM32 converter: the application's identity, the
// control interface with boot mode 10, a DFU-mode interface and its state machine over a
// flash. The manifestation follows bmAttributes (SimStm32Dfu); once manifested, and at a bus
// reset while the flash holds a whole image, it re-enumerates as the application, which then
// reports the build id its image carries. The state's DFU knobs add the faults.
class TWG_PLATFORM_API SimStm32Bootloader : public SimStm32Application {
public:
    explicit SimStm32Bootloader(std::shared_ptr<SimStm32State> state);
    bool isBootloader() const override { return true; }
    std::uint8_t dfuState() const { return dfuState_; }

    UsbStatus resetPort() override;

protected:
    UsbStatus dfuRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data) override;
    std::uint8_t bootMode() const override;

private:
    UsbStatus dnload(const UsbSetup& setup, const std::vector<std::uint8_t>& data);
    void status(std::vector<std::uint8_t>& data);
    void fail(std::uint8_t status);
    void startApplication();

    std::uint8_t dfuState_;
    std::uint8_t status_;
    bool errorPending_ = false;
    std::uint16_t nextBlock_ = 0;
    std::uint32_t written_ = 0;
    Clock::TimePoint busyUntil_{};
    bool left_ = false;
};

} // namespace platform
