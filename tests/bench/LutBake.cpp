// Bakes a ".cube" LUT to a 33-point ".cube" the way the plug-in loads one into a converter:
// read with TavrinLUT, sampled onto the converter's 33-point table of 10-bit codes, each code
// written back as a value of 0..1. bench_lut times it against ociobakelut doing the same.
//
//   tests-bin/bench_lut_bake IN.cube OUT.cube

#include "plugins/converters/lut/LutSampling.h"
#include "plugins/converters/lut/TavrinLUT.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_lut_bake IN.cube OUT.cube\n");
        return 2;
    }
    TavrinLUT lut;
    if (!lut.load(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "bench_lut_bake: cannot read %s: %s\n", argv[1], qPrintable(lut.message()));
        return 1;
    }
    const std::vector<std::uint8_t> table = lutgrid::sampleTable(lut);

    std::FILE* out = std::fopen(argv[2], "w");
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    std::fprintf(out, "LUT_3D_SIZE %d\n", lutgrid::kPoints);
    const std::uint32_t mask = (1u << lutgrid::kCodeBits) - 1;
    for (std::size_t i = 0; i < lutgrid::kWordCount; ++i) {
        std::uint32_t word = 0;
        for (std::size_t b = 0; b < lutgrid::kWordBytes; ++b)
            word |= std::uint32_t(table[i * lutgrid::kWordBytes + b]) << (8 * b);
        const double full = lutgrid::kMaxCode;
        std::fprintf(out, "%.6f %.6f %.6f\n", (word & mask) / full, ((word >> lutgrid::kCodeBits) & mask) / full,
                     ((word >> (2 * lutgrid::kCodeBits)) & mask) / full);
    }
    if (std::fclose(out) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
