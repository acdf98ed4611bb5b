#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TavrinLUT;

// The converter's 3D LUT: 33 points per axis over inputs 0..1024, the first component varying
// fastest; each entry one little-endian word of three 10-bit codes, the first in the low bits.
namespace lutgrid {

constexpr int kPoints = 33;
constexpr int kStep = 32;
constexpr int kScale = 1024;
constexpr int kMaxCode = 1023;
constexpr int kCodeBits = 10;
constexpr std::size_t kWordCount = static_cast<std::size_t>(kPoints) * kPoints * kPoints;
constexpr std::size_t kWordBytes = 4;
constexpr std::size_t kTableBytes = kWordCount * kWordBytes;

std::uint32_t packWord(const int out[3]);
// Evaluates the LUT at every grid point into the table the converter takes.
std::vector<std::uint8_t> sampleTable(const TavrinLUT& lut);

} // namespace lutgrid
