#pragma once

#include <cstddef>
#include <cstdint>

// How the classic converters' firmware sets sit in their package files (entries of the
// package's firmware type under the model's product key), the image table that an XMEGA
// converter is given with its EEPROM images, and the constants of the update run.
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
constexpr std::uint32_t kMagic = 0xABEDABED;
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

constexpr const char kConverterSetName[] = "7.6.1";
constexpr const char kBaseSetName[] = "---";

// FX2 programming: flash chunks, and the share of the bar the FX2 image takes when an AT90
// image follows.
constexpr std::uint32_t kFx2ChunkSize = 4096;
constexpr double kFx2ShareWithAt90 = 0.75;

} // namespace FirmwareFormat
