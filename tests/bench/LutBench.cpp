// Reads a 65-point ".cube" file and samples it onto the converter's 33-point table, beside
// ociobakelut baking the same file to a 33-point cube. Ours must take no longer; the exit code
// says whether it did.
//
//   tests-bin/bench_lut [runs]

#include "BenchTiming.h"

#include "plugins/converters/lut/LutSampling.h"
#include "plugins/converters/lut/TavrinLUT.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using bench::bestSeconds;

constexpr int kSize = 65;

// A grade with channel cross-talk and a gamma, written as grading tools write it.
bool writeCube(const std::string& path, long* lines)
{
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return false;
    std::fprintf(f, "TITLE \"bench\"\nLUT_3D_SIZE %d\n", kSize);
    *lines = 2;
    for (int b = 0; b < kSize; ++b) {
        for (int g = 0; g < kSize; ++g) {
            for (int r = 0; r < kSize; ++r) {
                const double x = r / double(kSize - 1), y = g / double(kSize - 1), z = b / double(kSize - 1);
                const double o[3] = {0.8 * x + 0.15 * y + 0.05 * z, 0.1 * x + 0.85 * y + 0.05 * z,
                                     0.02 * x + 0.08 * y + 0.9 * z};
                std::fprintf(f, "%.6f %.6f %.6f\n", std::pow(o[0], 0.45), std::pow(o[1], 0.45), std::pow(o[2], 0.45));
                ++*lines;
            }
        }
    }
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    char dir[] = "/tmp/twg-lut-bench-XXXXXX";
    if (!::mkdtemp(dir)) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string source = std::string(dir) + "/grade65.cube";
    const std::string baked = std::string(dir) + "/grade33.cube";
    long lines = 0;
    if (!writeCube(source, &lines)) {
        std::fprintf(stderr, "cannot write %s\n", source.c_str());
        return 2;
    }

    std::size_t tableBytes = 0;
    auto readAndSample = [&] {
        TavrinLUT lut;
        if (!lut.load(QString::fromStdString(source)))
            return false;
        tableBytes = lutgrid::sampleTable(lut).size();
        return tableBytes == lutgrid::kTableBytes;
    };
    const std::string command = "ociobakelut --lut '" + source + "' --format iridas_cube --cubesize 33 '" + baked
        + "' > /dev/null 2>&1";
    auto ociobakelut = [&] { return std::system(command.c_str()) == 0; };

    // Warm the page cache, so both sides read from memory.
    readAndSample();
    ociobakelut();

    const double ours = bestSeconds(runs, readAndSample);
    const double theirs = bestSeconds(runs, ociobakelut);
    std::remove(source.c_str());
    std::remove(baked.c_str());
    ::rmdir(dir);
    if (ours < 0 || theirs < 0) {
        std::fprintf(stderr, "a run failed (read and sample %s, ociobakelut %s)\n", ours < 0 ? "failed" : "ok",
                     theirs < 0 ? "failed (is opencolorio-tools installed?)" : "ok");
        return 2;
    }

    std::printf("%d-point cube: %ld lines, %ld of them rows; build type \"%s\", best of %d runs\n", kSize, lines,
                long(kSize) * kSize * kSize, TWG_BUILD_TYPE, runs);
    std::printf("  %-44s %8.1f ms\n", "read and sample to 33 points (TavrinLUT)", ours * 1e3);
    std::printf("  %-44s %8.1f ms\n", "ociobakelut to a 33-point cube (incl. start)", theirs * 1e3);
    const double ratio = ours / theirs;
    const bool fastEnough = ratio <= 1.0;
    std::printf("  time relative to ociobakelut: %.2f (must be <= 1.00): %s\n", ratio, fastEnough ? "ok" : "TOO SLOW");
    return fastEnough ? 0 : 1;
}
