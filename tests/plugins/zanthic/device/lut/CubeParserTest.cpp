#include "plugins/zanthic/device/CubeParser.h"

#include "LutSimFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using namespace TWG::Zanthic;
using luttest::CubeLogCapture;
using luttest::identityRows;

namespace {

int parse(const std::string& text, CubeParseResult* result = nullptr, std::uint64_t limit = 33)
{
    CubeParseResult local;
    CubeParseResult& r = result ? *result : local;
    return CubeParser::parse(r, text.data(), text.size(), limit);
}

std::string rows(int count, const char* row = "0.5 0.5 0.5\n")
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += row;
    return out;
}

struct ParseCase {
    const char* name;
    std::string text;
    int code;
    std::vector<std::string> log; // lines the parser writes, in order
};

TEST(CubeParser, CodesAndLogLines)
{
    const std::vector<ParseCase> cases = {
        {"33 points pass", "LUT_3D_SIZE 33\n" + identityRows(33), 0,
         {"CubeParser: Parse complete, title \"\", 0 sized 1D LUT, 33 sized 3D LUT\n"}},
        {"2 points pass", "LUT_3D_SIZE 2\n" + rows(8), 0,
         {"CubeParser: Parse complete, title \"\", 0 sized 1D LUT, 2 sized 3D LUT\n"}},
        {"34 points is above the limit", "LUT_3D_SIZE 34\n", 27,
         {"CubeParser: Failed to parse line: LUT_3D_SIZE 34\n", "CubeParser: Parse failed, malformed file\n"}},
        {"the limit holds for 1D tables too", "LUT_1D_SIZE 34\n", 27,
         {"CubeParser: Failed to parse line: LUT_1D_SIZE 34\n", "CubeParser: Parse failed, malformed file\n"}},
        {"one 3D point has no interval", "LUT_3D_SIZE 1\n0.5 0.5 0.5\n", 34,
         {"CubeParser: Failed to validate 3D LUT, 1/1 entries found\n", "CubeParser: Failed to normalise 3D LUT\n",
          "CubeParser: Parse failed, malformed file\n"}},
        {"one 1D point has no interval", "LUT_1D_SIZE 1\n0.5 0.5 0.5\n", 34,
         {"CubeParser: Failed to validate 1D LUT, 1/1 entries found\n", "CubeParser: Failed to normalise 1D LUT\n",
          "CubeParser: Parse failed, malformed file\n"}},
        {"a size without its value", "LUT_3D_SIZE\n", 139,
         {"CubeParser: Failed to parse line: LUT_3D_SIZE\n", "CubeParser: Parse failed, malformed file\n"}},
        {"a title without its closing quote", "TITLE \"grade\nLUT_3D_SIZE 2\n" + rows(8), 139,
         {"CubeParser: Failed to parse line: TITLE \"grade\n", "CubeParser: Parse failed, malformed file\n"}},
        {"a word amid the numbers", "LUT_3D_SIZE 2\n1.0 abc 2\n", 33, {"CubeParser: Parse failed, malformed file\n"}},
        {"a number with a tail", "LUT_3D_SIZE 2\n0.5x 0 0\n", 33, {"CubeParser: Parse failed, malformed file\n"}},
        {"a row of two numbers", "LUT_3D_SIZE 2\n0.5 0.5\n", 33, {"CubeParser: Parse failed, malformed file\n"}},
        {"+inf", "LUT_3D_SIZE 2\n+inf 0 0\n", 33, {"CubeParser: Parse failed, malformed file\n"}},
        {"-nan", "LUT_3D_SIZE 2\n-nan 0 0\n", 33, {"CubeParser: Parse failed, malformed file\n"}},
        {"a float beyond range", "LUT_3D_SIZE 2\n1e39 0 0\n", 33, {"CubeParser: Parse failed, malformed file\n"}},
        {"a domain with a word", "DOMAIN_MIN 0 x 0\n", 33, {"CubeParser: Parse failed, malformed file\n"}},
        {"one row too many", "LUT_3D_SIZE 2\n" + rows(8) + "0.25 0.5 0.75\n", 34,
         {"CubeParser: Failed to parse line: 0.25 0.5 0.75\n", "CubeParser: Parse failed, malformed file\n"}},
        {"one row too few", "LUT_3D_SIZE 2\n" + rows(7), 34,
         {"CubeParser: Failed to validate 3D LUT, 7/8 entries found\n", "CubeParser: Failed to normalise 3D LUT\n",
          "CubeParser: Parse failed, malformed file\n"}},
        {"rows without a size", "0.5 0.5 0.5\n", 34,
         {"CubeParser: Failed to parse line: 0.5 0.5 0.5\n", "CubeParser: Parse failed, malformed file\n"}},
        {"a red maximum of 0", "DOMAIN_MAX 0 1 1\nLUT_3D_SIZE 2\n" + rows(8), 34,
         {"CubeParser: R min/max values invalid for 1D LUT, [0.000000 0.000000]\n",
          "CubeParser: Failed to normalise 1D LUT\n", "CubeParser: Parse failed, malformed file\n"}},
        {"a green minimum equal to its maximum", "DOMAIN_MIN 0 0.5 0\nDOMAIN_MAX 1 0.5 1\nLUT_3D_SIZE 2\n" + rows(8), 34,
         {"CubeParser: G min/max values invalid for 1D LUT, [0.500000 0.500000]\n",
          "CubeParser: Failed to normalise 1D LUT\n", "CubeParser: Parse failed, malformed file\n"}},
        {"a 3D input range upside down", "LUT_3D_INPUT_RANGE 1 0\nLUT_3D_SIZE 2\n" + rows(8), 34,
         {"CubeParser: R min/max values invalid for 3D LUT, [1.000000 0.000000]\n",
          "CubeParser: Failed to normalise 3D LUT\n", "CubeParser: Parse failed, malformed file\n"}},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        CubeLogCapture log;
        CubeParseResult result;
        EXPECT_EQ(parse(c.text, &result), c.code);
        EXPECT_EQ(log.lines(), c.log);
        if (c.code != 0) {
            EXPECT_TRUE(result.title.empty());
            EXPECT_EQ(result.table3D.size, 0u);
            EXPECT_TRUE(result.table3D.entries.empty());
        }
    }
}

TEST(CubeParser, MissingArguments)
{
    CubeLogCapture log;
    CubeParseResult result;
    const std::string text = "LUT_3D_SIZE 2\n" + rows(8);
    EXPECT_EQ(CubeParser::parse(result, nullptr, 10, 33), 22);
    EXPECT_EQ(CubeParser::parse(result, text.data(), 0, 33), 22);
    EXPECT_EQ(CubeParser::parse(result, text.data(), text.size(), 0), 22);
}

TEST(CubeParser, TitlesFirstTitleStaysTwgTitleReplaces)
{
    const std::string table = "LUT_3D_SIZE 2\n" + rows(8);
    CubeParseResult r;
    ASSERT_EQ(parse("TITLE \"first \"quoted\" part\"\nTITLE \"second\"\n" + table, &r), 0);
    EXPECT_EQ(r.title, "first \"quoted\" part");
    ASSERT_EQ(parse("TITLE \"first\"\nTWG_TITLE \"device\"\n" + table, &r), 0);
    EXPECT_EQ(r.title, "device");
    ASSERT_EQ(parse("TWG_TITLE \"device\"\nTITLE \"late\"\n" + table, &r), 0);
    EXPECT_EQ(r.title, "device");
}

TEST(CubeParser, LineEndsCrLfAndCrlfReadAlike)
{
    const std::string lf = "# comment\nTITLE \"ends\"\nLUT_1D_SIZE 2\n\n0 0 0\n1 1 1\nLUT_3D_SIZE 2\n" + identityRows(2);
    std::string cr = lf, crlf;
    std::replace(cr.begin(), cr.end(), '\n', '\r');
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    CubeParseResult a, b, c;
    ASSERT_EQ(parse(lf, &a), 0);
    ASSERT_EQ(parse(cr, &b), 0);
    ASSERT_EQ(parse(crlf, &c), 0);
    for (const CubeParseResult* r : {&a, &b, &c}) {
        EXPECT_EQ(r->title, "ends");
        EXPECT_EQ(r->table1D.size, 2u);
        EXPECT_EQ(r->table1D.entries.size(), 2u);
        EXPECT_EQ(r->table3D.entries, a.table3D.entries);
        EXPECT_EQ(r->table3D.entries.size(), 8u);
    }
}

TEST(CubeParser, EntriesStayAsWrittenAndTheRangesStayWithTheirTables)
{
    CubeParseResult r;
    ASSERT_EQ(parse("DOMAIN_MIN -1 0 0\nDOMAIN_MAX 3 2 0.5\nLUT_3D_SIZE 2\n" + rows(7) + "+1 -0 0.25\n", &r), 0);
    ASSERT_EQ(r.table3D.entries.size(), 8u);
    EXPECT_EQ(r.table3D.entries[7], (std::array<float, 3>{{1, 0, 0.25f}}));
    EXPECT_EQ(r.table3D.minimum, (std::array<float, 3>{{-1, 0, 0}}));
    EXPECT_EQ(r.table3D.maximum, (std::array<float, 3>{{3, 2, 0.5f}}));

    ASSERT_EQ(parse("LUT_1D_INPUT_RANGE 0 4\nLUT_3D_INPUT_RANGE -0.25 1.25\nLUT_1D_SIZE 2\n0 0 0\n2 2 2\n"
                    "LUT_3D_SIZE 2\n" + rows(8), &r), 0);
    EXPECT_EQ(r.table1D.entries[1], (std::array<float, 3>{{2, 2, 2}}));
    EXPECT_EQ(r.table1D.maximum, (std::array<float, 3>{{4, 4, 4}}));
    EXPECT_EQ(r.table3D.minimum, (std::array<float, 3>{{-0.25f, -0.25f, -0.25f}}));
    EXPECT_EQ(r.table3D.maximum, (std::array<float, 3>{{1.25f, 1.25f, 1.25f}}));
}

TEST(CubeParser, ASizeMayCarryAPlusSign)
{
    CubeParseResult r;
    ASSERT_EQ(parse("LUT_1D_SIZE\t+2\n0 0 0\n1 1 1\nLUT_3D_SIZE  +2\n" + rows(8), &r), 0);
    EXPECT_EQ(r.table1D.size, 2u);
    EXPECT_EQ(r.table3D.size, 2u);
    for (const char* size : {"++2", "+ 2", "+-2", "+"}) {
        CubeLogCapture log;
        EXPECT_EQ(parse(std::string("LUT_3D_SIZE ") + size + "\n" + rows(8)), 33) << size;
    }
}

// --- Packing -----------------------------------------------------------------------------------

TEST(LutPacking, GoldenWords)
{
    struct Case {
        float r, g, b;
        std::uint32_t word;
    };
    const std::vector<Case> cases = {
        {1.5f, -0.2f, 0.5f, 1023u | 0u << 10 | 511u << 20},
        {0.25f, 1.0f, 0.0f, 255u | 1023u << 10},
        {1e30f, -1e30f, std::nanf(""), 1023u},
        {0.125f, 0.0625f, 1.0f, 127u | 63u << 10 | 1023u << 20}, // 127.875, 63.9375 truncated
    };
    for (const Case& c : cases)
        EXPECT_EQ(packLutWord(c.r, c.g, c.b), c.word) << c.r << " " << c.g << " " << c.b;

    DeviceCube cube(2);
    cube.words[0] = packLutWord(1.5f, -0.2f, 0.5f);
    const std::vector<std::uint8_t> bytes = cube.bytes();
    ASSERT_EQ(bytes.size(), 32u);
    // 0x1FF003FF, least significant byte first.
    EXPECT_EQ((std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 4)), (std::vector<std::uint8_t>{0xFF, 0x03, 0xF0, 0x1F}));
}

// --- Decoding ----------------------------------------------------------------------------------

// A 17-point table whose channels each depend on two axes, so a swapped axis shows.
std::string skewedCube17(const std::string& firstRow = {})
{
    std::string text = "TITLE \"skew\"\nLUT_3D_SIZE 17\n";
    for (int b = 0; b < 17; ++b)
        for (int g = 0; g < 17; ++g)
            for (int r = 0; r < 17; ++r) {
                if (r + g + b == 0 && !firstRow.empty()) {
                    text += firstRow;
                    continue;
                }
                char row[96];
                std::snprintf(row, sizeof row, "%.9g %.9g %.9g\n", r * g / 256.0, g * b / 256.0, (r + b) / 32.0);
                text += row;
            }
    return text;
}

std::uint32_t skewedWord(int r, int g, int b)
{
    return packLutWord(float(r * g / 256.0), float(g * b / 256.0), float((r + b) / 32.0));
}

TEST(DecodeCubeFile, SeventeenPointsOnSeventeenArePackedAsWritten)
{
    CubeLogCapture log;
    DeviceCube cube(17);
    ASSERT_EQ(DecodeCubeFile(skewedCube17("1e30 -0.2 0.5\n"), cube), 0);
    EXPECT_EQ(cube.name, "skew");
    EXPECT_EQ(cube.words[0], 1023u | 511u << 20);
    for (int i : {1, 17, 289, 4912, 1234})
        EXPECT_EQ(cube.words[std::size_t(i)], skewedWord(i % 17, i / 17 % 17, i / 289)) << i;
    EXPECT_NE(log.text().find("DecodeCubeFile: lut is single 17 point 3D\n"), std::string::npos) << log.text();
}

TEST(DecodeCubeFile, SeventeenPointsOnThirtyThreeAreInterpolated)
{
    CubeLogCapture log;
    DeviceCube cube(33);
    ASSERT_EQ(DecodeCubeFile(skewedCube17(), cube), 0);
    EXPECT_NE(log.text().find("DecodeCubeFile: lut needs expanding\n"), std::string::npos);
    EXPECT_EQ(cube.words.front(), skewedWord(0, 0, 0));
    EXPECT_EQ(cube.words.back(), skewedWord(16, 16, 16));
    // Grid point (3, 5, 7) lies half-way between table points 1-2, 2-3 and 3-4:
    //   red   = mean of r*g/256 over r 1..2, g 2..3 = 3.75/256 -> x1023 = 14.98 -> 14
    //   green = mean of g*b/256 over g 2..3, b 3..4 = 8.75/256 -> 34.97 -> 34
    //   blue  = (1.5 + 3.5)/32 = 0.15625         -> 159.84 -> 159
    EXPECT_EQ(cube.words[(7 * 33 + 5) * 33 + 3], 14u | 34u << 10 | 159u << 20);
}

TEST(DecodeCubeFile, OneDimensionalIdentityKeepsTheGrid)
{
    DeviceCube cube(17);
    ASSERT_EQ(DecodeCubeFile("LUT_1D_SIZE 2\n0 0 0\n1 1 1\n", cube), 0);
    for (int b = 0; b < 17; ++b)
        for (int g = 0; g < 17; ++g)
            for (int r = 0; r < 17; ++r)
                ASSERT_EQ(cube.words[std::size_t((b * 17 + g) * 17 + r)], packLutWord(r / 16.0f, g / 16.0f, b / 16.0f))
                    << r << " " << g << " " << b;
}

TEST(DecodeCubeFile, OneDimensionalThenThreeDimensional)
{
    // The 1D table bends each channel on its own; the 3D one turns (r, g, b) into (g, b, r).
    std::string text = "LUT_1D_SIZE 3\n0 0 0\n0.25 0.5 0.25\n1 1 1\nLUT_3D_SIZE 2\n";
    for (int b = 0; b < 2; ++b)
        for (int g = 0; g < 2; ++g)
            for (int r = 0; r < 2; ++r)
                text += std::to_string(g) + " " + std::to_string(b) + " " + std::to_string(r) + "\n";
    DeviceCube cube(17);
    ASSERT_EQ(DecodeCubeFile(text, cube), 0);
    // Point (4, 8, 12) is (0.25, 0.5, 0.75); the 1D table gives (0.125, 0.5, 0.625); turned,
    // (0.5, 0.625, 0.125) -> 511, 639, 127.
    EXPECT_EQ(cube.words[(12 * 17 + 8) * 17 + 4], 511u | 639u << 10 | 127u << 20);
}

TEST(DecodeCubeFile, InputRangesPlaceTheGridOnTheTablesInputs)
{
    // A curve over the inputs 0..2: the grid's 0..1 covers its first half only.
    DeviceCube curve(17);
    ASSERT_EQ(DecodeCubeFile("LUT_1D_INPUT_RANGE 0 2\nLUT_1D_SIZE 3\n0 0 0\n0.75 0.75 0.75\n1 1 1\n", curve), 0);
    EXPECT_EQ(curve.words[0], 0u);
    EXPECT_EQ(curve.words[8], 383u);  // 0.5 is a quarter of the range: half-way to 0.75
    EXPECT_EQ(curve.words[16], 767u); // 1 is the middle entry
    EXPECT_EQ(curve.words[4912], 767u | 767u << 10 | 767u << 20);

    // A table of the device's size is the device's grid only over the inputs 0..1.
    const std::string table = skewedCube17();
    const std::size_t size = table.find("LUT_3D_SIZE");
    const struct {
        const char* range;
        bool packedAsWritten;
    } cases[] = {
        {"", true},
        {"LUT_3D_INPUT_RANGE 0 1\n", true},
        {"DOMAIN_MIN 0 0 0\nDOMAIN_MAX 1.0 1 1\n", true},
        {"LUT_3D_INPUT_RANGE -0.25 1.25\n", false},
        {"DOMAIN_MAX 1 1 2\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.range);
        CubeLogCapture log;
        DeviceCube cube(17);
        ASSERT_EQ(DecodeCubeFile(table.substr(0, size) + c.range + table.substr(size), cube), 0);
        EXPECT_EQ(log.text().find("DecodeCubeFile: lut is single 17 point 3D\n") != std::string::npos,
                  c.packedAsWritten) << log.text();
        // The last grid point is the last entry only where the range ends at 1.
        EXPECT_EQ(cube.words[4912] == skewedWord(16, 16, 16), c.packedAsWritten);
        if (c.packedAsWritten) {
            EXPECT_EQ(cube.words[1234], skewedWord(1234 % 17, 1234 / 17 % 17, 1234 / 289));
        }
    }
}

TEST(DecodeCubeFile, FailuresGive22AndLeaveTheCube)
{
    for (const std::string& text : {std::string("LUT_3D_SIZE 34\n"), std::string("TITLE \"only a title\"\n"),
                                    std::string("LUT_3D_SIZE 2\n+inf 0 0\n")}) {
        CubeLogCapture log;
        DeviceCube cube(17);
        EXPECT_EQ(DecodeCubeFile(text, cube), 22) << text;
        EXPECT_EQ(std::count(cube.words.begin(), cube.words.end(), 0u), long(cube.words.size()));
        const std::vector<std::string> lines = log.lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(lines.back() == "DecodeCubeFile: parse failed\n" || lines.back() == "DecodeCubeFile: 1D and 3D both empty\n")
            << lines.back();
    }
}

} // namespace
