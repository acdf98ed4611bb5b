#include "plugins/zanthic/device/FirmwareSet.h"

#include "plugins/zanthic/device/FirmwareLookup.h"
#include "plugins/zanthic/device/ZanthicLog.h"
#include "usb/package/PackageFormat.h"

#include <map>
#include <memory>
#include <stdexcept>

namespace TWG {
namespace Zanthic {

namespace {

namespace Format = USB::PackageFormat;

std::mutex& cacheMutex()
{
    static std::mutex mutex;
    return mutex;
}
std::map<std::uint16_t, std::unique_ptr<FirmwareSet>>& cache()
{
    static std::map<std::uint16_t, std::unique_ptr<FirmwareSet>> sets;
    return sets;
}

} // namespace

FirmwareSet& firmwareSet(std::uint16_t productId)
{
    std::lock_guard<std::mutex> lock(cacheMutex());
    std::unique_ptr<FirmwareSet>& set = cache()[productId];
    if (!set) {
        set = std::make_unique<FirmwareSet>();
        set->productId = productId;
        try {
            set->entries = GetFirmwares(firmwarePackagePath(productId), productId, Format::kEntryTypeInformation);
        } catch (const std::exception&) {
            // No information yet; the images are read when first asked for.
        }
    }
    return *set;
}

USB::FirmwarePackageEntry* openEntry(FirmwareSet& set, int index, std::uint16_t type)
{
    std::lock_guard<std::mutex> lock(set.mutex);
    if (type == Format::kEntryTypeFirmware && !set.imagesLoaded) {
        set.entries.clear();
        try {
            set.entries = GetFirmwares(firmwarePackagePath(set.productId), set.productId, type);
        } catch (const std::exception& e) {
            qCWarning(lcZanthic, "Firmware images of %04x: %s", unsigned(set.productId), e.what());
        }
        set.imagesLoaded = true;
    }
    USB::FirmwarePackageEntry* entry = set.entries.at(index);
    // Inflated here, under the lock, so that threads sharing the set only read its data.
    if (entry && type == Format::kEntryTypeFirmware)
        entry->inflate();
    return entry;
}

void reloadFirmwareSets()
{
    std::lock_guard<std::mutex> lock(cacheMutex());
    for (auto& set : cache()) {
        std::lock_guard<std::mutex> setLock(set.second->mutex);
        set.second->entries.clear();
        set.second->imagesLoaded = false;
    }
}

} // namespace Zanthic
} // namespace TWG
