// The ".cube" reader, then the converter's table sampled from what it accepted.
#include "FuzzSupport.h"

#include "plugins/converters/lut/LutSampling.h"
#include "plugins/converters/lut/TavrinLUT.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::silenceQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzzsupport::writeInput(QStringLiteral("input.cube"), data, size);
    TavrinLUT lut;
    if (!lut.load(path))
        return 0;
    const std::vector<std::uint8_t> table = lutgrid::sampleTable(lut);
    if (table.size() != lutgrid::kTableBytes)
        __builtin_trap();
    // The corners and one point past the grid's step, at a scale of its own.
    for (int v : {0, 1, 511, 1023, 1024}) {
        const int in[3] = {v, 1024 - v, v / 2};
        int out[3] = {-1, -1, -1};
        lut.evaluate(in, out, lutgrid::kScale);
        for (int c : out)
            if (c < 0 || c > lutgrid::kMaxCode)
                __builtin_trap();
    }
    return 0;
}
