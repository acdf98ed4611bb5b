#pragma once

#include "protocol/ConverterIds.h"

#include <cstddef>
#include <cstdint>

// Byte layout of a firmware package file "data-%04x.bin". Every multi-byte header field is
// big-endian.
namespace TWG::USB::PackageFormat {

// The file starts with SHA-256 (salt || bytes kBodyOffset .. end); sections follow back to back.
constexpr std::size_t kDigestSize = 32;
constexpr std::size_t kBodyOffset = 32;
constexpr std::size_t kSaltSize = 20;
constexpr std::uint8_t kSalt[kSaltSize] = {
    0x5c, 0x1d, 0x9e, 0x07, 0xa3, 0xb8, 0x4f, 0x26, 0xe0, 0xd1,
    0x7b, 0x9c, 0x4a, 0x52, 0xf8, 0xe3, 0x16, 0xb0, 0x9d, 0x7a,
};
// A file this short cannot carry a section with an entry and is refused before hashing.
constexpr std::size_t kMinimumFileLength = 73;

// Section header.
constexpr std::size_t kSectionHeaderSize = 24;
constexpr std::uint16_t kSectionMagic = 0xBDBD;
constexpr std::size_t kSectionMagicOffset = 0;
constexpr std::size_t kSectionIdOffset = 4;
constexpr std::size_t kSectionLengthOffset = 8;
constexpr std::size_t kHeaderAreaLengthOffset = 12;
constexpr std::size_t kCompressedFlagOffset = 14;
constexpr std::size_t kMethodFlagsOffset = 15;
constexpr std::size_t kUncompressedSizeOffset = 16;
constexpr std::size_t kAttributesOffset = 20;
// Section header plus room for at least one full entry record.
constexpr std::size_t kMinimumHeaderAreaLength = 48;

// Entry record: 16 to 24 bytes long, always read as 24.
constexpr std::size_t kRecordReadSize = 24;
constexpr std::uint16_t kMinimumRecordLength = 16;
constexpr std::uint16_t kMaximumRecordLength = 24;
constexpr std::size_t kRecordKindOffset = 0;
constexpr std::size_t kRecordLengthOffset = 2;
constexpr std::size_t kEntryWordOffset = 4;
constexpr std::size_t kEntryByteAOffset = 8;
constexpr std::size_t kEntryByteBOffset = 9;
constexpr std::size_t kEntryTypeOffset = 10;
constexpr std::size_t kEntryKeyOffset = 12;
constexpr std::size_t kEntryValueOffset = 16;
constexpr std::size_t kEntryExtraOffset = 20;
// Fields present only in a record long enough to hold them; the extra field also needs kind 2.
// Bytes past a record's length belong to the next record (or the data block).
constexpr std::uint16_t kRecordLengthWithValue = 20;
constexpr std::uint16_t kRecordLengthWithExtra = 22;
constexpr std::uint16_t kRecordKindWithExtra = 2;
constexpr std::uint32_t kAbsentEntryValue = 0xFFFFFFFF;
constexpr std::uint16_t kAbsentExtra = 0xFFFF;
constexpr std::uint16_t kEntryTypeLimit = 3;

// Entry types the callers ask for.
constexpr std::uint16_t kEntryTypeInformation = 0;
constexpr std::uint16_t kEntryTypeFirmware = 1;

// Method flag bits 0..3 name compression methods 1..4; no bit set is method 0.
constexpr int kMethodFlagCount = 4;

// Entry key: (vendor id << 16) + product id; a model's key is under the maker's vendor id.
using TWG::Converters::ids::kVendorId;
constexpr std::uint32_t entryKey(std::uint16_t vendorId, std::uint16_t productId)
{
    return (std::uint32_t(vendorId) << 16) | productId;
}
constexpr std::uint32_t productKey(std::uint16_t productId) { return entryKey(kVendorId, productId); }

// Deflate cannot expand data by more than about 1032:1; a header claiming more is damaged.
constexpr std::uint64_t kMaximumInflateRatio = 1032;
constexpr std::uint64_t kInflateSlack = 64;

} // namespace TWG::USB::PackageFormat
