#include "plugins/converters/lut/LutSampling.h"
#include "plugins/converters/lut/TavrinLUT.h"
#include "tests/support/ColourToolTest.h"

#include <gtest/gtest.h>

#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

// Files written by a colour-management tool, read by TavrinLUT and compared with what the same tool
// computes from them: it bakes each file again onto the converter's own 33-point grid.
namespace {

class ToolComparison : public colourtool::ColourToolTest {
protected:
    // A copy of source with extra lines after its first line.
    QString withHeader(const QString& source, const QString& output, const std::string& lines)
    {
        QFile in(source);
        EXPECT_TRUE(in.open(QIODevice::ReadOnly));
        const QByteArray text = in.readAll();
        const int firstEnd = text.indexOf('\n') + 1;
        return dir.write(output, text.left(firstEnd).toStdString() + lines + text.mid(firstEnd).toStdString());
    }

    // Each code of our table against the tool's value at the same point, as the device would get it.
    void compare(const QString& source, int expectedShaper, int expectedSecond, bool expected3D)
    {
        TavrinLUT lut;
        ASSERT_TRUE(lut.load(source)) << lut.message().toStdString();
        EXPECT_TRUE(lut.message().isEmpty());
        EXPECT_EQ(lut.shaperSize(), expectedShaper);
        EXPECT_EQ(lut.secondSize(), expectedSecond);
        EXPECT_EQ(lut.secondIs3D(), expected3D);
        const std::vector<float> reference = toolGrid(source, lutgrid::kPoints);
        ASSERT_EQ(reference.size(), lutgrid::kWordCount * 3);
        const std::vector<std::uint8_t> table = lutgrid::sampleTable(lut);
        std::size_t mismatches = 0;
        for (std::size_t n = 0; n < lutgrid::kWordCount; ++n) {
            const std::uint32_t word = std::uint32_t(table[4 * n]) | std::uint32_t(table[4 * n + 1]) << 8
                | std::uint32_t(table[4 * n + 2]) << 16 | std::uint32_t(table[4 * n + 3]) << 24;
            for (int c = 0; c < 3; ++c) {
                const int ours = int(word >> (lutgrid::kCodeBits * c)) & lutgrid::kMaxCode;
                const float v = reference[3 * n + std::size_t(c)] * lutgrid::kScale;
                if (ours < code(v - kSlack) || ours > code(v + kSlack)) {
                    if (++mismatches <= 5)
                        ADD_FAILURE() << "entry " << n << " component " << c << ": " << ours << " for " << v;
                }
            }
        }
        EXPECT_EQ(mismatches, 0u) << source.toStdString();
    }

    // The tool prints six decimals, and the floats differ in their last bits: a value this close
    // to a code boundary may truncate to either code.
    static constexpr float kSlack = 0.01f;
    static int code(float v) { return std::clamp(int(std::floor(v)), 0, lutgrid::kMaxCode); }
};

TEST_F(ToolComparison, PlainCube)
{
    const QString source = bake({QStringLiteral("--outputspace"), QStringLiteral("graded"), QStringLiteral("--format"),
                                           QStringLiteral("iridas_cube"), QStringLiteral("--cubesize"), QStringLiteral("17")},
                                          QStringLiteral("plain.cube"));
    compare(source, 0, 17, true);
}

TEST_F(ToolComparison, CubeOverADomain)
{
    const QString plain = bake({QStringLiteral("--outputspace"), QStringLiteral("graded"), QStringLiteral("--format"),
                                          QStringLiteral("iridas_cube"), QStringLiteral("--cubesize"), QStringLiteral("17")},
                                         QStringLiteral("plain.cube"));
    compare(withHeader(plain, QStringLiteral("domain.cube"), "DOMAIN_MIN -0.25 -0.25 -0.25\nDOMAIN_MAX 1.5 1.5 1.5\n"), 0,
            17, true);
}

TEST_F(ToolComparison, ShaperAndCube)
{
    const QString source = bake(
        {QStringLiteral("--outputspace"), QStringLiteral("graded"), QStringLiteral("--shaperspace"), QStringLiteral("shaped"),
         QStringLiteral("--format"), QStringLiteral("resolve_cube"), QStringLiteral("--cubesize"), QStringLiteral("17"),
         QStringLiteral("--shapersize"), QStringLiteral("64")},
        QStringLiteral("shaped.cube"));
    compare(source, 64, 17, true);
}

TEST_F(ToolComparison, OneDimensionalOverAnInputRange)
{
    const QString source = bake({QStringLiteral("--outputspace"), QStringLiteral("shaped"), QStringLiteral("--format"),
                                           QStringLiteral("resolve_cube")},
                                          QStringLiteral("curve.cube"));
    compare(source, 4096, 0, false);
    compare(withHeader(source, QStringLiteral("ranged.cube"), "LUT_1D_INPUT_RANGE 0.125 0.75\n"), 4096, 0, false);
}

} // namespace
