#include "tools/sim-tree/SimFirmware.h"

#include "converters/fx2/At90Protocol.h"
#include "plugins/converters/firmware/FirmwareFormat.h"
#include "tools/package-writer/PackageWriter.h"
#include "usb/package/FirmwareFileLocation.h"
#include "usb/package/PackageFormat.h"

#include <algorithm>

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

bool contains(const std::vector<std::uint16_t>& ids, std::uint16_t id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

} // namespace

const std::vector<std::uint16_t>& fx2Models()
{
    static const std::vector<std::uint16_t> ids{
        0xBD15, 0xBD16, 0xBD17, 0xBD18, 0xBD19, 0xBD27, 0xBD28, 0xBD2C, 0xBD2E, 0xBD2F, 0xBD30,
        0xBD31, 0xBD32, 0xBD33, 0xBD34, 0xBD41, 0xBD46, 0xBD47, 0xBD53, 0xBD54, 0xBD55, 0xBD5F,
        0xBD60, 0xBD69, 0xBD6A, 0xBD82, 0xBD83, 0xBD84, 0xBD85, 0xBDCF, 0xBDD0};
    return ids;
}

const std::vector<std::uint16_t>& xmegaModels()
{
    static const std::vector<std::uint16_t> ids{0xBD91, 0xBD92, 0xBD93, 0xBD94, 0xBD95, 0xBD96, 0xBDB8, 0xBDC5,
                                                0xBDC6, 0xBDE7, 0xBDF2, 0xBDF6, 0xBE00, 0xBE06, 0xBE0C};
    return ids;
}

bool hasAt90(std::uint16_t productId)
{
    static const std::vector<std::uint16_t> ids{0xBD2E, 0xBD2F, 0xBD32, 0xBD33, 0xBD34, 0xBD53, 0xBDCF};
    return contains(ids, productId);
}

std::vector<Image> images(std::uint16_t productId)
{
    std::vector<Image> out;
    if (contains(fx2Models(), productId)) {
        Image fx2;
        fx2.kind = Format::kFx2ImageKind;
        fx2.sectionId = 0x00010000u | kVersion;
        fx2.data = pattern(kFx2Size, productId);
        fx2.data[kFx2VersionAddress] = kVersion;
        out.push_back(std::move(fx2));
        if (hasAt90(productId)) {
            Image at90;
            at90.kind = Format::kAt90ImageKind;
            at90.sectionId = 0x00020000u | kVersion;
            at90.data = pattern(kAt90Size, productId + 1u);
            out.push_back(std::move(at90));
        }
    } else if (contains(xmegaModels(), productId)) {
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
