#include "tools/sim-tree/SimFirmware.h"

#include "converters/fx2/At90Protocol.h"
#include "converters/fx2/ConverterInstance.h"
#include "plugins/converters/firmware/FirmwareFormat.h"
#include "tools/package-writer/PackageWriter.h"
#include "usb/package/FirmwareFileLocation.h"
#include "usb/package/PackageFormat.h"

namespace TWG::Tools::SimFirmware {

namespace {

namespace Format = FirmwareFormat;
namespace Package = TWG::USB::PackageFormat;

constexpr std::uint8_t kOtherKind = 3;

// Sizes that leave a partial last chunk, page and sector.
constexpr std::size_t kFx2Size = 6 * Format::kFx2ChunkSize + 123;
constexpr std::size_t kAt90Size = 10 * Converters::at90::kPageSize + 40;
constexpr std::size_t kApplicationSize = 6000;
constexpr std::size_t kFpgaSize = 100000;
constexpr std::size_t kOtherSize = 5000;
constexpr std::uint32_t kOtherOffset = 0x200000;

std::vector<std::uint8_t> pattern(std::size_t size, std::uint32_t seed)
{
    std::vector<std::uint8_t> out(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : out) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 16);
    }
    return out;
}

} // namespace

std::vector<Image> images(std::uint16_t productId)
{
    std::vector<Image> out;
    if (FirmwareModels::isFx2Model(productId)) {
        Image fx2;
        fx2.kind = Format::kFx2ImageKind;
        fx2.sectionId = 0x00010000u | kVersion;
        fx2.data = pattern(kFx2Size, productId);
        fx2.data[kFx2VersionAddress] = kVersion;
        out.push_back(std::move(fx2));
        if (Converters::ConverterInstance::hasAt90(productId)) {
            Image at90;
            at90.kind = Format::kAt90ImageKind;
            at90.sectionId = 0x00020000u | kVersion;
            at90.data = pattern(kAt90Size, productId + 1u);
            out.push_back(std::move(at90));
        }
    } else if (FirmwareModels::isXmegaModel(productId)) {
        Image application;
        application.application = true;
        application.sectionId = kXmegaChecksum;
        application.data = pattern(kApplicationSize, productId);
        out.push_back(std::move(application));
        Image fpga;
        fpga.kind = Format::kXmegaFpgaImageKind;
        fpga.sectionId = 0x00030000u | kVersion;
        fpga.attributes = 0x46504741; // arbitrary, carried into the table
        fpga.data = pattern(kFpgaSize, productId + 1u);
        out.push_back(std::move(fpga));
        Image other;
        other.kind = kOtherKind;
        other.offset = kOtherOffset;
        other.sectionId = 0x00040000u | kVersion;
        other.attributes = 0x0000C0DE;
        other.data = pattern(kOtherSize, productId + 2u);
        out.push_back(std::move(other));
    }
    return out;
}

bool writePackage(std::uint16_t productId, const std::string& directory, std::string* error)
{
    const std::vector<Image> all = images(productId);
    if (all.empty()) {
        if (error)
            *error = "no simulated firmware for this product id";
        return false;
    }
    PackageWriter writer;
    for (const Image& image : all) {
        PackageSection section;
        section.id = image.sectionId;
        section.attributes = image.attributes;
        section.methodFlags = PackageWriter::methodFlagsFor(image.application ? Format::kXmegaApplicationMethod : 0);
        section.compress = true;
        PackageEntryRecord record;
        record.type = Package::kEntryTypeFirmware;
        record.key = Package::productKey(productId);
        record.byteA = image.target;
        record.byteB = image.kind;
        record.value = image.offset;
        section.entries.push_back(record);
        section.data = image.data;
        writer.addSection(std::move(section));
    }
    return writer.writeFile(directory + "/" + TWG::USB::packageFileName(productId), error);
}

} // namespace TWG::Tools::SimFirmware
