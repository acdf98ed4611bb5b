// vantorel-package-writer: writes a synthetic firmware package "data-%04x.bin".

#include "tools/package-writer/PackageWriter.h"
#include "usb/package/PackageFormat.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

using TWG::Tools::PackageEntryRecord;
using TWG::Tools::PackageSection;
using TWG::Tools::PackageWriter;

namespace {

constexpr const char* kUsage =
    "usage: vantorel-package-writer -o FILE [OPTIONS] --entry TYPE:VID:PID:IMAGE ...\n"
    "\n"
    "Each --entry adds one section holding the bytes of IMAGE and one entry record\n"
    "(TYPE 0..2, VID and PID in hex). The options before an --entry apply to it:\n"
    "  --id N          section id (the low byte is a firmware image's version)\n"
    "  --attributes N  section attribute word\n"
    "  --method N      compression method 1..4 written as method flags (default 0)\n"
    "  --compress      deflate the data (kept as it is when that does not shrink it)\n"
    "  --byte-a N      entry byte A\n"
    "  --byte-b N      entry byte B\n"
    "  --word N        entry word\n"
    "  --value N       entry value\n"
    "  --extra N       extra field\n"
    "Numbers are decimal or 0x-prefixed hex.\n";

int usageError(const std::string& message)
{
    std::fprintf(stderr, "vantorel-package-writer: %s\n%s", message.c_str(), kUsage);
    return 2;
}

bool parseNumber(const std::string& text, unsigned long long limit, unsigned long long& out, int base = 0)
{
    if (text.empty() || text[0] == '-')
        return false;
    errno = 0;
    char* end = nullptr;
    out = std::strtoull(text.c_str(), &end, base);
    return errno == 0 && *end == '\0' && out <= limit;
}

bool readImage(const std::string& path, std::vector<std::uint8_t>& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace

int main(int argc, char** argv)
{
    std::string output;
    PackageWriter writer;
    PackageSection next;
    PackageEntryRecord record;

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--compress") {
            next.compress = true;
            continue;
        }
        if (i + 1 >= argc)
            return usageError("missing value after " + arg);
        const std::string value = argv[++i];
        unsigned long long n = 0;
        auto number = [&](unsigned long long limit) { return parseNumber(value, limit, n); };
        if (arg == "-o") {
            output = value;
        } else if (arg == "--id") {
            if (!number(0xFFFFFFFFu)) return usageError("bad --id " + value);
            next.id = std::uint32_t(n);
        } else if (arg == "--attributes") {
            if (!number(0xFFFFFFFFu)) return usageError("bad --attributes " + value);
            next.attributes = std::uint32_t(n);
        } else if (arg == "--method") {
            if (!number(4)) return usageError("bad --method " + value);
            next.methodFlags = PackageWriter::methodFlagsFor(int(n));
        } else if (arg == "--byte-a") {
            if (!number(0xFF)) return usageError("bad --byte-a " + value);
            record.byteA = std::uint8_t(n);
        } else if (arg == "--byte-b") {
            if (!number(0xFF)) return usageError("bad --byte-b " + value);
            record.byteB = std::uint8_t(n);
        } else if (arg == "--word") {
            if (!number(0xFFFFFFFFu)) return usageError("bad --word " + value);
            record.word = std::uint32_t(n);
        } else if (arg == "--value") {
            if (!number(0xFFFFFFFFu)) return usageError("bad --value " + value);
            record.value = std::uint32_t(n);
        } else if (arg == "--extra") {
            if (!number(0xFFFF)) return usageError("bad --extra " + value);
            record.extra = std::uint16_t(n);
        } else if (arg == "--entry") {
            // TYPE:VID:PID:IMAGE; the image path may itself hold colons.
            std::string fields[3];
            std::size_t from = 0;
            for (std::string& field : fields) {
                const std::size_t colon = value.find(':', from);
                if (colon == std::string::npos)
                    return usageError("bad --entry " + value);
                field = value.substr(from, colon - from);
                from = colon + 1;
            }
            const std::string image = value.substr(from);
            unsigned long long type = 0, vid = 0, pid = 0;
            if (!parseNumber(fields[0], 2, type) || !parseNumber(fields[1], 0xFFFF, vid, 16)
                || !parseNumber(fields[2], 0xFFFF, pid, 16) || image.empty())
                return usageError("bad --entry " + value);
            record.type = std::uint16_t(type);
            record.key = TWG::USB::PackageFormat::entryKey(std::uint16_t(vid), std::uint16_t(pid));
            if (!readImage(image, next.data)) {
                std::fprintf(stderr, "vantorel-package-writer: cannot read %s\n", image.c_str());
                return 1;
            }
            next.entries.push_back(record);
            writer.addSection(std::move(next));
            next = PackageSection();
            record = PackageEntryRecord();
        } else {
            return usageError("unknown option " + arg);
        }
    }
    if (output.empty())
        return usageError("no output file (-o)");
    if (writer.sections().empty())
        return usageError("no --entry");

    std::string error;
    if (!writer.writeFile(output, &error)) {
        std::fprintf(stderr, "vantorel-package-writer: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
