#pragma once

#include <cstdint>

// What the plug-in's "Resources" folder holds for a product: its package "data-%04x.bin",
// read (and its digest checked) in the folder set by the plug-in's initialisation.
namespace TWG {
namespace Zanthic {

// The package reads and holds a firmware image for the product's key.
bool packageHoldsFirmwareImage(std::uint16_t productId);

// The section id of the product's first information entry with entry byte B 0 (the FPGA
// version) or 1 (the XMEGA version); 0 when there is none or the package does not read.
std::uint32_t packagedFpgaVersion(std::uint16_t productId);
std::uint32_t packagedXmegaVersion(std::uint16_t productId);

} // namespace Zanthic
} // namespace TWG
