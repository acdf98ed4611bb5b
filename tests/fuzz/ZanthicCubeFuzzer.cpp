// The Zanthic ".cube" parser, then the device cube decoded from the same text on both device
// sizes: every word keeps its top two bits clear.
#include "plugins/zanthic/device/CubeParser.h"
#include "protocol/ZanthicLut.h"

#include <string>
#include <string_view>

using namespace TWG::Zanthic;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setCubeLogSink([](const std::string&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    CubeParseResult result;
    if (CubeParser::parse(result, text, size, lut::kFileSizeLimit) == kCubeOk) {
        // Each table holds what its size says, within the limit.
        const std::uint64_t n1 = result.table1D.size, n3 = result.table3D.size;
        if (n1 > lut::kFileSizeLimit || n3 > lut::kFileSizeLimit || result.table1D.entries.size() != n1 ||
            result.table3D.entries.size() != n3 * n3 * n3)
            __builtin_trap();
    } else if (!result.title.empty() || !result.table1D.entries.empty() || !result.table3D.entries.empty()) {
        __builtin_trap(); // a failure leaves the result reset
    }
    for (int points : {lut::kSmallPoints, lut::kLargePoints}) {
        DeviceCube cube(points);
        if (DecodeCubeFile(std::string_view(text, size), cube) != kCubeOk)
            continue;
        for (std::uint32_t word : cube.words)
            if (word >> 30 != 0)
                __builtin_trap();
    }
    return 0;
}
