#include "plugins/zanthic/ui/ZanthicPackages.h"

#include "protocol/ZanthicIds.h"
#include "usb/package/FirmwareFileLocation.h"
#include "usb/package/FirmwarePackage.h"
#include "usb/package/PackageFormat.h"

#include <QDateTime>
#include <QFileInfo>
#include <QString>

#include <map>
#include <mutex>
#include <tuple>

namespace TWG {
namespace Zanthic {

namespace {

constexpr std::uint8_t kFpgaVersionByte = 0;
constexpr std::uint8_t kXmegaVersionByte = 1;

std::uint32_t entryKey(std::uint16_t productId)
{
    return (std::uint32_t(ids::kVendorId) << 16) | productId;
}

std::string packagePath(std::uint16_t productId)
{
    const std::string folder = USB::firmwareDirectory();
    if (folder.empty())
        return {};
    return folder + "/" + USB::packageFileName(productId);
}

// The gallery asks often; a package is read again only when its file changed.
struct ImageAnswer {
    std::string path;
    qint64 size = -1;
    qint64 modified = 0;
    bool holds = false;
};

} // namespace

bool packageHoldsFirmwareImage(std::uint16_t productId)
{
    const std::string path = packagePath(productId);
    if (path.empty())
        return false;
    const QFileInfo info(QString::fromStdString(path));
    if (!info.isFile())
        return false;

    static std::mutex mutex;
    static std::map<std::uint16_t, ImageAnswer> answers;
    std::lock_guard<std::mutex> lock(mutex);
    ImageAnswer& answer = answers[productId];
    const qint64 modified = info.lastModified().toMSecsSinceEpoch();
    if (answer.path == path && answer.size == info.size() && answer.modified == modified)
        return answer.holds;

    USB::FirmwarePackage package;
    package.setPath(path);
    USB::FirmwarePackageEntryList list;
    const int result = package.readEntries(USB::PackageFormat::kEntryTypeFirmware, entryKey(productId), list);
    answer = {path, info.size(), modified, result == USB::PackageResult::Success && !list.isEmpty()};
    return answer.holds;
}

namespace {

std::uint32_t informationSection(std::uint16_t productId, std::uint8_t byteB)
{
    const std::string path = packagePath(productId);
    if (path.empty())
        return 0;
    USB::FirmwarePackage package;
    package.setPath(path);
    USB::FirmwarePackageEntryList list;
    if (package.readEntries(USB::PackageFormat::kEntryTypeInformation, entryKey(productId), list) !=
        USB::PackageResult::Success)
        return 0;
    for (int i = 0; i < list.count(); ++i)
        if (list.at(i)->entryByteB() == byteB)
            return list.at(i)->sectionId();
    return 0;
}

} // namespace

std::uint32_t packagedFpgaVersion(std::uint16_t productId) { return informationSection(productId, kFpgaVersionByte); }
std::uint32_t packagedXmegaVersion(std::uint16_t productId) { return informationSection(productId, kXmegaVersionByte); }

} // namespace Zanthic
} // namespace TWG
