#pragma once

#include <cstdint>

// Placeholder firmware identities of the Zanthic converters until the maker's packages are
// known: the build id each STM32 model's image carries (the model table's row stores the same
// text), and the two versions the XMEGA models' packages name. The synthetic packages of the
// simulation-only tree and the plug-in's model table both read them from here.
namespace TWG {
namespace Zanthic {
namespace firmwareids {

struct Stm32Build {
    std::uint16_t productId;
    const char* buildId; // 8 lower-case hex digits, as the device reports "BuildId"
};
constexpr Stm32Build kStm32Builds[] = {
    {0xBE6F, "0000b6f2"}, {0xBE70, "0000b702"}, {0xBE77, "0000b772"},
    {0xBE78, "0000b782"}, {0xBE79, "0000b792"}, {0xBE89, "0000b892"},
};
// The build id of a product's image; null for another product id.
constexpr const char* stm32BuildId(std::uint16_t productId)
{
    for (const Stm32Build& b : kStm32Builds)
        if (b.productId == productId)
            return b.buildId;
    return nullptr;
}

// An image names its build id after this marker (the marker, then the 8 digits).
constexpr char kBuildIdMarker[] = "TWG-BUILD-ID:";
constexpr int kBuildIdDigits = 8;

// The XMEGA models' packages (0xBE90, 0xBE91): the FPGA version (information entry byte B 0)
// and the XMEGA version (byte B 1), as the device reports them once updated.
constexpr std::uint32_t kXmegaFpgaVersion = 0x0000001B;
constexpr std::uint32_t kXmegaVersion = 0x00000002;
// Where a package's FPGA image goes (EEPROM target, address); its first four bytes are the
// FPGA version, little-endian, as the bootloader image's are the XMEGA version.
constexpr std::uint16_t kXmegaFpgaImageTarget = 0;
constexpr std::uint32_t kXmegaFpgaImageAddress = 0;

} // namespace firmwareids
} // namespace Zanthic
} // namespace TWG
