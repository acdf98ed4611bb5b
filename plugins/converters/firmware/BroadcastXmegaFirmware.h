#pragma once

#include "converters/IConverterXmegaProgramming.h"
#include "plugins/converters/firmware/FirmwareFormat.h"
#include "usb/package/FirmwarePackageEntryList.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

// The images of an XMEGA-based converter's package: the application image, kept apart, and
// the EEPROM images in package order, followed by the image table that describes them. Index
// n (the number of EEPROM images) is the table itself. An index out of range gives null or 0.
class BroadcastXmegaFirmware : public TWG::Converters::IConverterXmegaProgramming::ImageSource {
public:
    using ImageTable = std::array<std::uint8_t, FirmwareFormat::Table::kSize>;

    explicit BroadcastXmegaFirmware(std::uint16_t productId);
    ~BroadcastXmegaFirmware() override;
    BroadcastXmegaFirmware(const BroadcastXmegaFirmware&) = delete;
    BroadcastXmegaFirmware& operator=(const BroadcastXmegaFirmware&) = delete;

    // 0 without EEPROM images; else their number, plus one for the table when asked.
    virtual int imageCount(bool withTable) const;
    const std::uint8_t* imageData(int index) const override;
    std::uint32_t imageSize(int index) const override;
    // Entry byte A.
    std::uint8_t imageTarget(int index) const override;
    // The entry value.
    std::uint32_t imageOffset(int index) const override;
    // Entry byte B.
    virtual std::uint8_t imageKind(int index) const;
    virtual QString summaryText() const;
    virtual QString firmwareSetName() const;

    // What the loader programs: the EEPROM images and the table.
    int imageCount() const override { return imageCount(true); }

    // The id word of the application image's section; 0 without one.
    std::uint32_t xmegaChecksum() const;
    bool hasApplicationImage() const { return application_ != nullptr; }
    const std::uint8_t* applicationData() const;
    std::uint32_t applicationSize() const;
    // The id word of an EEPROM image's section; its low byte is the image's version.
    std::uint32_t imageSectionId(int index) const;
    const ImageTable& imageTable() const { return table_; }

    std::uint16_t productId() const { return productId_; }
    std::uint32_t key() const { return key_; }
    std::uint16_t entryType() const { return entryType_; }
    // Why the set holds nothing, once a load found nothing to offer.
    const std::string& problem() const { return problem_; }

protected:
    // Reads the model's package, takes the application image out of the list and builds the
    // table with the set's name. A set of more images than the table holds is refused whole.
    void loadPackage();

private:
    void buildTable();

    const std::uint16_t productId_;
    TWG::USB::FirmwarePackageEntryList entries_;
    std::unique_ptr<TWG::USB::FirmwarePackageEntry> application_;
    const std::uint32_t key_;
    const std::uint16_t entryType_;
    ImageTable table_{};
    std::string problem_;
};
