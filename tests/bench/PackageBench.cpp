// The firmware package reader on a 16 MiB package of stored and compressed entries, beside
// sha256sum on the same file: whole process against whole process (vantorel-package-inspect,
// which reads, checks the digest and copies every entry, against sha256sum), and in memory the
// reader's readEntries against the digest of 16 MiB alone. Medians of alternating runs; peak
// resident memory of both processes. On a CPU with the SHA extensions the inspection must run
// at least twice as fast as sha256sum; the exit code says whether it did. Run with
//
//   cmake --build build --target bench        (both benchmarks)
//   build/tests-bin/bench_package [rounds]    (this one, once built; rounds >= 7, default 9)

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

namespace F = TWG::USB::PackageFormat;
using TWG::USB::Sha256;

constexpr std::size_t kFileSize = 16u << 20;
constexpr std::size_t kCompressedSections = 2;
constexpr std::size_t kCompressedImageSize = 4u << 20;
constexpr std::size_t kStoredSections = 2;
constexpr std::uint16_t kProduct = 0xBD54;
constexpr int kMinimumRounds = 7;
constexpr double kGoal = 2.0;

std::uint64_t next(std::uint64_t& seed)
{
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    return seed;
}

// Incompressible bytes, as a packed image is close to.
std::vector<std::uint8_t> noise(std::size_t n, std::uint64_t seed)
{
    std::vector<std::uint8_t> out(n);
    for (auto& b : out)
        b = std::uint8_t(next(seed));
    return out;
}

// Code-like bytes: a small vocabulary of short runs, which deflates to about a third.
std::vector<std::uint8_t> codeLike(std::size_t n, std::uint64_t seed)
{
    std::vector<std::vector<std::uint8_t>> words(512);
    for (auto& w : words)
        w = noise(2 + next(seed) % 10, next(seed));
    std::vector<std::uint8_t> out;
    out.reserve(n + 16);
    while (out.size() < n) {
        const auto& w = words[next(seed) % words.size()];
        out.insert(out.end(), w.begin(), w.end());
    }
    out.resize(n);
    return out;
}

TWG::Tools::PackageSection section(std::uint32_t id, std::vector<std::uint8_t> data, bool compress)
{
    TWG::Tools::PackageSection s;
    s.id = id;
    s.compress = compress;
    s.data = std::move(data);
    TWG::Tools::PackageEntryRecord r;
    r.key = F::productKey(kProduct);
    s.entries.push_back(r);
    return s;
}

// Compressed sections first, then stored ones that fill the file to exactly kFileSize.
bool writePackage(const std::string& path, std::string* error)
{
    TWG::Tools::PackageWriter writer;
    for (std::size_t i = 0; i < kCompressedSections; ++i)
        writer.addSection(section(0x0200u + unsigned(i), codeLike(kCompressedImageSize, 77 + i), true));
    std::vector<std::uint8_t> file;
    if (!writer.build(file, error))
        return false;
    const std::size_t perSection = F::kMinimumHeaderAreaLength;
    std::size_t left = kFileSize - file.size() - kStoredSections * perSection;
    for (std::size_t i = 0; i < kStoredSections; ++i) {
        const std::size_t n = i + 1 < kStoredSections ? left / (kStoredSections - i) : left;
        writer.addSection(section(0x0100u + unsigned(i), noise(n, 0x9E3779B97F4A7C15ull + i), false));
        left -= n;
    }
    return writer.writeFile(path, error);
}

double mibPerSecond(double seconds) { return double(kFileSize) / seconds / (1u << 20); }

void row(const char* what, double seconds, long peakKiB = -1)
{
    std::printf("  %-44s %8.2f ms %8.0f MiB/s", what, seconds * 1e3, mibPerSecond(seconds));
    if (peakKiB >= 0)
        std::printf("   peak %6.1f MiB", peakKiB / 1024.0);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(kMinimumRounds, std::atoi(argv[1])) : 9;

    char dir[] = "/tmp/twg-package-bench-XXXXXX";
    if (!::mkdtemp(dir)) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string path = std::string(dir) + "/data-bd54.bin";
    std::string error;
    const bool written = writePackage(path, &error);
    auto cleanUp = [&] {
        std::remove(path.c_str());
        ::rmdir(dir);
    };
    if (!written) {
        std::fprintf(stderr, "cannot write the package: %s\n", error.c_str());
        cleanUp();
        return 2;
    }

    bench::Process inspect{{TWG_PACKAGE_INSPECT_TOOL, path}};
    bench::Process inspectDigest{{TWG_PACKAGE_INSPECT_TOOL, path, "--digest"}};
    bench::Process sha256sum{{"sha256sum", path}};
    int entries = 0;
    auto readEntries = [&] {
        TWG::USB::FirmwarePackage package;
        package.setPath(path);
        TWG::USB::FirmwarePackageEntryList list;
        if (package.readEntries(F::kEntryTypeFirmware, F::productKey(kProduct), list) != 0)
            return false;
        entries = list.count();
        return entries == int(kCompressedSections + kStoredSections);
    };
    const std::vector<std::uint8_t> image = noise(kFileSize, 1);
    auto digestOnly = [&] {
        volatile std::uint8_t sink = Sha256::hash(image.data(), image.size())[0];
        (void)sink;
        return true;
    };

    // Warm the page cache and the tools' own files, so every side reads from memory.
    const bool warm = inspect.run() && sha256sum.run() && readEntries();
    int failed = -1;
    const std::vector<double> processes = warm
        ? bench::alternatingMedians(rounds, {[&] { return inspect.run(); }, [&] { return sha256sum.run(); },
                                             [&] { return inspectDigest.run(); }},
                                    &failed)
        : std::vector<double>{};
    const std::vector<double> inMemory =
        processes.empty() ? std::vector<double>{} : bench::alternatingMedians(rounds, {readEntries, digestOnly}, &failed);
    const long inspectPeak = inMemory.empty() ? -1 : inspect.peakResidentKiB();
    const long inspectDigestPeak = inMemory.empty() ? -1 : inspectDigest.peakResidentKiB();
    const long sha256sumPeak = inMemory.empty() ? -1 : sha256sum.peakResidentKiB();
    cleanUp();
    if (inMemory.empty()) {
        std::fprintf(stderr, "a run failed: inspection exit %d, sha256sum exit %d, with --digest exit %d, "
                             "readEntries %s\n",
                     inspect.exitCode, sha256sum.exitCode, inspectDigest.exitCode, entries ? "ok" : "failed");
        return 2;
    }
    if (inspectPeak < 0 || inspectDigestPeak < 0 || sha256sumPeak < 0) {
        std::fprintf(stderr, "cannot measure peak memory with /usr/bin/time (Debian package \"time\")\n");
        return 2;
    }

    const char* why = nullptr;
    const bool extensions = Sha256::hasCpuExtensions(&why);
    std::printf("package of %zu bytes (%zu stored and %zu compressed entries), build type \"%s\",\n"
                "SHA-256 on %s; median of %d alternating runs\n",
                kFileSize, kStoredSections, kCompressedSections, TWG_BUILD_TYPE,
                extensions ? "the CPU's SHA extensions" : "the portable code", rounds);
    std::printf(" whole process:\n");
    row("vantorel-package-inspect FILE", processes[0], inspectPeak);
    row("sha256sum FILE", processes[1], sha256sumPeak);
    row("vantorel-package-inspect FILE --digest", processes[2], inspectDigestPeak);
    std::printf(" in memory:\n");
    row("readEntries (read, check, copy)", inMemory[0]);
    row("Sha256::hash of 16 MiB in memory", inMemory[1]);

    const double ratio = processes[1] / processes[0];
    std::printf("  inspection speed relative to sha256sum: %.2f", ratio);
    if (!extensions) {
        std::printf(" (the goal of %.1f applies with the SHA extensions only: %s)\n", kGoal, why);
        return 0;
    }
    const bool met = ratio >= kGoal;
    std::printf(" (goal >= %.1f): %s\n", kGoal, met ? "met" : "MISSED");
    return met ? 0 : 1;
}
