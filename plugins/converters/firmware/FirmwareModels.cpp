#include "plugins/converters/firmware/FirmwareModels.h"

#include "usb/package/FirmwareFileLocation.h"
#include "usb/package/FirmwarePackage.h"
#include "usb/package/PackageFormat.h"

#include <map>
#include <memory>

namespace FirmwareModels {

namespace {

std::map<std::uint16_t, std::unique_ptr<TWG::USB::FirmwareFileLocation>> buildLocations()
{
    std::map<std::uint16_t, std::unique_ptr<TWG::USB::FirmwareFileLocation>> out;
    for (const auto* list : {&fx2Models(), &xmegaModels()})
        for (std::uint16_t id : *list)
            out[id] = std::make_unique<TWG::USB::FirmwareFileLocation>(TWG::USB::packageFileName(id));
    return out;
}

// Built with the library, as the paths they cache are process-wide.
const std::map<std::uint16_t, std::unique_ptr<TWG::USB::FirmwareFileLocation>>& locations()
{
    static const auto all = buildLocations();
    return all;
}
const bool locationsBuilt = !locations().empty();

} // namespace

TWG::USB::FirmwareFileLocation* location(std::uint16_t productId)
{
    (void)locationsBuilt;
    const auto found = locations().find(productId);
    return found == locations().end() ? nullptr : found->second.get();
}

bool readEntries(std::uint16_t productId, TWG::USB::FirmwarePackageEntryList& list, std::string* problem)
{
    list.clear();
    TWG::USB::FirmwareFileLocation* where = location(productId);
    if (!where) {
        *problem = "not a model with firmware";
        return false;
    }
    const std::string path = where->fullPath();
    if (path.empty()) {
        *problem = "no package file " + where->fileName();
        return false;
    }
    TWG::USB::FirmwarePackage package;
    package.setPath(path);
    const int result = package.readEntries(TWG::USB::PackageFormat::kEntryTypeFirmware,
                                           TWG::USB::PackageFormat::productKey(productId), list);
    if (result != TWG::USB::PackageResult::Success) {
        list.clear();
        *problem = "package " + path + " unreadable (code " + std::to_string(result) + ")";
        return false;
    }
    for (int i = 0; i < list.count(); ++i) {
        if (!list.at(i)->inflate() || !list.at(i)->data() || list.at(i)->size() == 0) {
            list.clear();
            *problem = "an image of package " + path + " is damaged";
            return false;
        }
    }
    if (list.isEmpty()) {
        *problem = "package " + path + " holds no image for this model";
        return false;
    }
    return true;
}

} // namespace FirmwareModels
