#pragma once

#include "plugins/zanthic/device/ConnectedDevice.h"

namespace TWG {
namespace Zanthic {

class Stm32PropertyChannel;
class UsbPotentialDevice;

// The STM32 models: settings as named properties (vendor requests), the name through the
// control interface, the boot mode as the connection probe once a second.
class Stm32ZanthicConvertersConnectedDevice : public ZanthicConvertersConnectedDevice {
    Q_OBJECT
public:
    Stm32ZanthicConvertersConnectedDevice(ConnectedDeviceOwner* owner, std::shared_ptr<UsbPotentialDevice> potential);

    void setDeviceName(const QString& name) override;
    bool supportsLutName() const override;
    QString getLutName() override;
    // Any thread: the upload holds the device for both its writes, data then name (the poll
    // skips its turns meanwhile).
    int loadLut(int index, const QString& fileName, const QString& lutName) override;
    bool supportsLutTransferThread() const override;
    void factoryReset() override;

protected:
    void poll() override;
    bool supports(Setting setting) const override;
    void readSetting(Setting setting, std::uint8_t* value) override;
    void writeSetting(Setting setting, std::uint8_t value) override;

private:
    Stm32PropertyChannel channel();
    std::uint16_t productId() const;

    std::shared_ptr<UsbPotentialDevice> usb_;
};

} // namespace Zanthic
} // namespace TWG
