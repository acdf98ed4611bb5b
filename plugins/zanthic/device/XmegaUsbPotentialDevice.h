#pragma once

#include "plugins/zanthic/device/PotentialDevice.h"

#include <memory>

namespace TWG {
namespace Converters {
class XmegaUSBDevice;
} // namespace Converters

namespace Zanthic {

// An XMEGA converter (0xBE90, 0xBE91): known by its uuid, its identity in registers, reached
// through the XMEGA vendor-request channel. The constructor throws "No device interface." or
// "UUID read failure.".
class XmegaUsbPotentialDevice : public UsbPotentialDevice {
public:
    XmegaUsbPotentialDevice(std::weak_ptr<ConnectionManager> manager, USB::IUSBDevice* device);
    ~XmegaUsbPotentialDevice() override;

    QString deviceName() override;
    QString buildId() override;
    QString releaseVersion() override;
    bool isFirmwareCurrent(const QString& available) override;

    const std::shared_ptr<Converters::XmegaUSBDevice>& channel() const { return channel_; }
    // Non-zero while the bootloader runs; false when the mode cannot be read.
    bool readBootState(std::uint8_t* state);
    bool reboot(bool intoBootloader);

private:
    // Register text: ASCII up to the first zero byte; empty when unreadable.
    QString registerText(std::uint32_t address, std::uint32_t length);

    std::shared_ptr<Converters::XmegaUSBDevice> channel_;
};

} // namespace Zanthic
} // namespace TWG
