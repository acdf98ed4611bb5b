#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace TWG::Tools {

// Synthetic firmware for the simulated converters: one package per model with firmware, its
// images made from the product id. Never meant for a real converter.
namespace SimFirmware {

// The version byte of every set, and the XMEGA application checksum: what a simulated
// converter reports by default, so only a scenario's older devices are offered an update.
constexpr std::uint8_t kVersion = 1;
constexpr std::uint32_t kXmegaChecksum = 1;
// Where an FX2 image keeps its version byte (a simulated FX2's "versionAddress").
constexpr std::uint32_t kFx2VersionAddress = 16;

struct Image {
    std::uint8_t kind = 0;   // entry byte B
    std::uint8_t target = 0; // entry byte A
    std::uint32_t offset = 0;
    std::uint32_t sectionId = 0;
    std::uint32_t attributes = 0;
    bool application = false; // the XMEGA application image (compression method 2)
    std::vector<std::uint8_t> data;
    std::uint16_t type = 1;   // entry type: 1 firmware image, 0 information
    std::uint32_t word = 0;   // entry word: a Zanthic staged image's EEPROM address
};

// The models it writes packages for: every FX2 and XMEGA converter, as the plug-in reads
// firmware for each.
const std::vector<std::uint16_t>& fx2Models();
const std::vector<std::uint16_t>& xmegaModels();
// The Zanthic converters: an STM32 model's package holds its DFU image, which names the build
// id of ZanthicFirmwareIds.h; an XMEGA model's package holds the XMEGA bootloader image (first
// 4 bytes: the XMEGA version), two staged EEPROM images (target 0 at 0 starts with the FPGA
// version) and the information entries of both versions.
const std::vector<std::uint16_t>& zanthicModels();

// The images of a model's package in package order; empty for other ids.
std::vector<Image> images(std::uint16_t productId);
// Writes "data-%04x.bin" into the directory; false with *error for another id or a write fault.
bool writePackage(std::uint16_t productId, const std::string& directory, std::string* error);
// The same with the images given, in that order (a test's variant of a model's set).
bool writePackage(std::uint16_t productId, const std::vector<Image>& images, const std::string& directory,
                  std::string* error);

// A small FX2 RAM image that runs, as the FX2 product table keeps its records: one data record
// (an 8051 jump to itself at 0x0000) and the end record. A blank simulated controller gets it.
std::vector<std::uint8_t> fx2RamImage();
// Writes the FX2 product table's RAM image file of an FX2 model into the directory; false with
// *error for another id or a write fault.
bool writeFx2RamImage(std::uint16_t productId, const std::string& directory, std::string* error);

} // namespace SimFirmware

} // namespace TWG::Tools
