#pragma once

#include "usb/package/FirmwarePackageEntryList.h"

#include <cstdint>
#include <mutex>

namespace TWG {
namespace Zanthic {

// The images of one product, loaded on first use and kept to the end of the process.
struct FirmwareSet {
    std::uint16_t productId = 0;
    std::mutex mutex; // guards entries and imagesLoaded
    USB::FirmwarePackageEntryList entries;
    bool imagesLoaded = false;
};

// The product's set from the process-wide cache; the same set every time.
FirmwareSet& firmwareSet(std::uint16_t productId);
// The entry at index of the set's type-1 images (read from the package on the first call; a
// package that cannot be read gives an empty list), or null past the end. The entry stays
// valid as long as the set does.
USB::FirmwarePackageEntry* openEntry(FirmwareSet& set, int index, std::uint16_t type);
// Makes every set read its package again on next use (a package replaced on disk); the sets
// themselves stay where they are. Entries handed out before are gone.
void reloadFirmwareSets();

} // namespace Zanthic
} // namespace TWG
