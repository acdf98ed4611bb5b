// Reads and checks a 16 MiB firmware package and times it beside sha256sum on the same file.
// Reading must run at no less than half sha256sum's speed; the exit code says whether it did.
//
//   tests-bin/bench_package [runs]

#include "BenchTiming.h"

#include "tools/package-writer/PackageWriter.h"
#include "usb/package/FirmwarePackage.h"
#include "usb/package/PackageFormat.h"
#include "usb/package/Sha256.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using bench::bestSeconds;
namespace F = TWG::USB::PackageFormat;

constexpr std::size_t kFileSize = 16u << 20;
constexpr int kSections = 4;
constexpr std::uint16_t kProduct = 0xBD54;

// Incompressible bytes, as a firmware image is close to.
std::vector<std::uint8_t> noise(std::size_t n, std::uint64_t seed)
{
    std::vector<std::uint8_t> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        out[i] = std::uint8_t(seed);
    }
    return out;
}

void report(const char* what, double seconds)
{
    std::printf("  %-34s %8.2f ms  %8.1f MB/s\n", what, seconds * 1e3, double(kFileSize) / seconds / 1e6);
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;

    char dir[] = "/tmp/twg-package-bench-XXXXXX";
    if (!::mkdtemp(dir)) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string path = std::string(dir) + "/data-bd54.bin";

    TWG::Tools::PackageWriter writer;
    const std::size_t dataPerSection =
        (kFileSize - F::kBodyOffset) / kSections - F::kMinimumHeaderAreaLength;
    for (int i = 0; i < kSections; ++i) {
        TWG::Tools::PackageSection s;
        s.id = 0x0100u + unsigned(i);
        s.data = noise(i + 1 < kSections ? dataPerSection
                                         : kFileSize - F::kBodyOffset - (kSections - 1) * (dataPerSection + 48) - 48,
                       0x9E3779B97F4A7C15ull + unsigned(i));
        TWG::Tools::PackageEntryRecord r;
        r.key = F::productKey(kProduct);
        s.entries.push_back(r);
        writer.addSection(std::move(s));
    }
    std::string error;
    if (!writer.writeFile(path, &error)) {
        std::fprintf(stderr, "cannot write the package: %s\n", error.c_str());
        return 2;
    }

    std::vector<std::uint8_t> buffer;
    std::size_t entries = 0;
    auto readAndCheck = [&] {
        TWG::USB::FirmwarePackage package;
        package.setPath(path);
        TWG::USB::FirmwarePackageEntryList list;
        if (package.readEntries(F::kEntryTypeFirmware, F::productKey(kProduct), list) != 0)
            return false;
        entries = std::size_t(list.count());
        return entries == kSections;
    };
    const std::string command = "sha256sum '" + path + "' > /dev/null";
    auto sha256sum = [&] { return std::system(command.c_str()) == 0; };
    const std::vector<std::uint8_t> image = noise(kFileSize, 1);
    auto hashOnly = [&] {
        volatile std::uint8_t sink = TWG::USB::Sha256::hash(image.data(), image.size())[0];
        (void)sink;
        return true;
    };

    // Warm the page cache, so both sides read from memory.
    readAndCheck();
    sha256sum();

    const double ours = bestSeconds(runs, readAndCheck);
    const double theirs = bestSeconds(runs, sha256sum);
    const double hash = bestSeconds(runs, hashOnly);
    std::remove(path.c_str());
    ::rmdir(dir);
    if (ours < 0 || theirs < 0) {
        std::fprintf(stderr, "a run failed (read and check %s, sha256sum %s)\n", ours < 0 ? "failed" : "ok",
                     theirs < 0 ? "failed" : "ok");
        return 2;
    }

    std::printf("package of %zu bytes, %zu entries, build type \"%s\", best of %d runs\n", kFileSize, entries,
                TWG_BUILD_TYPE, runs);
    report("read, check and copy (readEntries)", ours);
    report("sha256sum (incl. process start)", theirs);
    report("Sha256 alone, in memory", hash);
    const double ratio = theirs / ours;
    const bool fastEnough = ratio >= 0.5;
    std::printf("  speed relative to sha256sum: %.2f (must be >= 0.50): %s\n", ratio, fastEnough ? "ok" : "TOO SLOW");
    return fastEnough ? 0 : 1;
}
