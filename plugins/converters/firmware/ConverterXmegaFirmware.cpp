#include "plugins/converters/firmware/ConverterXmegaFirmware.h"

ConverterXmegaFirmware::ConverterXmegaFirmware(std::uint16_t productId) : BroadcastXmegaFirmware(productId)
{
    loadPackage();
    versionByte_ = findVersionByte();
}

std::uint8_t ConverterXmegaFirmware::imageVersion(int index) const
{
    return static_cast<std::uint8_t>(imageSectionId(index) & FirmwareFormat::kVersionMask);
}

QString ConverterXmegaFirmware::summaryText() const
{
    QString text = QStringLiteral("\n\tXMEGA checksum\t= 0x") + QString::number(xmegaChecksum(), 16) +
                   QStringLiteral("\n");
    if (BroadcastXmegaFirmware::imageCount(false) > 0)
        text += QStringLiteral("\tFPGA Version\t= 0x") + QString::number(versionByte_, 16);
    else
        text += QStringLiteral("\t- No more firmware for this device");
    return text;
}

QString ConverterXmegaFirmware::firmwareSetName() const
{
    return QString::fromLatin1(FirmwareFormat::kConverterSetName);
}
