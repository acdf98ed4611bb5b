#include "plugins/zanthic/device/FirmwareLookup.h"

#include "plugins/zanthic/device/ZanthicLog.h"
#include "usb/package/FirmwareFileLocation.h"
#include "usb/package/FirmwarePackage.h"
#include "usb/package/PackageFormat.h"

#include <QDateTime>
#include <QFileInfo>
#include <QString>

#include <map>
#include <mutex>
#include <stdexcept>

namespace TWG {
namespace Zanthic {

namespace {

namespace Format = USB::PackageFormat;

// Information entries: entry byte B says which version the section id carries.
constexpr std::uint8_t kFpgaVersionEntry = 0;
constexpr std::uint8_t kXmegaVersionEntry = 1;

std::string inFolder(const std::string& fileName)
{
    const std::string folder = USB::firmwareDirectory();
    if (folder.empty())
        return {};
    return folder.back() == '/' ? folder + fileName : folder + "/" + fileName;
}

std::uint32_t versionEntry(std::uint16_t productId, std::uint8_t which)
{
    try {
        const USB::FirmwarePackageEntryList info =
            GetFirmwares(firmwarePackagePath(productId), productId, Format::kEntryTypeInformation);
        for (int i = 0; i < info.count(); ++i)
            if (info.at(i)->entryByteB() == which)
                return info.at(i)->sectionId();
    } catch (const std::exception& e) {
        qCDebug(lcZanthic, "No firmware version for %04x: %s", unsigned(productId), e.what());
    }
    return 0;
}

} // namespace

void setFirmwareResourcePath(const std::string& path) { USB::setFirmwareDirectory(path); }

std::string firmwarePackagePath(std::uint16_t productId) { return inFolder(USB::packageFileName(productId)); }

USB::FirmwarePackageEntryList GetFirmwares(const std::string& packagePath, std::uint16_t productId, std::uint16_t type)
{
    if (packagePath.empty())
        throw std::runtime_error("Resource file unspecified\n");
    USB::FirmwarePackage package;
    package.setPath(packagePath);
    USB::FirmwarePackageEntryList list;
    const int result = type == Format::kEntryTypeFirmware
                           ? package.readEntries(type, Format::productKey(productId), list)
                           : package.listEntries(type, Format::productKey(productId), list);
    if (result == USB::PackageResult::CannotRead || result == USB::PackageResult::NoPath)
        throw std::runtime_error("Open resource file failed\n");
    if (result != USB::PackageResult::Success)
        throw std::runtime_error("Failed to query resources\n");
    if (list.isEmpty())
        throw std::runtime_error("GetFirmwares: No resources found\n");
    return list;
}

std::vector<std::uint8_t> GetFirmware(const std::string& resourceName, std::uint16_t productId)
{
    USB::FirmwarePackage package;
    package.setPath(resourceName.empty() ? std::string() : inFolder(resourceName));
    USB::FirmwarePackageEntryList list;
    const int result = package.readEntries(Format::kEntryTypeFirmware, Format::productKey(productId), list);
    if (result != USB::PackageResult::Success)
        throw std::runtime_error("GetFirmware: Unable to unpack resource. Error code: " + std::to_string(result));
    USB::FirmwarePackageEntry* entry = list.at(0);
    // An image that does not inflate reads as no data at all: never download that.
    if (!entry || !entry->data() || entry->size() == 0)
        throw std::runtime_error("GetFirmware: No resources found.");
    return std::vector<std::uint8_t>(entry->data(), entry->data() + entry->size());
}

bool holdsFirmwareImage(std::uint16_t productId)
{
    const std::string path = firmwarePackagePath(productId);
    if (path.empty())
        return false;
    const QFileInfo file(QString::fromStdString(path));
    if (!file.isFile())
        return false;

    struct Answer {
        std::string path;
        qint64 size = -1;
        qint64 modified = 0;
        bool holds = false;
    };
    static std::mutex mutex;
    static std::map<std::uint16_t, Answer> answers;
    std::lock_guard<std::mutex> lock(mutex);
    Answer& answer = answers[productId];
    const qint64 modified = file.lastModified().toMSecsSinceEpoch();
    if (answer.path == path && answer.size == file.size() && answer.modified == modified)
        return answer.holds;
    bool holds = false;
    try {
        holds = !GetFirmwares(path, productId, Format::kEntryTypeFirmware).isEmpty();
    } catch (const std::exception& e) {
        qCDebug(lcZanthic, "No firmware image for %04x: %s", unsigned(productId), e.what());
    }
    answer = {path, file.size(), modified, holds};
    return holds;
}

std::uint32_t firmwareVersionNumber(std::uint16_t productId) { return versionEntry(productId, kFpgaVersionEntry); }

std::uint32_t firmwareBuildNumber(std::uint16_t productId) { return versionEntry(productId, kXmegaVersionEntry); }

} // namespace Zanthic
} // namespace TWG
