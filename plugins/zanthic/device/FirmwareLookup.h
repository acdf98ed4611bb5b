#pragma once

#include "usb/package/FirmwarePackageEntryList.h"

#include <cstdint>
#include <string>
#include <vector>

namespace TWG {
namespace Zanthic {

// The plug-in's firmware packages: "data-%04x.bin" per product in the firmware folder (the
// package reader's process-wide firmware directory, which the plug-in sets to its "Resources"
// folder). Entries are keyed by the converters' vendor id and the product id.
void setFirmwareResourcePath(const std::string& path);
// The package file of a product inside the firmware folder; empty while no folder is set.
std::string firmwarePackagePath(std::uint16_t productId);

// Entries of a type (1: firmware images, others: information entries) for the product, with
// their data. Throws std::runtime_error "Resource file unspecified\n", "Open resource file
// failed\n", "Failed to query resources\n" or "GetFirmwares: No resources found\n".
USB::FirmwarePackageEntryList GetFirmwares(const std::string& packagePath, std::uint16_t productId, std::uint16_t type);

// The first firmware image of the package named resourceName in the firmware folder, inflated.
// Throws "GetFirmware: Unable to unpack resource. Error code: N" for a reader error, and
// "GetFirmware: No resources found." when there is no image or it is empty or does not inflate.
std::vector<std::uint8_t> GetFirmware(const std::string& resourceName, std::uint16_t productId);

// The product's package reads (its digest checks) and holds a firmware image for the product.
// Asked whenever a device is shown; the package is read again only when its file changed.
bool holdsFirmwareImage(std::uint16_t productId);

// The section id of the product's first information entry with entry byte B 0 (the FPGA
// version) or 1 (the XMEGA version); 0 without a package or such an entry. Never throws.
std::uint32_t firmwareVersionNumber(std::uint16_t productId);
std::uint32_t firmwareBuildNumber(std::uint16_t productId);

} // namespace Zanthic
} // namespace TWG
