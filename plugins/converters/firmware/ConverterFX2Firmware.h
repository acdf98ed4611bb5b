#pragma once

#include "plugins/converters/firmware/BroadcastFX2Firmware.h"
#include "plugins/converters/firmware/ConverterFirmwareCommonIF.h"

// An FX2-based converter's firmware set, read from its model's package on construction.
class ConverterFX2Firmware : public BroadcastFX2Firmware, public ConverterFirmwareCommonIF {
public:
    explicit ConverterFX2Firmware(std::uint16_t productId);

    int firmwareImageCount() const override { return imageCount(); }
    std::uint8_t imageVersion(int index) const override;
    bool imageKindIs(int index, std::uint8_t kind) const override { return imageKind(index) == kind; }

    // The version the converter's version register shows once this set is programmed.
    std::uint8_t versionByte() const { return versionByte_; }
    // An FX2 or AT90 image is there to program.
    bool offersFirmware() const;

private:
    std::uint8_t versionByte_ = 0;
};
