#pragma once

#include <cstdint>

namespace TWG {
namespace Converters {

// Firmware programming of an XMEGA-based converter: the EEPROM images of a firmware set.
class IConverterXmegaProgramming {
public:
    class Delegate {
    public:
        virtual ~Delegate() = default;
        virtual void reportProgress(int percent) = 0;
    };

    // The images of a firmware set, by index; an index out of range gives null or 0.
    class ImageSource {
    public:
        virtual ~ImageSource() = default;
        virtual int imageCount() const = 0;
        virtual const std::uint8_t* imageData(int index) const = 0;
        virtual std::uint32_t imageSize(int index) const = 0;
        virtual std::uint8_t imageTarget(int index) const = 0;
        virtual std::uint32_t imageOffset(int index) const = 0;
    };

    virtual ~IConverterXmegaProgramming() = default;
    // The running application's version: fails in the bootloader, and unless the device
    // reports two equal version numbers.
    virtual bool getFirmwareVersion(int* version) = 0;
    virtual bool getVersionRegister(std::uint8_t* value) = 0;
    virtual bool programFirmware(const ImageSource* source, Delegate* delegate) = 0;
};

} // namespace Converters
} // namespace TWG
