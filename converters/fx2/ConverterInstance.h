#pragma once

#include "converters/fx2/AbstractUSBDevice.h"
#include "converters/fx2/AtmelAT90HardwareAccess.h"

namespace TWG {
namespace Converters {

// An FX2-based converter, with the AT90 programmer that some boards carry.
class ConverterInstance : public AbstractUSBDevice {
public:
    ConverterInstance(USB::IUSBDevice* device, const Fx2ProductEntry& product);
    // The factory of the FX2 product table.
    static AbstractUSBDevice* create(USB::IUSBDevice* device, const Fx2ProductEntry& product);

    bool waitUntilReady() override;
    AtmelAT90HardwareAccess* at90Programmer() override;
    int eraseMethod() const override { return 0; }
    int writeMethod() const override { return 0; }
    int eepromMethod() const override { return 0; }

    virtual bool isConverterProductId();
    virtual std::uint16_t bootloaderProductId();

    // Restarts the converter's firmware after programming and waits for it as its product needs.
    bool restartDevice();

    static bool isConverterProductId(std::uint16_t productId);
    static bool hasAt90(std::uint16_t productId);

private:
    AtmelAT90HardwareAccess at90_;
};

} // namespace Converters
} // namespace TWG
