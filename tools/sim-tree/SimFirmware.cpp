#include "tools/sim-tree/SimFirmware.h"

#include "converters/fx2/ConverterInstance.h"
#include "converters/fx2/Fx2ProductTable.h"
#include "protocol/At90Protocol.h"
#include "protocol/ConverterFirmware.h"
#include "protocol/ConverterIds.h"
#include "protocol/Fx2Protocol.h"
#include "protocol/ZanthicFirmwareIds.h"
#include "protocol/ZanthicIds.h"
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

// An STM32 image of three 2 KiB blocks and a partial one; its build id past the vector table.
constexpr std::size_t kStm32Size = 3 * 2048 + 700;
constexpr std::size_t kStm32BuildIdAt = 0x200;
constexpr std::size_t kZanthicBootloaderSize = 6000;
constexpr std::size_t kZanthicFpgaSize = 70000;
constexpr std::size_t kZanthicOtherSize = 3000;
constexpr std::uint8_t kZanthicOtherTarget = 1;
constexpr std::uint32_t kZanthicOtherAddress = 0x10000;
// Information entries: entry byte B names the version the section id carries.
constexpr std::uint8_t kFpgaVersionInfo = 0;
constexpr std::uint8_t kXmegaVersionInfo = 1;

void putVersion(std::vector<std::uint8_t>& data, std::uint32_t version)
{
    for (int i = 0; i < 4; ++i)
        data[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(version >> (8 * i));
}

std::vector<Image> zanthicImages(std::uint16_t productId)
{
    namespace zids = Zanthic::firmwareids;
    std::vector<Image> out;
    if (Zanthic::ids::isStm32Product(productId)) {
        Image image;
        image.sectionId = productId;
        image.data = pattern(kStm32Size, productId);
        const std::string id = std::string(zids::kBuildIdMarker) + zids::stm32BuildId(productId);
        std::copy(id.begin(), id.end(), image.data.begin() + kStm32BuildIdAt);
        out.push_back(std::move(image));
    } else if (Zanthic::ids::isXmegaProduct(productId)) {
        Image bootloader;
        bootloader.application = true;
        bootloader.sectionId = zids::kXmegaVersion;
        bootloader.data = pattern(kZanthicBootloaderSize, productId);
        putVersion(bootloader.data, zids::kXmegaVersion);
        out.push_back(std::move(bootloader));
        Image fpga;
        fpga.target = static_cast<std::uint8_t>(zids::kXmegaFpgaImageTarget);
        fpga.word = zids::kXmegaFpgaImageAddress;
        fpga.sectionId = zids::kXmegaFpgaVersion;
        fpga.data = pattern(kZanthicFpgaSize, productId + 1u);
        putVersion(fpga.data, zids::kXmegaFpgaVersion);
        out.push_back(std::move(fpga));
        Image other;
        other.target = kZanthicOtherTarget;
        other.word = kZanthicOtherAddress;
        other.sectionId = 0x00040000u | kVersion;
        other.data = pattern(kZanthicOtherSize, productId + 2u);
        out.push_back(std::move(other));
        for (auto info : {std::make_pair(kFpgaVersionInfo, zids::kXmegaFpgaVersion),
                          std::make_pair(kXmegaVersionInfo, zids::kXmegaVersion)}) {
            Image entry;
            entry.type = Package::kEntryTypeInformation;
            entry.kind = info.first;
            entry.sectionId = info.second;
            entry.data = {0};
            out.push_back(std::move(entry));
        }
    }
    return out;
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

const std::vector<std::uint16_t>& zanthicModels()
{
    static const std::vector<std::uint16_t> models = [] {
        std::vector<std::uint16_t> all(Zanthic::ids::kStm32ProductIds.begin(), Zanthic::ids::kStm32ProductIds.end());
        all.insert(all.end(), Zanthic::ids::kXmegaProductIds.begin(), Zanthic::ids::kXmegaProductIds.end());
        return all;
    }();
    return models;
}

std::vector<Image> images(std::uint16_t productId)
{
    std::vector<Image> out = zanthicImages(productId);
    if (!out.empty())
        return out;
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
    return writePackage(productId, all, directory, error);
}

bool writePackage(std::uint16_t productId, const std::vector<Image>& all, const std::string& directory,
                  std::string* error)
{
    PackageWriter writer;
    for (const Image& image : all) {
        PackageSection section;
        section.id = image.sectionId;
        section.attributes = image.attributes;
        section.methodFlags = PackageWriter::methodFlagsFor(image.application ? Format::kXmegaApplicationMethod : 0);
        section.compress = true;
        PackageEntryRecord record;
        record.type = image.type;
        record.word = image.word;
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
