// A 65-point ".cube" LUT baked to a 33-point ".cube": bench_lut_bake (the plug-in's reader and
// its sampling onto the converter's 33-point table) against ociobakelut, whole process against
// whole process, medians of alternating runs, with both peak resident memories. The two results
// must agree to the converter's 10-bit precision, so both did the same job; ours must take no
// longer. The exit code says whether it did. Run with
//
//   cmake --build build --target bench        (both benchmarks)
//   build/tests-bin/bench_lut [rounds]        (this one, once built; rounds >= 7, default 9)

#include "BenchTiming.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 65;
constexpr int kBakedSize = 33;
constexpr int kMinimumRounds = 7;
// Ours holds 10-bit codes: a value may sit up to about two codes from the exact one.
constexpr double kTolerance = 2.0 / 1023;

// A grade with channel cross-talk and a gamma, written as grading tools write it.
bool writeCube(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return false;
    std::fprintf(f, "TITLE \"bench\"\nLUT_3D_SIZE %d\n", kSize);
    for (int b = 0; b < kSize; ++b) {
        for (int g = 0; g < kSize; ++g) {
            for (int r = 0; r < kSize; ++r) {
                const double x = r / double(kSize - 1), y = g / double(kSize - 1), z = b / double(kSize - 1);
                const double o[3] = {0.8 * x + 0.15 * y + 0.05 * z, 0.1 * x + 0.85 * y + 0.05 * z,
                                     0.02 * x + 0.08 * y + 0.9 * z};
                std::fprintf(f, "%.6f %.6f %.6f\n", std::pow(o[0], 0.45), std::pow(o[1], 0.45), std::pow(o[2], 0.45));
            }
        }
    }
    return std::fclose(f) == 0;
}

// The rows of a 3D ".cube" of the given size; empty when it is not one.
std::vector<double> readCubeRows(const std::string& path, int size)
{
    std::ifstream in(path);
    std::vector<double> values;
    int declared = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("LUT_3D_SIZE", 0) == 0) {
            declared = std::atoi(line.c_str() + 11);
            continue;
        }
        std::istringstream row(line);
        double v[3];
        if (row >> v[0] >> v[1] >> v[2])
            values.insert(values.end(), v, v + 3);
    }
    if (declared != size || values.size() != std::size_t(3) * size * size * size)
        return {};
    return values;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(kMinimumRounds, std::atoi(argv[1])) : 9;

    char dir[] = "/tmp/twg-lut-bench-XXXXXX";
    if (!::mkdtemp(dir)) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string source = std::string(dir) + "/grade65.cube";
    const std::string ours = std::string(dir) + "/ours33.cube";
    const std::string theirs = std::string(dir) + "/ocio33.cube";
    auto cleanUp = [&] {
        for (const std::string& f : {source, ours, theirs})
            std::remove(f.c_str());
        ::rmdir(dir);
    };
    if (!writeCube(source)) {
        std::fprintf(stderr, "cannot write %s\n", source.c_str());
        cleanUp();
        return 2;
    }

    bench::Process bake{{TWG_LUT_BAKE_TOOL, source, ours}};
    bench::Process ociobakelut{{"ociobakelut", "--lut", source, "--format", "iridas_cube", "--cubesize",
                                std::to_string(kBakedSize), theirs}};
    // The first runs warm the page cache and leave the two results to compare.
    int failed = -1;
    const bool warm = bake.run() && ociobakelut.run();
    const std::vector<double> medians = warm
        ? bench::alternatingMedians(rounds, {[&] { return bake.run(); }, [&] { return ociobakelut.run(); }}, &failed)
        : std::vector<double>{};
    const long bakePeak = medians.empty() ? -1 : bake.peakResidentKiB();
    const long ocioPeak = medians.empty() ? -1 : ociobakelut.peakResidentKiB();
    const std::vector<double> a = readCubeRows(ours, kBakedSize);
    const std::vector<double> b = readCubeRows(theirs, kBakedSize);
    cleanUp();
    if (medians.empty()) {
        std::fprintf(stderr, "a run failed: bench_lut_bake exit %d, ociobakelut exit %d%s\n", bake.exitCode,
                     ociobakelut.exitCode, ociobakelut.exitCode < 0 ? " (is opencolorio-tools installed?)" : "");
        return 2;
    }
    if (bakePeak < 0 || ocioPeak < 0) {
        std::fprintf(stderr, "cannot measure peak memory with /usr/bin/time (Debian package \"time\")\n");
        return 2;
    }
    if (a.empty() || b.empty()) {
        std::fprintf(stderr, "a result is not a %d-point cube (ours %s, ociobakelut's %s)\n", kBakedSize,
                     a.empty() ? "not" : "ok", b.empty() ? "not" : "ok");
        return 2;
    }
    double worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        worst = std::max(worst, std::fabs(a[i] - b[i]));

    std::printf("%d-point cube baked to a %d-point cube; build type \"%s\", median of %d alternating runs\n", kSize,
                kBakedSize, TWG_BUILD_TYPE, rounds);
    std::printf("  %-36s %8.1f ms   peak %6.1f MiB\n", "bench_lut_bake (TavrinLUT)", medians[0] * 1e3,
                bakePeak / 1024.0);
    std::printf("  %-36s %8.1f ms   peak %6.1f MiB\n", "ociobakelut", medians[1] * 1e3, ocioPeak / 1024.0);
    std::printf("  largest difference of the two cubes: %.6f (at most %.6f)\n", worst, kTolerance);
    if (worst > kTolerance) {
        std::fprintf(stderr, "the two cubes differ: they did not do the same job\n");
        return 2;
    }
    const double ratio = medians[0] / medians[1];
    const bool met = ratio <= 1.0;
    std::printf("  time relative to ociobakelut: %.2f (goal <= 1.00): %s\n", ratio, met ? "met" : "MISSED");
    return met ? 0 : 1;
}
