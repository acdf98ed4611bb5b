#include "plugins/converters/lut/LutSampling.h"

#include "converters/IConverter.h"
#include "plugins/converters/lut/TavrinLUT.h"

#include <algorithm>

namespace lutgrid {

static_assert(kTableBytes == TWG::Converters::kLutDataSize, "the grid must fill the converter's LUT");
static_assert((kPoints - 1) * kStep == kScale, "the grid spans the whole input scale");

std::uint32_t packWord(const int out[3])
{
    std::uint32_t word = 0;
    for (int c = 2; c >= 0; --c)
        word = (word << kCodeBits) | static_cast<std::uint32_t>(std::clamp(out[c], 0, kMaxCode));
    return word;
}

std::vector<std::uint8_t> sampleTable(const TavrinLUT& lut)
{
    std::vector<std::uint8_t> table(kTableBytes);
    std::uint8_t* p = table.data();
    for (int b = 0; b <= kScale; b += kStep) {
        for (int g = 0; g <= kScale; g += kStep) {
            for (int r = 0; r <= kScale; r += kStep) {
                const int in[3] = {r, g, b};
                int out[3] = {};
                lut.evaluate(in, out, kScale);
                const std::uint32_t word = packWord(out);
                for (std::size_t i = 0; i < kWordBytes; ++i)
                    *p++ = static_cast<std::uint8_t>(word >> (8 * i));
            }
        }
    }
    return table;
}

} // namespace lutgrid
