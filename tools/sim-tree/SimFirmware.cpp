#include "tools/sim-tree/SimFirmware.h"

#include "converters/fx2/ConverterInstance.h"
#include "converters/fx2/Fx2ProductTable.h"
#include "protocol/At90Protocol.h"
#include "protocol/ConverterFirmware.h"
#include "protocol/ConverterIds.h"
#include "protocol/Fx2Protocol.h"
#include "tools/package-writer/PackageWriter.h"
#include "usb/package/FirmwareFileLocation.h"
#include "usb/package/PackageFormat.h"

#include <fstream>

namespace TWG::Tools::SimFirmware {

namespace {

namespace Format = FirmwareFormat;
namespace Package = TWG::USB::PackageFormat;
namespace ids = Converters::ids;

constexpr std::uint8_t kOtherKind = 3;

// Sizes that leave a partial last chunk, page and sector (the FX2 update writes 4 KiB chunks).
constexpr std::size_t kFx2Size = 96 * Converters::fx2::kPageSize + 123;
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

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* error)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        if (error)
            *error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace

const std::vector<std::uint16_t>& fx2Models()
{
    static const std::vector<std::uint16_t> models(ids::kFx2ProductIds.begin(), ids::kFx2ProductIds.end());
    return models;
}

const std::vector<std::uint16_t>& xmegaModels()
{
    static const std::vector<std::uint16_t> models(ids::kXmegaProductIds.begin(), ids::kXmegaProductIds.end());
    return models;
}

std::vector<Image> images(std::uint16_t productId)
{
    std::vector<Image> out;
    if (ids::isFx2Product(productId)) {
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
    } else if (ids::isXmegaProduct(productId)) {
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

std::vector<std::uint8_t> fx2RamImage()
{
    // count 2 at 0x0000, type 0: SJMP $ (0x80 0xFE); checksum; then an end record.
    return {0x02, 0x00, 0x00, 0x00, 0x80, 0xFE, 0x80, 0x00, 0x00, 0x00, 0x01, 0xFF};
}

bool writeFx2RamImage(std::uint16_t productId, const std::string& directory, std::string* error)
{
    if (!ids::isFx2Product(productId)) {
        if (error)
            *error = "not an FX2 product id";
        return false;
    }
    return writeFile(directory + "/" + Converters::Fx2ProductTable::ramImageFileName(productId), fx2RamImage(),
                     error);
}

} // namespace TWG::Tools::SimFirmware
