#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace TWG {
namespace Zanthic {

// The parser's result codes (errno numbers, as the device layer reports them).
enum CubeCode : int {
    kCubeOk = 0,
    kCubeMissingArgument = 22,
    kCubeSizeTooLarge = 27,
    kCubeMalformedNumber = 33,
    kCubeInvalidTable = 34,
    kCubeMissingValue = 139,
};

// One table of a ".cube" file: the range of its inputs per channel (R, G, B), its points per
// axis and its entries (outputs) in file order.
struct CubeTable {
    std::array<float, 3> minimum{{0, 0, 0}};
    std::array<float, 3> maximum{{1, 1, 1}};
    std::uint64_t size = 0;
    std::vector<std::array<float, 3>> entries;
};

struct CubeParseResult {
    std::string title;
    CubeTable table1D;
    CubeTable table3D;

    void reset() { *this = CubeParseResult(); }
};

// Reads a ".cube" text: titles, sizes, input ranges and the data rows of a 1D and a 3D table.
// Each table must hold size^d entries and a non-empty input range per channel; the entries come
// back as the file gives them. Numbers are read as the C locale reads them, whatever the user's
// locale.
class CubeParser {
public:
    // 0, or a CubeCode with the result reset; text need not end in a NUL.
    static int parse(CubeParseResult& result, const char* text, std::size_t length, std::uint64_t sizeLimit);
};

// The device's cube: N points per axis, N^3 packed words (red fastest), and the LUT name.
struct DeviceCube {
    explicit DeviceCube(int points);

    int points;
    std::vector<std::uint32_t> words;
    std::string name; // UTF-8

    // The words as the device takes them, four bytes each, least significant first.
    std::vector<std::uint8_t> bytes() const;
};

// One colour packed into a word; each channel clamped to 0..1 (NaN as 0) before it is scaled
// and truncated.
std::uint32_t packLutWord(float red, float green, float blue);

// Fills the cube from a ".cube" text (the file's 3D table as it is when it alone has the cube's
// size over the inputs 0..1; otherwise each grid point through the 1D table, then the 3D table,
// each over its own input range); the title, if any, becomes its name. 0 or 22.
int DecodeCubeFile(std::string_view text, DeviceCube& cube);

// Where the parser's and the decoder's log lines go (each one line, ending in "\n"); empty:
// standard output. Any thread.
using CubeLogSink = std::function<void(const std::string& line)>;
void setCubeLogSink(CubeLogSink sink);

} // namespace Zanthic
} // namespace TWG
