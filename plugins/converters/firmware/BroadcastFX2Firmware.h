#pragma once

#include "usb/package/FirmwarePackageEntryList.h"

#include <cstdint>
#include <string>

// The images of an FX2-based converter's package, in package order. An index out of range
// gives null or 0.
class BroadcastFX2Firmware {
public:
    explicit BroadcastFX2Firmware(std::uint16_t productId);
    virtual ~BroadcastFX2Firmware();
    BroadcastFX2Firmware(const BroadcastFX2Firmware&) = delete;
    BroadcastFX2Firmware& operator=(const BroadcastFX2Firmware&) = delete;

    virtual int imageCount() const;
    virtual const std::uint8_t* imageData(int index) const;
    virtual std::uint32_t imageSize(int index) const;
    // Entry byte A.
    virtual std::uint8_t imageTarget(int index) const;
    // The entry value.
    virtual std::uint32_t imageOffset(int index) const;
    // Entry byte B: 1 FX2 image, 2 AT90 image.
    virtual std::uint8_t imageKind(int index) const;

    // The id word of the image's section; its low byte is the image's version.
    std::uint32_t imageSectionId(int index) const;

    std::uint16_t productId() const { return productId_; }
    std::uint32_t key() const { return key_; }
    std::uint16_t entryType() const { return entryType_; }
    // Why the set holds nothing, once a load found nothing to offer.
    const std::string& problem() const { return problem_; }

protected:
    // Reads the model's package into the list (a model without a package loads nothing).
    void loadPackage();

    TWG::USB::FirmwarePackageEntryList entries_;
    std::string problem_;

private:
    const std::uint16_t productId_;
    const std::uint32_t key_;
    const std::uint16_t entryType_;
};
