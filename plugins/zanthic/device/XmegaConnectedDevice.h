#pragma once

#include "plugins/zanthic/device/ConnectedDevice.h"

namespace TWG {
namespace Converters {
class XmegaUSBDevice;
} // namespace Converters

namespace Zanthic {

class XmegaUsbPotentialDevice;

// The XMEGA models (0xBE90, 0xBE91): settings in the register map, read and written through
// the XMEGA channel; the FPGA version register as the connection probe twice a second.
class XmegaZanthicConvertersConnectedDevice : public ZanthicConvertersConnectedDevice {
    Q_OBJECT
public:
    // Without an XMEGA potential device, reads give their default and writes do nothing.
    XmegaZanthicConvertersConnectedDevice(ConnectedDeviceOwner* owner, std::shared_ptr<PotentialDevice> potential);

    void setDeviceName(const QString& name) override;
    bool supportsLutName() const override { return false; }
    QString getLutName() override;
    // Any thread: the cube goes to EEPROM target 0 through staged programming, then its name
    // and the load command; the device is held throughout (the poll skips its turns meanwhile).
    int loadLut(int index, const QString& fileName, const QString& lutName) override;
    bool supportsLutTransferThread() const override;
    void factoryReset() override;

protected:
    void poll() override;
    bool supports(Setting setting) const override;
    void readSetting(Setting setting, std::uint8_t* value) override;
    void writeSetting(Setting setting, std::uint8_t value) override;

private:
    Converters::XmegaUSBDevice* channel() const;
    std::uint16_t productId() const;

    std::shared_ptr<XmegaUsbPotentialDevice> xmega_;
};

} // namespace Zanthic
} // namespace TWG
