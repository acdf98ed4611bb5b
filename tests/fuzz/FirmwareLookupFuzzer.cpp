// The Zanthic firmware package look-up, fed a product's package file whose digest is made to
// match: its version numbers, whether it holds an image, the DFU image, and the product's set of
// images opened one by one as the XMEGA update opens them.
//   input: product index | flags (bit 0: keep the digest as given) | file bytes
// TWG_FUZZ_RECORD=<folder> writes the seeds: the simulated converters' packages.
#include "FuzzSupport.h"

#include "plugins/zanthic/device/FirmwareLookup.h"
#include "plugins/zanthic/device/FirmwareSet.h"
#include "tools/sim-tree/SimFirmware.h"
#include "usb/package/FirmwareFileLocation.h"
#include "usb/package/FirmwarePackageEntry.h"
#include "usb/package/PackageFormat.h"
#include "usb/package/Sha256.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

using namespace TWG::Zanthic;
namespace F = TWG::USB::PackageFormat;

namespace {

// An STM32 model with a DFU image and both XMEGA models with their staged sets.
const std::uint16_t kProducts[] = {0xBE90, 0xBE91, 0xBE6F, 0xBE89};

void touch(const std::uint8_t* data, std::uint32_t size)
{
    volatile std::uint8_t sum = 0;
    for (std::uint32_t i = 0; i < size; ++i)
        sum = static_cast<std::uint8_t>(sum + data[i]);
}

void recordSeeds()
{
    const char* folder = std::getenv("TWG_FUZZ_RECORD");
    if (!folder)
        return;
    QTemporaryDir packages;
    for (std::size_t index = 0; index < sizeof kProducts / sizeof kProducts[0]; ++index) {
        std::string error;
        if (!TWG::Tools::SimFirmware::writePackage(kProducts[index], packages.path().toStdString(), &error))
            std::abort();
        const QString name = QString::fromStdString(TWG::USB::packageFileName(kProducts[index]));
        QFile package(QDir(packages.path()).filePath(name));
        QFile seed(QString::fromLocal8Bit(folder) + QLatin1Char('/') + name);
        if (!package.open(QIODevice::ReadOnly) || !seed.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        const char header[] = {static_cast<char>(index), 0};
        seed.write(header, sizeof header);
        seed.write(package.readAll());
        std::printf("recorded %s\n", qPrintable(name));
    }
    std::exit(0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::silenceQt();
    recordSeeds();
    // The firmware folder is the run's own: the folder of its input files.
    const QString probe = fuzzsupport::writeInput(QStringLiteral("probe"), nullptr, 0);
    setFirmwareResourcePath(QFileInfo(probe).absolutePath().toStdString());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzsupport::Input in(data, size);
    const std::uint16_t product = kProducts[in.byte() % (sizeof kProducts / sizeof kProducts[0])];
    const bool keepDigest = in.byte() & 1;
    std::size_t length = 0;
    const std::uint8_t* body = in.rest(&length);
    std::vector<std::uint8_t> file(body, body + length);
    if (!keepDigest && file.size() >= F::kBodyOffset) {
        TWG::USB::Sha256 sha;
        sha.update(F::kSalt, F::kSaltSize);
        sha.update(file.data() + F::kBodyOffset, file.size() - F::kBodyOffset);
        const TWG::USB::Sha256::Digest digest = sha.finish();
        std::memcpy(file.data(), digest.data(), F::kDigestSize);
    }
    const std::string name = TWG::USB::packageFileName(product);
    fuzzsupport::writeInput(QString::fromStdString(name), file.data(), file.size());
    reloadFirmwareSets();

    firmwareVersionNumber(product);
    firmwareBuildNumber(product);
    holdsFirmwareImage(product);
    try {
        const std::vector<std::uint8_t> image = GetFirmware(name, product);
        if (image.empty())
            __builtin_trap(); // an empty image is "No resources found."
    } catch (const std::runtime_error&) {
    }
    for (std::uint16_t type = 0; type < F::kEntryTypeLimit; ++type) {
        try {
            GetFirmwares(firmwarePackagePath(product), product, type);
        } catch (const std::runtime_error&) {
        }
    }
    FirmwareSet& set = firmwareSet(product);
    for (int index = 0;; ++index) {
        TWG::USB::FirmwarePackageEntry* entry = openEntry(set, index, F::kEntryTypeFirmware);
        if (!entry)
            break;
        if (const std::uint8_t* bytes = entry->data())
            touch(bytes, entry->size());
    }
    openEntry(set, 0, F::kEntryTypeInformation);
    return 0;
}
