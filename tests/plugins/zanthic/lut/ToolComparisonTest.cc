#include "plugins/zanthic/device/CubeParser.h"

#include "tests/support/ColourToolTest.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cmath>
#include <cstdlib>
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

    // Every channel of the decoded 33-point cube within one step of the tool's.
    void compare(const QString& file)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        DeviceCube cube(33);
        ASSERT_EQ(DecodeCubeFile(std::string_view(text.constData(), std::size_t(text.size())), cube), 0);
        const std::vector<float> reference = toolGrid(file, 33);
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

} // namespace
