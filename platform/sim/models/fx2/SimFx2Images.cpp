#include "platform/sim/models/fx2/SimFx2Images.h"

#include <map>
#include <mutex>

namespace platform {

namespace {

std::mutex& imagesMutex()
{
    static std::mutex m;
    return m;
}

std::map<std::uint16_t, std::vector<std::uint8_t>>& images()
{
    static std::map<std::uint16_t, std::vector<std::uint8_t>> m;
    return m;
}

} // namespace

std::vector<std::uint8_t> simFx2RamImage(std::uint16_t productId)
{
    std::lock_guard<std::mutex> lock(imagesMutex());
    const auto found = images().find(productId);
    return found == images().end() ? std::vector<std::uint8_t>{} : found->second;
}

void setSimFx2RamImage(std::uint16_t productId, std::vector<std::uint8_t> image)
{
    std::lock_guard<std::mutex> lock(imagesMutex());
    if (image.empty())
        images().erase(productId);
    else
        images()[productId] = std::move(image);
}

void clearSimFx2RamImages()
{
    std::lock_guard<std::mutex> lock(imagesMutex());
    images().clear();
}

std::vector<std::uint8_t> syntheticFx2RamImage()
{
    // count 2 at 0x0000, type 0: SJMP $ (0x80 0xFE); checksum; then an end record.
    return {0x02, 0x00, 0x00, 0x00, 0x80, 0xFE, 0x80, 0x00, 0x00, 0x00, 0x01, 0xFF};
}

} // namespace platform
