#include "plugins/zanthic/device/CubeParser.h"

#include "protocol/ZanthicLut.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <mutex>
#include <system_error>

namespace TWG {
namespace Zanthic {

namespace {

std::mutex& sinkMutex()
{
    static std::mutex m;
    return m;
}

CubeLogSink& sinkSlot()
{
    static CubeLogSink sink;
    return sink;
}

__attribute__((format(printf, 1, 2))) void logLine(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string line(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
    std::vsnprintf(line.data(), line.size(), format, again);
    va_end(again);
    line.pop_back();
    std::lock_guard<std::mutex> lock(sinkMutex());
    if (sinkSlot())
        sinkSlot()(line);
    else
        std::fputs(line.c_str(), stdout);
}

// A number the file does not hold, or cannot hold: the whole parse fails with 33.
struct ConversionError {};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Reads floats token by token from a line, as the C locale writes them. A token is what lies
// between blanks; all of it must be one finite number.
class TokenReader {
public:
    explicit TokenReader(std::string_view rest) : p_(rest.data()), end_(rest.data() + rest.size()) {}

    float next()
    {
        while (p_ != end_ && isBlank(*p_))
            ++p_;
        const char* begin = p_;
        while (p_ != end_ && !isBlank(*p_))
            ++p_;
        const char* from = begin;
        // from_chars takes no plus sign; a second sign after it is no number.
        if (from != p_ && *from == '+' && from + 1 != p_ && from[1] != '-' && from[1] != '+')
            ++from;
        float value = 0;
        const std::from_chars_result r = std::from_chars(from, p_, value);
        if (from == p_ || r.ec != std::errc() || r.ptr != p_ || !std::isfinite(value))
            throw ConversionError{};
        return value;
    }

private:
    const char* p_;
    const char* end_;
};

bool startsWith(std::string_view line, std::string_view keyword) { return line.substr(0, keyword.size()) == keyword; }

// size^dimension, saturating: only a limit far above any device's could come near.
std::uint64_t entriesFor(std::uint64_t size, int dimension)
{
    std::uint64_t n = 1;
    for (int i = 0; i < dimension; ++i) {
        if (size != 0 && n > std::numeric_limits<std::uint64_t>::max() / size)
            return std::numeric_limits<std::uint64_t>::max();
        n *= size;
    }
    return n;
}

class LineParser {
public:
    LineParser(CubeParseResult& result, std::uint64_t sizeLimit) : r_(result), sizeLimit_(sizeLimit) {}

    int line(std::string_view line)
    {
        if (startsWith(line, "TITLE") && r_.title.empty())
            return title(line);
        if (startsWith(line, "TWG_TITLE"))
            return title(line);
        if (startsWith(line, "LUT_1D_SIZE"))
            return size(line, r_.table1D);
        if (startsWith(line, "LUT_3D_SIZE"))
            return size(line, r_.table3D);
        if (startsWith(line, "LUT_1D_INPUT_RANGE"))
            return inputRange(line.substr(18), r_.table1D);
        if (startsWith(line, "LUT_3D_INPUT_RANGE"))
            return inputRange(line.substr(18), r_.table3D);
        if (startsWith(line, "DOMAIN_MIN"))
            return domain(line.substr(10), &CubeTable::minimum);
        if (startsWith(line, "DOMAIN_MAX"))
            return domain(line.substr(10), &CubeTable::maximum);
        const char c = line.front();
        if (c == '+' || c == '-' || (c >= '0' && c <= '9'))
            return row(line);
        return kCubeOk;
    }

private:
    int title(std::string_view line)
    {
        const std::size_t first = line.find('"');
        const std::size_t last = line.rfind('"');
        if (first == std::string_view::npos || first == last)
            return kCubeMissingValue;
        r_.title = std::string(line.substr(first + 1, last - first - 1));
        return kCubeOk;
    }

    int size(std::string_view line, CubeTable& table)
    {
        const std::size_t separator = line.find_first_of(" \t");
        if (separator == std::string_view::npos)
            return kCubeMissingValue;
        const char* p = line.data() + separator;
        const char* end = line.data() + line.size();
        while (p != end && isBlank(*p))
            ++p;
        // A decimal integer may carry a plus sign, which from_chars does not take.
        if (p != end && *p == '+' && p + 1 != end && p[1] >= '0' && p[1] <= '9')
            ++p;
        std::uint64_t value = 0;
        const std::from_chars_result r = std::from_chars(p, end, value);
        if (r.ec != std::errc())
            throw ConversionError{};
        if (value > sizeLimit_)
            return kCubeSizeTooLarge;
        table.size = value;
        return kCubeOk;
    }

    int inputRange(std::string_view rest, CubeTable& table)
    {
        TokenReader numbers(rest);
        const float low = numbers.next();
        const float high = numbers.next();
        table.minimum.fill(low);
        table.maximum.fill(high);
        return kCubeOk;
    }

    int domain(std::string_view rest, std::array<float, 3> CubeTable::*bound)
    {
        TokenReader numbers(rest);
        std::array<float, 3> v{};
        for (float& x : v)
            x = numbers.next();
        r_.table1D.*bound = v;
        r_.table3D.*bound = v;
        return kCubeOk;
    }

    int row(std::string_view line)
    {
        TokenReader numbers(line);
        std::array<float, 3> v{};
        for (float& x : v)
            x = numbers.next();
        CubeTable* table = &r_.table1D;
        if (r_.table1D.entries.size() >= entriesFor(r_.table1D.size, 1)) {
            if (r_.table3D.entries.size() >= entriesFor(r_.table3D.size, 3))
                return kCubeInvalidTable;
            table = &r_.table3D;
        }
        table->entries.push_back(v);
        return kCubeOk;
    }

    CubeParseResult& r_;
    std::uint64_t sizeLimit_;
};

// A table that holds its entries, over an input range that is not empty.
int validate(const CubeTable& table, int dimension)
{
    const std::uint64_t expected = entriesFor(table.size, dimension);
    // One point per axis has no interval to interpolate over.
    if (table.entries.size() != expected || table.size == 1) {
        logLine("CubeParser: Failed to validate %dD LUT, %llu/%llu entries found\n", dimension,
                static_cast<unsigned long long>(table.entries.size()), static_cast<unsigned long long>(expected));
        return kCubeInvalidTable;
    }
    static const char kChannels[] = "RGB";
    for (int c = 0; c < 3; ++c) {
        const float low = table.minimum[c], high = table.maximum[c];
        if (!(low < high) || high == 0) {
            logLine("CubeParser: %c min/max values invalid for %dD LUT, [%f %f]\n", kChannels[c], dimension,
                    static_cast<double>(low), static_cast<double>(high));
            return kCubeInvalidTable;
        }
    }
    return kCubeOk;
}

int parseLines(CubeParseResult& result, std::string_view text, std::uint64_t sizeLimit)
{
    LineParser parser(result, sizeLimit);
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (line.empty() || line.front() == '#')
            continue;
        const int code = parser.line(line);
        if (code != kCubeOk) {
            logLine("CubeParser: Failed to parse line: %.*s\n", static_cast<int>(line.size()), line.data());
            return code;
        }
    }
    if (const int code = validate(result.table1D, 1)) {
        logLine("CubeParser: Failed to normalise 1D LUT\n");
        return code;
    }
    if (const int code = validate(result.table3D, 3)) {
        logLine("CubeParser: Failed to normalise 3D LUT\n");
        return code;
    }
    return kCubeOk;
}

// Where v falls between the points of an axis of n points that spans 0..1.
struct AxisPosition {
    std::size_t index;
    double fraction;
};

AxisPosition axisPosition(double v, std::uint64_t n)
{
    const double x = double(n - 1) * v;
    if (!(x >= 0)) // NaN too
        return {0, 0};
    if (x >= double(n - 1))
        return {static_cast<std::size_t>(n - 2), 1};
    const double index = std::floor(x);
    return {static_cast<std::size_t>(index), x - index};
}

// The range belongs to the table's inputs: an input at its minimum looks up the first entry,
// one at its maximum the last. The entries stay what the file says they are.
double inRange(const CubeTable& t, int c, double v)
{
    return (v - double(t.minimum[c])) / (double(t.maximum[c]) - double(t.minimum[c]));
}

bool spansUnitRange(const CubeTable& t)
{
    for (int c = 0; c < 3; ++c)
        if (t.minimum[c] != 0 || t.maximum[c] != 1)
            return false;
    return true;
}

std::array<double, 3> lookUp1D(const CubeTable& t, const std::array<double, 3>& in)
{
    std::array<double, 3> out{};
    for (int c = 0; c < 3; ++c) {
        const AxisPosition p = axisPosition(inRange(t, c, in[c]), t.size);
        const double a = t.entries[p.index][c], b = t.entries[p.index + 1][c];
        out[c] = a + (b - a) * p.fraction;
    }
    return out;
}

std::array<double, 3> lookUp3D(const CubeTable& t, const std::array<double, 3>& in)
{
    const std::size_t n = static_cast<std::size_t>(t.size);
    const AxisPosition r = axisPosition(inRange(t, 0, in[0]), n), g = axisPosition(inRange(t, 1, in[1]), n),
                       b = axisPosition(inRange(t, 2, in[2]), n);
    auto at = [&](std::size_t ir, std::size_t ig, std::size_t ib, int c) {
        return double(t.entries[(ib * n + ig) * n + ir][c]);
    };
    auto lerp = [](double a, double z, double f) { return a + (z - a) * f; };
    std::array<double, 3> out{};
    for (int c = 0; c < 3; ++c) {
        double plane[2];
        for (std::size_t db = 0; db < 2; ++db) {
            const double row0 = lerp(at(r.index, g.index, b.index + db, c), at(r.index + 1, g.index, b.index + db, c), r.fraction);
            const double row1 =
                lerp(at(r.index, g.index + 1, b.index + db, c), at(r.index + 1, g.index + 1, b.index + db, c), r.fraction);
            plane[db] = lerp(row0, row1, g.fraction);
        }
        out[c] = lerp(plane[0], plane[1], b.fraction);
    }
    return out;
}

std::uint32_t packChannel(double v)
{
    // Clamped before the conversion: an out-of-range float has no integer to become.
    if (!(v > 0)) // NaN too
        return 0;
    return static_cast<std::uint32_t>(std::min(v * double(lut::kChannelMax), double(lut::kChannelMax)));
}

std::uint32_t pack(const std::array<double, 3>& v)
{
    return packChannel(v[0]) << lut::kRedShift | packChannel(v[1]) << lut::kGreenShift |
           packChannel(v[2]) << lut::kBlueShift;
}

} // namespace

void setCubeLogSink(CubeLogSink sink)
{
    std::lock_guard<std::mutex> lock(sinkMutex());
    sinkSlot() = std::move(sink);
}

int CubeParser::parse(CubeParseResult& result, const char* text, std::size_t length, std::uint64_t sizeLimit)
{
    result.reset();
    if (!text || length == 0 || sizeLimit == 0)
        return kCubeMissingArgument;
    int code = kCubeOk;
    try {
        code = parseLines(result, std::string_view(text, length), sizeLimit);
    } catch (const ConversionError&) {
        code = kCubeMalformedNumber;
    }
    if (code != kCubeOk) {
        result.reset();
        logLine("CubeParser: Parse failed, malformed file\n");
        return code;
    }
    logLine("CubeParser: Parse complete, title \"%s\", %llu sized 1D LUT, %llu sized 3D LUT\n", result.title.c_str(),
            static_cast<unsigned long long>(result.table1D.size), static_cast<unsigned long long>(result.table3D.size));
    return kCubeOk;
}

DeviceCube::DeviceCube(int points_)
    : points(points_), words(static_cast<std::size_t>(points_) * points_ * points_, 0)
{
}

std::vector<std::uint8_t> DeviceCube::bytes() const
{
    std::vector<std::uint8_t> out;
    out.reserve(words.size() * lut::kWordBytes);
    for (std::uint32_t w : words)
        for (int i = 0; i < lut::kWordBytes; ++i)
            out.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
    return out;
}

std::uint32_t packLutWord(float red, float green, float blue) { return pack({{red, green, blue}}); }

int DecodeCubeFile(std::string_view text, DeviceCube& cube)
{
    CubeParseResult lut;
    if (CubeParser::parse(lut, text.data(), text.size(), lut::kFileSizeLimit) != kCubeOk) {
        logLine("DecodeCubeFile: parse failed\n");
        return kCubeMissingArgument;
    }
    if (!lut.title.empty())
        cube.name = lut.title;
    const std::size_t n = static_cast<std::size_t>(cube.points);
    if (cube.points < 2 || cube.words.size() != n * n * n) {
        logLine("DecodeCubeFile: cube of %d points has %zu words\n", cube.points, cube.words.size());
        return kCubeMissingArgument;
    }
    if (lut.table1D.size == 0) {
        if (lut.table3D.size == 0) {
            logLine("DecodeCubeFile: 1D and 3D both empty\n");
            return kCubeMissingArgument;
        }
        // The file's own grid is the device's only when it spans the same inputs.
        if (lut.table3D.size == n && spansUnitRange(lut.table3D)) {
            logLine("DecodeCubeFile: lut is single %d point 3D\n", cube.points);
            std::transform(lut.table3D.entries.begin(), lut.table3D.entries.end(), cube.words.begin(),
                           [](const std::array<float, 3>& e) { return packLutWord(e[0], e[1], e[2]); });
            return kCubeOk;
        }
    }
    logLine("DecodeCubeFile: lut needs expanding\n");
    const double step = 1.0 / double(n - 1);
    std::size_t word = 0;
    for (std::size_t b = 0; b < n; ++b) {
        for (std::size_t g = 0; g < n; ++g) {
            for (std::size_t r = 0; r < n; ++r) {
                std::array<double, 3> v{{double(r) * step, double(g) * step, double(b) * step}};
                if (lut.table1D.size != 0)
                    v = lookUp1D(lut.table1D, v);
                if (lut.table3D.size != 0)
                    v = lookUp3D(lut.table3D, v);
                cube.words[word++] = pack(v);
            }
        }
    }
    return kCubeOk;
}

} // namespace Zanthic
} // namespace TWG
