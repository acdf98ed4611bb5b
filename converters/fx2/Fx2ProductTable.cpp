#include "converters/fx2/Fx2ProductTable.h"

#include "converters/fx2/ConverterInstance.h"
#include "platform/sim/models/fx2/SimFx2Images.h"

#include <algorithm>
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

} // namespace

const std::vector<std::uint16_t>& Fx2ProductTable::productIds()
{
    static const std::vector<std::uint16_t> ids = {
        0xBD15, 0xBD16, 0xBD46, 0xBD17, 0xBD18, 0xBD47, 0xBD19, 0xBD28, 0xBD27, 0xBD41, 0xBD2C,
        0xBD2E, 0xBD2F, 0xBDCF, 0xBD30, 0xBD31, 0xBDD0, 0xBD32, 0xBD34, 0xBD33, 0xBD53, 0xBD54,
        0xBD55, 0xBD82, 0xBD5F, 0xBD60, 0xBD69, 0xBD6A, 0xBD83, 0xBD84, 0xBD85};
    return ids;
}

const std::vector<std::uint16_t>& Fx2ProductTable::vendorIds()
{
    // The maker's id, and the FX2 chip's own.
    static const std::vector<std::uint16_t> ids = {0x7C5D, 0x04B4};
    return ids;
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
    // A blank controller of a simulated bus may bring its own; real ones never do.
    if (!entry->ramImage) {
        std::vector<std::uint8_t> simulated = platform::simFx2RamImage(productId);
        if (!simulated.empty())
            entry->ramImage = std::make_shared<const std::vector<std::uint8_t>>(std::move(simulated));
    }
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

} // namespace Converters
} // namespace TWG
