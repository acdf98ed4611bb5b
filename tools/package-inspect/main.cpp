// vantorel-package-inspect: reads a firmware package with the program's own reader and prints
// the result code and the entries it yields.

#include "usb/package/FirmwarePackage.h"
#include "usb/package/Sha256.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

using TWG::USB::FirmwarePackage;
using TWG::USB::FirmwarePackageEntry;
using TWG::USB::FirmwarePackageEntryList;
using TWG::USB::FirmwarePackageFilter;
using TWG::USB::Sha256;

namespace {

constexpr const char* kUsage =
    "usage: vantorel-package-inspect FILE [--type T] [--key K] [--digest]\n"
    "\n"
    "Reads FILE as the program does (digest checked, data copied) and prints\n"
    "  result R\n"
    "then one line per entry of type T and key K (every entry when not given):\n"
    "  section ID method M type T key K byte-a A byte-b B word W value V extra X stored S inflated U\n"
    "(value 0xffffffff and extra 0xffff where the record does not hold them)\n"
    "--digest adds \"sha256 HEX\" of the entry's inflated data.\n"
    "The exit code is 0 only for result 0 (and, with --digest, data that inflates);\n"
    "1 otherwise, 2 for bad arguments. Numbers are decimal or 0x-prefixed hex.\n";

int usageError(const std::string& message)
{
    std::fprintf(stderr, "vantorel-package-inspect: %s\n%s", message.c_str(), kUsage);
    return 2;
}

bool parseNumber(const std::string& text, unsigned long long limit, unsigned long long& out)
{
    if (text.empty() || text[0] == '-')
        return false;
    errno = 0;
    char* end = nullptr;
    out = std::strtoull(text.c_str(), &end, 0);
    return errno == 0 && *end == '\0' && out <= limit;
}

const char* meaning(int result)
{
    switch (result) {
    case TWG::USB::PackageResult::Success: return "success";
    case TWG::USB::PackageResult::NoPath: return "no path";
    case TWG::USB::PackageResult::CannotRead: return "cannot open, examine or read the file";
    case TWG::USB::PackageResult::TooShort: return "file of 72 bytes or less";
    case TWG::USB::PackageResult::DigestMismatch: return "digest mismatch";
    case TWG::USB::PackageResult::BadEntry: return "bad entry record";
    case TWG::USB::PackageResult::BadSection: return "bad section header";
    }
    return "unknown";
}

// False when the data does not inflate.
bool printEntry(FirmwarePackageEntry& e, bool digest)
{
    std::printf("section 0x%08x method %d type %u key 0x%08x byte-a %u byte-b %u word 0x%08x value 0x%08x extra 0x%04x"
                " stored %u inflated %u",
                unsigned(e.sectionId()), e.compressionMethod(), unsigned(e.entryType()), unsigned(e.key()),
                unsigned(e.entryByteA()), unsigned(e.entryByteB()), unsigned(e.entryWord()), unsigned(e.entryValue()),
                unsigned(e.extra()), unsigned(e.storedSize()),
                unsigned(e.isCompressed() ? e.uncompressedSize() : e.storedSize()));
    bool ok = true;
    if (digest) {
        const std::uint8_t* data = e.data();
        if (data) {
            const Sha256::Digest d = Sha256::hash(data, e.size());
            std::printf(" sha256 ");
            for (std::uint8_t b : d)
                std::printf("%02x", b);
        } else {
            std::printf(" sha256 - (the data does not inflate)");
            ok = false;
        }
    }
    std::printf("\n");
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    std::string path;
    FirmwarePackageFilter filter;
    bool digest = false;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--digest") {
            digest = true;
            continue;
        }
        if (arg == "--type" || arg == "--key") {
            if (i + 1 >= argc)
                return usageError("missing value after " + arg);
            const std::string value = argv[++i];
            unsigned long long n = 0;
            if (arg == "--type") {
                if (!parseNumber(value, 0xFFFF, n))
                    return usageError("bad --type " + value);
                filter.type = std::uint16_t(n);
            } else {
                if (!parseNumber(value, 0xFFFFFFFFu, n))
                    return usageError("bad --key " + value);
                filter.key = std::uint32_t(n);
            }
            continue;
        }
        if (!arg.empty() && arg[0] == '-')
            return usageError("unknown option " + arg);
        if (!path.empty())
            return usageError("more than one file");
        path = arg;
    }
    if (path.empty())
        return usageError("no file");

    FirmwarePackage package;
    package.setPath(path);
    FirmwarePackageEntryList list;
    const int result = package.readEntries(filter, list);
    std::printf("result %d (%s)\n", result, meaning(result));
    bool ok = result == TWG::USB::PackageResult::Success;
    for (int i = 0; i < list.count(); ++i)
        ok = printEntry(*list.at(i), digest) && ok;
    return ok ? 0 : 1;
}
