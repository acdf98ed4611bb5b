#include "plugins/converters/lut/CubeSyntax.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace cube {
namespace {

bool isSpace(char c) // what scanf skips
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isSeparator(char c) { return c == ' ' || c == '\t'; }

bool startsNumber(char c) { return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'; }

const char* skip(const char* p, const char* end, bool (*what)(char))
{
    while (p != end && what(*p))
        ++p;
    return p;
}

// Whether a value too small for a float reads as scanf gives it, zero; too large, it has no
// float to become.
bool underflows(const char* begin, const char* end)
{
    double d = 0.0;
    const std::from_chars_result r = std::from_chars(begin, end, d);
    if (r.ec == std::errc())
        return std::fabs(d) < std::numeric_limits<float>::max();
    for (const char* p = begin; p + 1 < end; ++p) {
        if ((*p == 'e' || *p == 'E') && p[1] == '-')
            return true;
    }
    return false;
}

enum class Numbers { Finite, AnyFloat };

// One number as "%f" reads it, without leading blanks; nullptr when none starts at p. Finite
// numbers only, unless asked: "nan", "inf" and values beyond a float make no colour.
const char* parseFloat(const char* p, const char* end, float* out, Numbers numbers = Numbers::Finite)
{
    if (p != end && *p == '+') {
        if (p + 1 == end || p[1] == '+' || p[1] == '-')
            return nullptr;
        ++p;
    }
    const std::from_chars_result r = std::from_chars(p, end, *out);
    if (r.ec == std::errc::invalid_argument)
        return nullptr;
    if (r.ec == std::errc::result_out_of_range) {
        const bool negative = *p == '-';
        if (underflows(p, r.ptr))
            *out = negative ? -0.0f : 0.0f;
        else
            *out = negative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
    }
    if (numbers == Numbers::Finite && !std::isfinite(*out))
        return nullptr;
    return r.ptr;
}

bool strictRow(const char* p, const char* end, float out[3], Numbers numbers = Numbers::Finite)
{
    p = skip(p, end, isSeparator);
    for (int n = 0; n < 3; ++n) {
        if (n > 0) {
            const char* q = skip(p, end, isSeparator);
            if (q == p)
                return false;
            p = q;
        }
        p = parseFloat(p, end, &out[n], numbers);
        if (!p)
            return false;
        if (p != end && !isSeparator(*p) && *p != '\r')
            return false;
    }
    while (p != end && (isSeparator(*p) || *p == '\r'))
        ++p;
    return p == end;
}

int looseRow(const char* p, const char* end, float out[3], Numbers numbers = Numbers::Finite)
{
    int n = 0;
    for (; n < 3; ++n) {
        p = skip(p, end, isSpace);
        p = parseFloat(p, end, &out[n], numbers);
        if (!p)
            break;
    }
    return n;
}

const char* afterKeyword(std::string_view line, std::string_view keyword)
{
    if (line.substr(0, keyword.size()) != keyword)
        return nullptr;
    return line.data() + keyword.size();
}

} // namespace

RowKind classifyRow(std::string_view line, float out[3])
{
    const char* begin = line.data();
    const char* end = begin + line.size();
    if (strictRow(begin, end, out))
        return RowKind::Row;
    if (looseRow(begin, end, out) == 3)
        return RowKind::Loose;
    // A row of "nan" or "inf" is a row that holds no colour, not a line of text.
    float any[3];
    if (strictRow(begin, end, any, Numbers::AnyFloat) || looseRow(begin, end, any, Numbers::AnyFloat) == 3)
        return RowKind::Malformed;
    const char* first = skip(begin, end, isSpace);
    return first != end && startsNumber(*first) ? RowKind::Malformed : RowKind::NotARow;
}

bool isBlankOrComment(std::string_view line)
{
    const char* end = line.data() + line.size();
    const char* p = line.data();
    while (p != end && (isSeparator(*p) || *p == '\r'))
        ++p;
    return p == end || *p == '#';
}

bool parseKeywordInt(std::string_view line, std::string_view keyword, int* out)
{
    const char* p = afterKeyword(line, keyword);
    if (!p)
        return false;
    const char* end = line.data() + line.size();
    p = skip(p, end, isSpace);
    if (p != end && *p == '+') {
        if (p + 1 == end || p[1] == '-')
            return false;
        ++p;
    }
    int value = 0;
    const std::from_chars_result r = std::from_chars(p, end, value);
    if (r.ec != std::errc())
        return false;
    *out = value;
    return true;
}

bool parseKeywordFloats(std::string_view line, std::string_view keyword, float* out, int count)
{
    const char* p = afterKeyword(line, keyword);
    if (!p)
        return false;
    const char* end = line.data() + line.size();
    for (int n = 0; n < count; ++n) {
        p = parseFloat(skip(p, end, isSpace), end, &out[n]);
        if (!p)
            return false;
    }
    return true;
}

} // namespace cube
