// The firmware package reader, fed a package file whose digest is made to match (so the input
// reaches the sections), then each image found is inflated and walked as an FX2 RAM image.
//   input: key (4 bytes, big-endian) | flags (bit 0: keep the digest as given) | file bytes
#include "FuzzSupport.h"

#include "converters/fx2/Fx2RamImage.h"
#include "usb/package/FirmwarePackage.h"
#include "usb/package/PackageFormat.h"
#include "usb/package/Sha256.h"

#include <cstring>
#include <vector>

using namespace TWG::USB;
namespace F = TWG::USB::PackageFormat;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::silenceQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzsupport::Input in(data, size);
    const std::uint32_t key = (std::uint32_t(in.byte()) << 24) | (std::uint32_t(in.byte()) << 16)
                              | (std::uint32_t(in.byte()) << 8) | in.byte();
    const bool keepDigest = in.byte() & 1;
    std::size_t length = 0;
    const std::uint8_t* body = in.rest(&length);

    std::vector<std::uint8_t> file(body, body + length);
    if (!keepDigest && file.size() >= F::kBodyOffset) {
        Sha256 sha;
        sha.update(F::kSalt, F::kSaltSize);
        sha.update(file.data() + F::kBodyOffset, file.size() - F::kBodyOffset);
        const Sha256::Digest digest = sha.finish();
        std::memcpy(file.data(), digest.data(), F::kDigestSize);
    }
    const QString path = fuzzsupport::writeInput(QStringLiteral("data-bd2e.bin"), file.data(), file.size());

    FirmwarePackage package;
    package.setPath(path.toStdString());
    for (std::uint16_t type = 0; type < F::kEntryTypeLimit; ++type) {
        FirmwarePackageEntryList listed;
        package.listEntries(type, key, listed);
    }
    for (std::uint16_t type = 0; type < F::kEntryTypeLimit; ++type) {
        FirmwarePackageEntryList entries;
        if (package.readEntries(type, key, entries) != PackageResult::Success)
            continue;
        for (int i = 0; i < entries.count(); ++i) {
            FirmwarePackageEntry* entry = entries.at(i);
            const std::uint8_t* bytes = entry->data();
            const std::uint32_t n = entry->size();
            if (!bytes)
                continue;
            const std::vector<std::uint8_t> image(bytes, bytes + n);
            TWG::Converters::walkFx2DataRecords(image, [](std::uint16_t, const std::uint8_t* d, std::uint8_t count) {
                volatile std::uint8_t sum = 0;
                for (std::uint8_t k = 0; k < count; ++k)
                    sum = static_cast<std::uint8_t>(sum + d[k]);
                return true;
            });
        }
        FirmwarePackageEntryList again;
        package.listEntries(type, key, again);
    }
    return 0;
}
