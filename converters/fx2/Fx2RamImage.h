#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace TWG {
namespace Converters {

// Walks the data records of an FX2 RAM image (count, big-endian address, type, data,
// checksum) up to the first record of another type or the image's end. Checksums are not
// checked. False when a record runs past the image's end or the visitor fails.
using Fx2RecordVisitor = std::function<bool(std::uint16_t address, const std::uint8_t* data, std::uint8_t count)>;
bool walkFx2DataRecords(const std::vector<std::uint8_t>& image, const Fx2RecordVisitor& visit);

} // namespace Converters
} // namespace TWG
