#include "plugins/zanthic/device/CubeParser.h"

#include "LutSimFixture.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>
#include <cstdlib>
#include <vector>

// Files written by a colour-management tool, decoded onto the device's cube and compared with
// what the same tool computes from them, baked again onto a plain 33-point cube.
namespace {

using luttest::CubeDir;
using TWG::Zanthic::DecodeCubeFile;
using TWG::Zanthic::DeviceCube;

const char* const kTool = TWG_OCIOBAKELUT;

const char kConfigHead[] = R"(ocio_profile_version: 2
search_path: .
roles:
  default: lin
  reference: lin
  scene_linear: lin
file_rules:
  - !<Rule> {name: Default, colorspace: default}
displays:
  d:
    - !<View> {name: v, colorspace: lin}
colorspaces:
  - !<ColorSpace>
    name: lin
)";

// A square-root shaper space and a graded space with channel cross-talk.
const char kSourceSpaces[] = R"(  - !<ColorSpace>
    name: shaped
    from_scene_reference: !<ExponentTransform> {value: [0.5, 0.5, 0.5, 1]}
  - !<ColorSpace>
    name: graded
    from_scene_reference: !<GroupTransform>
      children:
        - !<MatrixTransform> {matrix: [0.8, 0.15, 0.05, 0, 0.1, 0.85, 0.05, 0, 0.02, 0.08, 0.9, 0, 0, 0, 0, 1]}
        - !<ExponentTransform> {value: [0.45, 0.45, 0.45, 1]}
)";

// A space that applies one file with linear interpolation, as the device's cube samples it.
std::string fileSpace(const QString& fileName)
{
    return "  - !<ColorSpace>\n    name: file\n    from_scene_reference: !<FileTransform> {src: " + fileName.toStdString()
        + ", interpolation: linear}\n";
}

class ZanthicToolComparison : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo(QString::fromLocal8Bit(kTool)).isExecutable())
            FAIL() << "ociobakelut not found (" << kTool << "): run tools/install-deps.sh";
        config = dir.write(QStringLiteral("config.ocio"), std::string(kConfigHead) + kSourceSpaces);
    }

    QString bake(const QString& configPath, QStringList args, const QString& output)
    {
        const QString path = dir.path(output);
        args = QStringList{QStringLiteral("--iconfig"), configPath, QStringLiteral("--inputspace"), QStringLiteral("lin")} + args;
        args << path;
        QProcess tool;
        tool.start(QString::fromLocal8Bit(kTool), args);
        const bool finished = tool.waitForFinished(120000);
        EXPECT_TRUE(finished && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0)
            << args.join(QLatin1Char(' ')).toStdString() << "\n"
            << tool.readAllStandardError().toStdString();
        return path;
    }

    // A file the tool writes from the graded space: format, cube size, and a shaper size (0: none).
    QString source(const char* format, int cubeSize, int shaperSize, const QString& name)
    {
        QStringList args{QStringLiteral("--outputspace"), QStringLiteral("graded"), QStringLiteral("--format"),
                         QString::fromLatin1(format), QStringLiteral("--cubesize"), QString::number(cubeSize)};
        if (shaperSize > 0)
            args << QStringLiteral("--shaperspace") << QStringLiteral("shaped") << QStringLiteral("--shapersize")
                 << QString::number(shaperSize);
        return bake(config, args, name);
    }

    // What the tool computes from the file at the points of a 33-point grid, red fastest.
    std::vector<float> toolGrid(const QString& file)
    {
        const QString name = QFileInfo(file).completeBaseName();
        const QString check =
            dir.write(name + QStringLiteral(".ocio"), std::string(kConfigHead) + fileSpace(QFileInfo(file).fileName()));
        const QString baked = bake(check,
                                   {QStringLiteral("--outputspace"), QStringLiteral("file"), QStringLiteral("--format"),
                                    QStringLiteral("iridas_cube"), QStringLiteral("--cubesize"), QStringLiteral("33")},
                                   name + QStringLiteral("-33.cube"));
        QFile f(baked);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text));
        std::vector<float> values;
        const QRegularExpression blanks(QStringLiteral("\\s+"));
        while (!f.atEnd()) {
            const QStringList parts = QString::fromLatin1(f.readLine()).trimmed().split(blanks);
            bool ok = false;
            if (parts.size() == 3 && (parts[0].toFloat(&ok), ok))
                for (const QString& p : parts)
                    values.push_back(p.toFloat());
        }
        return values;
    }

    // Every channel of the decoded 33-point cube within one step of the tool's.
    void compare(const QString& file)
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        DeviceCube cube(33);
        ASSERT_EQ(DecodeCubeFile(std::string_view(text.constData(), std::size_t(text.size())), cube), 0);
        const std::vector<float> reference = toolGrid(file);
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

    CubeDir dir;
    QString config;
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
