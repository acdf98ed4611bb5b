#include "converters/fx2/Fx2ProductTable.h"

#include "converters/fx2/ConverterInstance.h"
#include "protocol/ConverterIds.h"
#include "usb/package/FirmwareFileLocation.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

namespace TWG {
namespace Converters {

namespace {

std::mutex& imageMutex()
{
    static std::mutex m;
    return m;
}

std::map<std::uint16_t, Fx2RamImage>& images()
{
    static std::map<std::uint16_t, Fx2RamImage> m;
    return m;
}

bool known(std::uint16_t productId)
{
    const std::vector<std::uint16_t>& ids = Fx2ProductTable::productIds();
    return std::find(ids.begin(), ids.end(), productId) != ids.end();
}

Fx2RamImage imageFromFirmwareDirectory(std::uint16_t productId)
{
    const std::string directory = USB::firmwareDirectory();
    if (directory.empty())
        return nullptr;
    std::ifstream file(directory + "/" + Fx2ProductTable::ramImageFileName(productId), std::ios::binary);
    if (!file)
        return nullptr;
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (bytes.empty())
        return nullptr;
    return std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
}

} // namespace

const std::vector<std::uint16_t>& Fx2ProductTable::productIds()
{
    static const std::vector<std::uint16_t> list(ids::kFx2ProductIds.begin(), ids::kFx2ProductIds.end());
    return list;
}

const std::vector<std::uint16_t>& Fx2ProductTable::vendorIds()
{
    static const std::vector<std::uint16_t> list = {ids::kVendorId, ids::kFx2ChipVendorId};
    return list;
}

bool Fx2ProductTable::find(std::uint16_t productId, Fx2ProductEntry* entry)
{
    if (!entry || !known(productId))
        return false;
    entry->productId = productId;
    entry->factory = &ConverterInstance::create;
    {
        std::lock_guard<std::mutex> lock(imageMutex());
        auto found = images().find(productId);
        entry->ramImage = found == images().end() ? nullptr : found->second;
    }
    if (!entry->ramImage)
        entry->ramImage = imageFromFirmwareDirectory(productId);
    return true;
}

bool Fx2ProductTable::setRamImage(std::uint16_t productId, std::vector<std::uint8_t> image)
{
    if (!known(productId))
        return false;
    std::lock_guard<std::mutex> lock(imageMutex());
    if (image.empty())
        images().erase(productId);
    else
        images()[productId] = std::make_shared<const std::vector<std::uint8_t>>(std::move(image));
    return true;
}

void Fx2ProductTable::clearRamImages()
{
    std::lock_guard<std::mutex> lock(imageMutex());
    images().clear();
}

std::string Fx2ProductTable::ramImageFileName(std::uint16_t productId)
{
    char name[24];
    std::snprintf(name, sizeof name, "fx2ram-%04x.bin", unsigned(productId));
    return name;
}

} // namespace Converters
} // namespace TWG
