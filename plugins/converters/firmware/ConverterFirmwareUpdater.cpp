#include "plugins/converters/firmware/ConverterFirmwareUpdater.h"

#include "converters/IConverter.h"
#include "plugins/converters/firmware/ConverterFX2Firmware.h"
#include "plugins/converters/firmware/ConverterFX2Updater.h"
#include "plugins/converters/firmware/ConverterXmegaFirmware.h"
#include "plugins/converters/firmware/ConverterXmegaUpdater.h"

std::unique_ptr<ConverterFirmwareUpdater> createConverterFirmwareUpdater(TWG::Converters::IConverter* device)
{
    if (!device)
        return nullptr;
    std::uint16_t ids[2] = {0, 0};
    const bool known = device->getDeviceIds(ids);
    if (TWG::Converters::IConverterFX2Programming* fx2 = device->getFX2Programming()) {
        auto firmware = known ? std::make_unique<ConverterFX2Firmware>(ids[0]) : nullptr;
        return std::make_unique<ConverterFX2Updater>(fx2, device, std::move(firmware));
    }
    if (TWG::Converters::IConverterXmegaProgramming* xmega = device->getXmegaProgramming()) {
        auto firmware = known ? std::make_unique<ConverterXmegaFirmware>(ids[0]) : nullptr;
        return std::make_unique<ConverterXmegaUpdater>(xmega, device, std::move(firmware));
    }
    return nullptr;
}
