#pragma once

#include "plugins/converters/firmware/BroadcastXmegaFirmware.h"
#include "plugins/converters/firmware/ConverterFirmwareCommonIF.h"

// An XMEGA-based converter's firmware set "7.6.1", read from its model's package on
// construction.
class ConverterXmegaFirmware : public BroadcastXmegaFirmware, public ConverterFirmwareCommonIF {
public:
    explicit ConverterXmegaFirmware(std::uint16_t productId);

    int firmwareImageCount() const override { return BroadcastXmegaFirmware::imageCount(false); }
    std::uint8_t imageVersion(int index) const override;
    bool imageKindIs(int index, std::uint8_t kind) const override { return imageKind(index) == kind; }
    QString summaryText() const override;
    QString firmwareSetName() const override;

    // The FPGA version the converter's version register shows once this set is programmed.
    std::uint8_t versionByte() const { return versionByte_; }

private:
    std::uint8_t versionByte_ = 0;
};
