#pragma once

#include <cstdint>

// What the update decision asks of a converter's firmware set, whatever its controller.
class ConverterFirmwareCommonIF {
public:
    virtual ~ConverterFirmwareCommonIF() = default;
    // The images of the package, without the XMEGA application image and table.
    virtual int firmwareImageCount() const = 0;
    virtual std::uint8_t imageVersion(int index) const = 0;
    virtual bool imageKindIs(int index, std::uint8_t kind) const = 0;

protected:
    // The version of the first image of kind 1; 0 when there is none.
    std::uint8_t findVersionByte() const;
};
