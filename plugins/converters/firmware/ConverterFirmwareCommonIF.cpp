#include "plugins/converters/firmware/ConverterFirmwareCommonIF.h"

#include "plugins/converters/firmware/FirmwareFormat.h"

std::uint8_t ConverterFirmwareCommonIF::findVersionByte() const
{
    for (int i = 0; i < firmwareImageCount(); ++i)
        if (imageKindIs(i, FirmwareFormat::kFx2ImageKind))
            return imageVersion(i);
    return 0;
}
