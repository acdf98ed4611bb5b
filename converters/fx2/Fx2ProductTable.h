#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace TWG {
namespace USB {
class IUSBDevice;
}
namespace Converters {

class AbstractUSBDevice;
struct Fx2ProductEntry;

// Makes the device object for an arrived USB device (which it takes a reference on).
using Fx2DeviceFactory = AbstractUSBDevice* (*)(USB::IUSBDevice* device, const Fx2ProductEntry& entry);

using Fx2RamImage = std::shared_ptr<const std::vector<std::uint8_t>>;

// One product of the FX2 notifier: its factory and the controller's RAM image (records back to
// back: count, big-endian address, type, data, checksum). The plug-in carries no image of its
// own: without one nothing is downloaded.
struct Fx2ProductEntry {
    std::uint16_t productId = 0;
    Fx2DeviceFactory factory = nullptr;
    Fx2RamImage ramImage;
};

// The FX2 products in table order. Thread-safe.
class Fx2ProductTable {
public:
    static const std::vector<std::uint16_t>& productIds();
    static const std::vector<std::uint16_t>& vendorIds();
    // The entry of a product id, with the image registered for it now, else the one in the
    // firmware directory (see ramImageFileName); false when unknown.
    static bool find(std::uint16_t productId, Fx2ProductEntry* entry);
    // Registers (or with an empty image, removes) the RAM image of a product id at run time;
    // false for a product that is not in the table.
    static bool setRamImage(std::uint16_t productId, std::vector<std::uint8_t> image);
    static void clearRamImages();
    // "fx2ram-%04x.bin": a product's RAM image in the firmware directory. Only the
    // simulation-only tree writes them; the shipped one holds none.
    static std::string ramImageFileName(std::uint16_t productId);
};

} // namespace Converters
} // namespace TWG
