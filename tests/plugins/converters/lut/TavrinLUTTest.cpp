#include "plugins/converters/lut/TavrinLUT.h"
#include "tests/support/CubeFiles.h"

#include <gtest/gtest.h>

#include <QDir>

#include <string>

namespace {

using luttest::CubeDir;
using luttest::identityCube;
using luttest::identityRows;

const std::string kId2 = identityRows(2);
const std::string kInvalid = "Invalid Cube LUT file '%1'\n";
const std::string kSize0 = "Invalid Cube LUT file '%1' with size '0' skipping\n";

struct LoadCase {
    const char* name;
    const char* file;
    std::string text;
    bool ok;
    std::string message; // %1: the path
    int shaperSize = 0;
    int secondSize = 0;
    bool second3D = false;
    float shaperRange[2] = {0.0f, 1.0f};
    float secondRange[2] = {0.0f, 1.0f};
};

const LoadCase kLoadCases[] = {
    {"3D size 33, 35937 rows", "a.cube", identityCube(33), true, "", 0, 33, true},
    {"upper-case extension", "a.CUBE", identityCube(2), false, "Lut file %1 does not end in '.cube'\n"},
    {"title, comments, blank lines and other keywords before the data", "a.cube",
     "TITLE \"look\"\n# made by hand\nLUT_3D_SIZE 2\n\nLUT_IN_VIDEO_RANGE\n" + kId2, true, "", 0, 2, true},
    {"CRLF line ends, tabs and leading blanks", "a.cube",
     "LUT_3D_SIZE 2\r\n0\t0 0\r\n 1 0\t0 \r\n0 1 0\r\n1 1 0\r\n0 0 1\r\n1 0 1\r\n0 1 1\r\n1 1 1\r\n", true, "", 0, 2,
     true},
    {"a line longer than the line buffer", "a.cube", "TITLE \"" + std::string(1500, 'x') + "\"\n" + identityCube(2),
     true, "", 0, 2, true},
    {"comment inside the table", "a.cube", "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n# note\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n",
     false, "Failed to read Cube 3D LUT '%1' after (1, 1, 0) of (2, 2, 2)\n"},
    {"3D size line beginning with blanks", "a.cube", "  LUT_3D_SIZE 2\n" + kId2, false, kSize0},
    {"size that is not a number", "a.cube", "LUT_3D_SIZE two\n" + kId2, false, kSize0},
    {"3D size 1", "a.cube", "LUT_3D_SIZE 1\n0 0 0\n", false, "Invalid Cube LUT file '%1' with size '1' skipping\n"},
    {"3D size 257", "a.cube", "LUT_3D_SIZE 257\n" + kId2, false,
     "Invalid Cube LUT file '%1' with size '257' skipping\n"},
    {"3D size 256 is taken; the rows then run out", "a.cube", "LUT_3D_SIZE 256\n0 0 0\n", false,
     "Failed to read Cube 3D LUT '%1' after (1, 0, 0) of (256, 256, 256)\n"},
    {"1D size 65537", "a.cube", "LUT_1D_SIZE 65537\n0 0 0\n", false,
     "Invalid Cube LUT file '%1' with size '65537' skipping\n"},
    {"size beyond int", "a.cube", "LUT_3D_SIZE 99999999999\n" + kId2, false, kSize0},
    {"1D size later marked 3D", "a.cube", "LUT_1D_SIZE 2\nLUT_1D_SIZE 1000\nLUT_3D_INPUT_RANGE 0 1\n0 0 0\n", false,
     "Invalid Cube LUT file '%1' with size '1000' skipping\n"},
    {"shaper alone", "a.cube", "LUT_1D_SIZE 3\n0 0 0\n0.5 0.5 0.5\n1 1 1\n", true, "", 3, 0, false},
    {"shaper and 3D", "a.cube", "LUT_1D_SIZE 2\nLUT_3D_SIZE 2\n0 0 0\n1 1 1\n\n# cube\n" + kId2, true, "", 2, 2, true},
    {"file ends after the shaper", "a.cube", "LUT_1D_SIZE 2\nLUT_3D_SIZE 2\n0 0 0\n1 1 1\n# end\n", true,
     "Unexpected EOF. Failed to read Cube 3D LUT '%1' after the shaper 1D LUT\n", 2, 0, false},
    {"short shaper row", "a.cube", "LUT_1D_SIZE 3\n0 0 0\n0.5 0.5\n1 1 1\n", false,
     "Failed to read Cube LUT '%1' after 1 of 3 - '0.5 0.5'\n"},
    {"second 1D table cut short", "a.cube", "LUT_1D_SIZE 2\nLUT_1D_SIZE 3\n0 0 0\n1 1 1\n0 0 0\n0.5 0.5 0.5\n",
     false, "Failed to read Cube 1D LUT '%1' after 2 of 3 - '')\n"},
    {"rows without a size keyword", "a.cube", "0 0 0\n1 1 1\n", false, kInvalid},
    {"a fourth number in the first row", "a.cube", "LUT_3D_SIZE 2\n0 0 0 0\n" + identityRows(2).substr(6), false,
     kInvalid},
    {"a fourth number inside the table", "a.cube", "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0 0.5\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n",
     false, kInvalid},
    {"a number with trailing letters", "a.cube", "LUT_3D_SIZE 2\n0 0 0\n1 0 0x\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n",
     false, kInvalid},
    {"a broken row before the table", "a.cube", "LUT_3D_SIZE 2\n0.5x\n" + kId2, false, kInvalid},
    {"a row too many", "a.cube", identityCube(2) + "1 1 1\n", false, kInvalid},
    {"text after the table", "a.cube", "LUT_1D_SIZE 2\n0 0 0\n1 1 1\nLUT_3D_SIZE 2\n" + kId2, false, kInvalid},
    {"blank lines and comments after the table", "a.cube", identityCube(2) + "\n \t\r\n# end\n", true, "", 0, 2, true},
    {"not a number inside the table", "a.cube", "LUT_3D_SIZE 2\n0 0 0\nnan 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n", false,
     "Failed to read Cube 3D LUT '%1' after (1, 0, 0) of (2, 2, 2)\n"},
    {"infinity as the first row", "a.cube", "LUT_3D_SIZE 2\ninf 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n", false,
     kInvalid},
    {"infinity spelt out in the shaper", "a.cube", "LUT_1D_SIZE 2\n0 0 0\n1 -Infinity 1\n", false,
     "Failed to read Cube LUT '%1' after 1 of 2 - '1 -Infinity 1'\n"},
    {"a value beyond a float", "a.cube", "LUT_1D_SIZE 2\n0 0 0\n1e39 1 1\n", false,
     "Failed to read Cube LUT '%1' after 1 of 2 - '1e39 1 1'\n"},
    {"a value below a float's precision reads as zero", "a.cube", "LUT_1D_SIZE 2\n1e-50 0 0\n1 1 1\n", true, "", 2},
    {"text that begins like infinity is not a row", "a.cube", "Infinity and beyond\n" + identityCube(2), true, "", 0,
     2, true},
    {"input range with equal bounds", "a.cube", "LUT_3D_SIZE 2\nLUT_3D_INPUT_RANGE 0.5 0.5\n" + kId2, false, kInvalid},
    {"input range that is not finite", "a.cube", "LUT_3D_SIZE 2\nLUT_3D_INPUT_RANGE 0 inf\n" + kId2, false, kInvalid},
    {"input ranges of both tables", "a.cube",
     "LUT_1D_SIZE 2\nLUT_1D_INPUT_RANGE -1 2\nLUT_3D_SIZE 2\nLUT_3D_INPUT_RANGE 0.25 0.75\n0 0 0\n1 1 1\n" + kId2, true,
     "", 2, 2, true, {-1.0f, 2.0f}, {0.25f, 0.75f}},
    {"domain of a 3D table", "a.cube", "LUT_3D_SIZE 2\nDOMAIN_MIN -0.5 -0.5 -0.5\nDOMAIN_MAX 2 2 2\n" + kId2, true, "",
     0, 2, true, {0.0f, 1.0f}, {-0.5f, 2.0f}},
    {"domain of a 1D table, before its size", "a.cube", "DOMAIN_MAX 4 4 4\nLUT_1D_SIZE 2\n0 0 0\n1 1 1\n", true, "", 2,
     0, false, {0.0f, 4.0f}},
    {"domain per channel", "a.cube", "LUT_3D_SIZE 2\nDOMAIN_MIN 0 0 0.1\n" + kId2, false, kInvalid},
    {"domain and an input range", "a.cube", "LUT_3D_SIZE 2\nLUT_3D_INPUT_RANGE 0 1\nDOMAIN_MAX 2 2 2\n" + kId2,
     false, kInvalid},
    {"domain in a file with two tables", "a.cube",
     "LUT_1D_SIZE 2\nLUT_3D_SIZE 2\nDOMAIN_MAX 2 2 2\n0 0 0\n1 1 1\n" + kId2, false, kInvalid},
    {"domain with equal bounds", "a.cube", "LUT_3D_SIZE 2\nDOMAIN_MIN 1 1 1\n" + kId2, false, kInvalid},
    {"no data rows", "a.cube", "LUT_3D_SIZE 2\n# nothing yet\n", false, ""},
    {"empty file", "a.cube", "", false, ""},
};

TEST(TavrinLUT, LoadCaseTable)
{
    for (const LoadCase& c : kLoadCases) {
        SCOPED_TRACE(c.name);
        CubeDir dir;
        const QString path = dir.write(QString::fromLatin1(c.file), c.text);
        TavrinLUT lut;
        EXPECT_EQ(lut.load(path), c.ok);
        EXPECT_EQ(lut.message(), c.message.empty() ? QString() : QString::fromStdString(c.message).arg(path));
        EXPECT_EQ(lut.shaperSize(), c.shaperSize);
        EXPECT_EQ(lut.shaperData().size(), std::size_t(c.shaperSize) * 3);
        EXPECT_EQ(lut.secondSize(), c.secondSize);
        EXPECT_EQ(lut.secondIs3D(), c.second3D);
        const std::size_t n = std::size_t(c.secondSize);
        EXPECT_EQ(lut.secondData().size(), (c.second3D ? n * n * n : n) * 3);
        if (c.ok) {
            EXPECT_EQ(lut.shaperMin(), c.shaperRange[0]);
            EXPECT_EQ(lut.shaperMax(), c.shaperRange[1]);
            EXPECT_EQ(lut.secondMin(), c.secondRange[0]);
            EXPECT_EQ(lut.secondMax(), c.secondRange[1]);
        }
    }
}

TEST(TavrinLUT, PathsThatCannotBeReadAreRefused)
{
    CubeDir dir;
    ASSERT_TRUE(QDir(dir.dir.path()).mkdir(QStringLiteral("folder.cube")));
    for (const QString& path : {dir.path(QStringLiteral("absent.cube")), dir.path(QStringLiteral("folder.cube"))}) {
        TavrinLUT lut;
        EXPECT_FALSE(lut.load(path));
        EXPECT_EQ(lut.message(), QStringLiteral("Failed to read LUT file '%1'\n").arg(path));
    }
}

TEST(TavrinLUT, AFailedLoadLeavesNoTableBehind)
{
    CubeDir dir;
    TavrinLUT lut;
    ASSERT_TRUE(lut.load(dir.write(QStringLiteral("good.cube"), identityCube(2))));
    EXPECT_FALSE(lut.load(dir.write(QStringLiteral("bad.cube"), identityCube(2) + "1 1 1\n")));
    EXPECT_TRUE(lut.secondData().empty());
    int out[3] = {-1, -1, -1};
    const int in[3] = {1024, 512, 0};
    lut.evaluate(in, out, 1024);
    EXPECT_EQ(out[0], 1023) << "no tables: the input passes through";
    EXPECT_EQ(out[1], 512);
    EXPECT_EQ(out[2], 0);
}

struct Point {
    int in[3];
    int out[3];
};

void expectPoints(const TavrinLUT& lut, std::initializer_list<Point> points)
{
    for (const Point& p : points) {
        int out[3] = {-1, -1, -1};
        lut.evaluate(p.in, out, 1024);
        EXPECT_EQ(out[0], p.out[0]) << "at " << p.in[0] << "," << p.in[1] << "," << p.in[2];
        EXPECT_EQ(out[1], p.out[1]) << "at " << p.in[0] << "," << p.in[1] << "," << p.in[2];
        EXPECT_EQ(out[2], p.out[2]) << "at " << p.in[0] << "," << p.in[1] << "," << p.in[2];
    }
}

// A 3-point table of (x^2, y*z, x*y + z^2) at x, y, z in {0, 0.5, 1}: not linear across cells,
// so a wrong cell, axis or fraction shows.
TEST(TavrinLUT, TrilinearAtAndBetweenGridPoints)
{
    std::string text = "LUT_3D_SIZE 3\n";
    for (int k = 0; k < 3; ++k)
        for (int j = 0; j < 3; ++j)
            for (int i = 0; i < 3; ++i) {
                const double x = i / 2.0, y = j / 2.0, z = k / 2.0;
                text += std::to_string(x * x) + " " + std::to_string(y * z) + " " + std::to_string(x * y + z * z) + "\n";
            }
    CubeDir dir;
    TavrinLUT lut;
    ASSERT_TRUE(lut.load(dir.write(QStringLiteral("t.cube"), text)));
    expectPoints(lut, {
        {{0, 0, 0}, {0, 0, 0}},
        {{512, 1024, 0}, {256, 0, 512}},   // (0.25, 0, 0.5)
        {{1024, 512, 512}, {1023, 256, 768}}, // (1 -> 1023, 0.25, 0.5 + 0.25)
        // (0.75, 0.25, 0.625): x^2 in the cell [0.5, 1] at 1/2: (0.25 + 1) / 2 = 0.625 -> 640;
        // y*z is bilinear: 0.25 * 0.625 = 0.15625 -> 160;
        // x*y = 0.1875 plus z^2 in [0.5, 1] at 1/4: 0.25 + 0.75 / 4 = 0.4375; 0.625 -> 640.
        {{768, 256, 640}, {640, 160, 640}},
    });
}

TEST(TavrinLUT, TheRangeEndsUseTheEndCells)
{
    CubeDir dir;
    TavrinLUT lut;
    ASSERT_TRUE(lut.load(dir.write(QStringLiteral("r.cube"),
                                   "LUT_1D_SIZE 3\nLUT_1D_INPUT_RANGE 0.25 0.75\n0.125 0.125 0.125\n0.25 0.25 0.25\n0.5 0.5 0.5\n")));
    expectPoints(lut, {
        {{0, 128, 256}, {128, 128, 128}},     // below and at the bottom: the first entry
        {{384, 512, 640}, {192, 256, 384}},   // inside both cells
        {{768, 1000, 1024}, {512, 512, 512}}, // at and above the top: last cell, fraction 1
    });
}

TEST(TavrinLUT, OutputsClampAtBothEnds)
{
    CubeDir dir;
    TavrinLUT lut;
    ASSERT_TRUE(lut.load(dir.write(QStringLiteral("c.cube"), "LUT_1D_SIZE 2\n-0.5 1.5 -1\n1.5 -0.5 2\n")));
    expectPoints(lut, {
        {{0, 0, 0}, {0, 1023, 0}},
        {{1024, 1024, 1024}, {1023, 0, 1023}},
    });
}

// The shaper runs first, the second table second: here x^2 on three points, then a cube that
// swaps the first and third components, or a 1D table that halves them.
TEST(TavrinLUT, TheShaperFeedsTheSecondTable)
{
    std::string swap;
    for (int b = 0; b < 2; ++b)
        for (int g = 0; g < 2; ++g)
            for (int r = 0; r < 2; ++r)
                swap += std::to_string(b) + " " + std::to_string(g) + " " + std::to_string(r) + "\n";
    const std::string square = "LUT_1D_SIZE 3\nLUT_3D_SIZE 2\n0 0 0\n0.25 0.25 0.25\n1 1 1\n";
    CubeDir dir;
    TavrinLUT lut;
    ASSERT_TRUE(lut.load(dir.write(QStringLiteral("s.cube"), square + swap)));
    expectPoints(lut, {{{768, 512, 0}, {0, 256, 640}}});
    ASSERT_TRUE(lut.load(dir.write(QStringLiteral("h.cube"), "LUT_1D_SIZE 3\nLUT_1D_SIZE 2\n0 0 0\n0.25 0.25 0.25\n1 1 1\n0 0 0\n0.5 0.5 0.5\n")));
    EXPECT_FALSE(lut.secondIs3D());
    expectPoints(lut, {{{768, 512, 0}, {320, 128, 0}}});
}

} // namespace
