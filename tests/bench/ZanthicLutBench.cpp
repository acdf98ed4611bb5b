// Decodes ".cube" files onto the Zanthic converters' 33-point cube: a 33-point file as it is,
// and a 17-point file expanded, each beside ociobakelut baking the same file to a 33-point
// cube. Ours must take no longer; the exit code says whether it did.
//
//   tests-bin/bench_zanthic_lut [runs]

#include "BenchTiming.h"

#include "plugins/zanthic/device/CubeParser.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// A grade with channel cross-talk and a gamma, written as grading tools write it.
bool writeCube(const std::string& path, int size)
{
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return false;
    std::fprintf(f, "TITLE \"bench\"\nLUT_3D_SIZE %d\n", size);
    for (int b = 0; b < size; ++b)
        for (int g = 0; g < size; ++g)
            for (int r = 0; r < size; ++r) {
                const double x = r / double(size - 1), y = g / double(size - 1), z = b / double(size - 1);
                const double o[3] = {0.8 * x + 0.15 * y + 0.05 * z, 0.1 * x + 0.85 * y + 0.05 * z,
                                     0.02 * x + 0.08 * y + 0.9 * z};
                std::fprintf(f, "%.6f %.6f %.6f\n", std::pow(o[0], 0.45), std::pow(o[1], 0.45), std::pow(o[2], 0.45));
            }
    return std::fclose(f) == 0;
}

struct Row {
    const char* what;
    int size;
    double ours = -1;
    double theirs = -1;
};

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    TWG::Zanthic::setCubeLogSink([](const std::string&) {});

    char dir[] = "/tmp/twg-zanthic-lut-bench-XXXXXX";
    if (!::mkdtemp(dir)) {
        std::perror("mkdtemp");
        return 2;
    }
    Row rows[] = {{"decode 33 points for 33 (file order)", 33}, {"expand 17 points to 33", 17}};
    bool fastEnough = true;
    std::printf("build type \"%s\", median of %d alternating runs\n", TWG_BUILD_TYPE, runs);
    for (Row& row : rows) {
        const std::string source = std::string(dir) + "/grade" + std::to_string(row.size) + ".cube";
        const std::string baked = std::string(dir) + "/baked" + std::to_string(row.size) + ".cube";
        if (!writeCube(source, row.size)) {
            std::fprintf(stderr, "cannot write %s\n", source.c_str());
            return 2;
        }
        // Read as the upload reads it: the whole file, then decoded.
        auto decode = [&] {
            std::ifstream in(source, std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            TWG::Zanthic::DeviceCube cube(33);
            return TWG::Zanthic::DecodeCubeFile(text, cube) == 0;
        };
        const std::string command = "ociobakelut --lut '" + source + "' --format iridas_cube --cubesize 33 '" + baked
            + "' > /dev/null 2>&1";
        auto ociobakelut = [&] { return std::system(command.c_str()) == 0; };
        // Warm the page cache, so both sides read from memory.
        decode();
        ociobakelut();
        int failed = -1;
        const std::vector<double> medians = bench::alternatingMedians(runs, {decode, ociobakelut}, &failed);
        row.ours = medians.empty() ? -1 : medians[0];
        row.theirs = medians.empty() ? -1 : medians[1];
        std::remove(source.c_str());
        std::remove(baked.c_str());
        if (row.ours < 0 || row.theirs < 0) {
            std::fprintf(stderr, "a run failed (decode %s, ociobakelut %s)\n", failed == 0 ? "failed" : "ok",
                         failed == 1 ? "failed (is opencolorio-tools installed?)" : "ok");
            ::rmdir(dir);
            return 2;
        }
        const double ratio = row.ours / row.theirs;
        const bool ok = ratio <= 1.0;
        fastEnough = fastEnough && ok;
        std::printf("%d-point cube:\n", row.size);
        std::printf("  %-44s %8.1f ms\n", row.what, row.ours * 1e3);
        std::printf("  %-44s %8.1f ms\n", "ociobakelut to a 33-point cube (incl. start)", row.theirs * 1e3);
        std::printf("  time relative to ociobakelut: %.2f (must be <= 1.00): %s\n", ratio, ok ? "ok" : "TOO SLOW");
    }
    ::rmdir(dir);
    return fastEnough ? 0 : 1;
}
