#pragma once

#include <cstddef>
#include <cstdint>

// How the classic converters' firmware images are told apart in their package (entries of the
// package's firmware type under the model's product key) and the image table an XMEGA converter
// is given with its EEPROM images. The plug-in reads them, the simulation-only tree writes
// them and the simulated XMEGA recognises the table.
namespace FirmwareFormat {

// Image kinds (entry byte B).
constexpr std::uint8_t kFx2ImageKind = 1;
constexpr std::uint8_t kAt90ImageKind = 2;
constexpr std::uint8_t kXmegaFpgaImageKind = 1;
// The XMEGA application image is the entry of the section whose compression method is 2.
constexpr int kXmegaApplicationMethod = 2;
// An image's version is this part of its section id.
constexpr std::uint32_t kVersionMask = 0xFF;

// The image table: little-endian, as the converter's processor reads it.
namespace Table {
constexpr std::size_t kSize = 144;
constexpr std::uint32_t kMagic = 0xABEDABED; // how the device tells the table from an image
constexpr std::size_t kMagicOffset = 0;
constexpr std::size_t kCountOffset = 4;
constexpr std::size_t kNameOffset = 8;
constexpr std::size_t kNameSize = 16;
constexpr std::size_t kRowsOffset = 24;
constexpr std::size_t kRowSize = 12;
constexpr int kMaxRows = 10;
// Within a row.
constexpr std::size_t kRowKind = 0;
constexpr std::size_t kRowTarget = 1;
constexpr std::size_t kRowOffset = 4;
constexpr std::size_t kRowAttributes = 8;
static_assert(kRowsOffset + kMaxRows * kRowSize == kSize, "the rows fill the table");

// Where the table itself is written, answered for its own index. Unverified against a
// device: the last 64 KiB sector of EEPROM 0's first 4 MiB, clear of the two LUT slots.
constexpr std::uint8_t kOwnKind = 0;
constexpr std::uint8_t kOwnTarget = 0;
constexpr std::uint32_t kOwnOffset = 0x3F0000;
} // namespace Table

} // namespace FirmwareFormat
