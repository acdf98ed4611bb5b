#include "plugins/converters/firmware/ConverterFX2Firmware.h"

#include "plugins/converters/firmware/FirmwareFormat.h"

ConverterFX2Firmware::ConverterFX2Firmware(std::uint16_t productId) : BroadcastFX2Firmware(productId)
{
    loadPackage();
    versionByte_ = findVersionByte();
}

std::uint8_t ConverterFX2Firmware::imageVersion(int index) const
{
    return static_cast<std::uint8_t>(imageSectionId(index) & FirmwareFormat::kVersionMask);
}

bool ConverterFX2Firmware::offersFirmware() const
{
    for (int i = 0; i < imageCount(); ++i)
        if (imageKindIs(i, FirmwareFormat::kFx2ImageKind) || imageKindIs(i, FirmwareFormat::kAt90ImageKind))
            return true;
    return false;
}
