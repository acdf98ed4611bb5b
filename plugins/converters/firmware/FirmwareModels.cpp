#include "plugins/converters/firmware/FirmwareModels.h"

#include "usb/package/FirmwareFileLocation.h"
#include "usb/package/FirmwarePackage.h"
#include "usb/package/PackageFormat.h"

#include <algorithm>
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

bool isFx2Model(std::uint16_t productId)
{
    const auto& ids = fx2Models();
    return std::find(ids.begin(), ids.end(), productId) != ids.end();
}

bool isXmegaModel(std::uint16_t productId)
{
    const auto& ids = xmegaModels();
    return std::find(ids.begin(), ids.end(), productId) != ids.end();
}

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
