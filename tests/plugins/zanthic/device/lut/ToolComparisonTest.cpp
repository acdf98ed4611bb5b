#include "plugins/zanthic/device/CubeParser.h"

#include "tests/support/ColourToolTest.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

// Files written by a colour-management tool, decoded onto the device's cube and compared with
// what the same tool computes from them, baked again onto a plain 33-point cube.
namespace {

using TWG::Zanthic::DecodeCubeFile;
using TWG::Zanthic::DeviceCube;

class ZanthicToolComparison : public colourtool::ColourToolTest {
protected:
    // A file the tool writes from the graded space: format, cube size, and a shaper size (0: none).
    QString source(const char* format, int cubeSize, int shaperSize, const QString& name)
    {
        QStringList args{QStringLiteral("--outputspace"), QStringLiteral("graded"), QStringLiteral("--format"),
                         QString::fromLatin1(format), QStringLiteral("--cubesize"), QString::number(cubeSize)};
        if (shaperSize > 0)
            args << QStringLiteral("--shaperspace") << QStringLiteral("shaped") << QStringLiteral("--shapersize")
                 << QString::number(shaperSize);
        return bake(args, name);
    }

    // A copy of the file with lines put in front of its first table's size line.
    QString withLines(const QString& file, const QString& output, const std::string& lines)
    {
        QFile in(file);
        EXPECT_TRUE(in.open(QIODevice::ReadOnly));
        const std::string text = in.readAll().toStdString();
        const std::size_t at = text.find("LUT_");
        EXPECT_NE(at, std::string::npos);
        return dir.write(output, text.substr(0, at) + lines + text.substr(at));
    }

    // Every channel of the decoded cube of the given points within one step of the tool's.
    void compare(const QString& file, int points = 33)
    {
        SCOPED_TRACE(QFileInfo(file).fileName().toStdString() + " on " + std::to_string(points) + " points");
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        DeviceCube cube(points);
        ASSERT_EQ(DecodeCubeFile(std::string_view(text.constData(), std::size_t(text.size())), cube), 0);
        const std::vector<float> reference = toolGrid(file, points);
        ASSERT_EQ(reference.size(), cube.words.size() * 3);
        std::size_t mismatches = 0;
        for (std::size_t n = 0; n < cube.words.size(); ++n) {
            for (int c = 0; c < 3; ++c) {
                const int ours = int(cube.words[n] >> (10 * c)) & 1023;
                // The tool's value as the device would get it: scaled, truncated.
                const int theirs = int(std::floor(reference[3 * n + std::size_t(c)] * 1023.0));
                if (std::abs(ours - theirs) > 1 && ++mismatches <= 5)
                    ADD_FAILURE() << "word " << n << " channel " << c << ": " << ours << " for " << theirs;
            }
        }
        EXPECT_EQ(mismatches, 0u) << file.toStdString();
    }
};

TEST_F(ZanthicToolComparison, PlainCubesOf33And17Points)
{
    compare(source("iridas_cube", 33, 0, QStringLiteral("plain33.cube")));
    compare(source("iridas_cube", 17, 0, QStringLiteral("plain17.cube")));
}

TEST_F(ZanthicToolComparison, ShaperAndCube)
{
    compare(source("resolve_cube", 17, 33, QStringLiteral("shaped17.cube")));
    compare(source("resolve_cube", 33, 17, QStringLiteral("shaped33.cube")));
}

// The input ranges belong to the inputs: the shaper's input range here is 0..4, so the grid's
// inputs 0..1 use its first quarter, and its outputs feed the 3D table over 0..1.
TEST_F(ZanthicToolComparison, ShaperOverARangeWiderThanOne)
{
    const QString config = dir.write(QStringLiteral("wide.ocio"), std::string(colourtool::kConfigHead)
                                         + colourtool::kSourceSpaces + R"(  - !<ColorSpace>
    name: wide
    from_scene_reference: !<GroupTransform>
      children:
        - !<MatrixTransform> {matrix: [0.25, 0, 0, 0, 0, 0.25, 0, 0, 0, 0, 0.25, 0, 0, 0, 0, 1]}
        - !<ExponentTransform> {value: [0.5, 0.5, 0.5, 1]}
)");
    const QString file = bake(config,
                              {QStringLiteral("--outputspace"), QStringLiteral("graded"), QStringLiteral("--shaperspace"),
                               QStringLiteral("wide"), QStringLiteral("--shapersize"), QStringLiteral("33"),
                               QStringLiteral("--format"), QStringLiteral("resolve_cube"), QStringLiteral("--cubesize"),
                               QStringLiteral("17")},
                              QStringLiteral("wide.cube"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    ASSERT_TRUE(f.readAll().contains("LUT_1D_INPUT_RANGE 0.000000 4.000000")) << "the tool wrote another range";
    compare(file, 17);
    compare(file, 33);
}

// A 3D table over the inputs -0.25..1.25, once as a domain, once as an input range: neither is
// the device's grid, so both are sampled, on either device size.
TEST_F(ZanthicToolComparison, CubesOverAWiderDomain)
{
    const QString domain = withLines(source("iridas_cube", 33, 0, QStringLiteral("plain33.cube")),
                                     QStringLiteral("domain33.cube"),
                                     "DOMAIN_MIN -0.25 -0.25 -0.25\nDOMAIN_MAX 1.25 1.25 1.25\n");
    const QString range = withLines(source("resolve_cube", 17, 0, QStringLiteral("plain17.cube")),
                                    QStringLiteral("range17.cube"), "LUT_3D_INPUT_RANGE -0.25 1.25\n");
    for (const QString& file : {domain, range}) {
        compare(file, 17);
        compare(file, 33);
    }
}

} // namespace
