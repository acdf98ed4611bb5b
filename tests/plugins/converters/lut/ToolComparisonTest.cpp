#include "plugins/converters/lut/LutSampling.h"
#include "plugins/converters/lut/TavrinLUT.h"
#include "tests/plugins/converters/lut/CubeFiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

// Files written by a colour-management tool, read by TavrinLUT and compared with what the same tool
// computes from them: it bakes each file again onto the converter's own 33-point grid.
namespace {

using luttest::CubeDir;

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

// Spaces to write files from: a square-root shaper space and a graded space with channel
// cross-talk.
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

// A space that applies one file with linear interpolation: baked from a file alone, the tool
// interpolates a cube tetrahedrally.
std::string fileSpace(const QString& fileName)
{
    return "  - !<ColorSpace>\n    name: file\n    from_scene_reference: !<FileTransform> {src: "
        + fileName.toStdString() + ", interpolation: linear}\n";
}

class ToolComparison : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo(QString::fromLocal8Bit(kTool)).isExecutable())
            FAIL() << "ociobakelut not found (" << kTool << "): run tools/install-deps.sh";
        config = dir.write(QStringLiteral("config.ocio"), std::string(kConfigHead) + kSourceSpaces);
    }

    // Runs the tool with args and the output file name; answers the output's path.
    QString bake(QStringList args, const QString& output)
    {
        const QString path = dir.path(output);
        args << path;
        QProcess tool;
        tool.start(QString::fromLocal8Bit(kTool), args);
        const bool finished = tool.waitForFinished(120000);
        EXPECT_TRUE(finished && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0)
            << args.join(QLatin1Char(' ')).toStdString() << "\n"
            << tool.readAllStandardError().toStdString();
        return path;
    }

    QString bakeFromConfig(const QString& configPath, const QStringList& args, const QString& output)
    {
        return bake(QStringList{QStringLiteral("--iconfig"), configPath, QStringLiteral("--inputspace"), QStringLiteral("lin")}
                        + args,
                    output);
    }
    QString bakeFromConfig(const QStringList& args, const QString& output) { return bakeFromConfig(config, args, output); }

    // A copy of source with extra lines after its first line.
    QString withHeader(const QString& source, const QString& output, const std::string& lines)
    {
        QFile in(source);
        EXPECT_TRUE(in.open(QIODevice::ReadOnly));
        const QByteArray text = in.readAll();
        const int firstEnd = text.indexOf('\n') + 1;
        return dir.write(output, text.left(firstEnd).toStdString() + lines + text.mid(firstEnd).toStdString());
    }

    // What the tool computes at the converter's grid points, first component fastest.
    std::vector<float> toolGrid(const QString& source)
    {
        const QString name = QFileInfo(source).completeBaseName();
        const QString check = dir.write(name + QStringLiteral(".ocio"),
                                        std::string(kConfigHead) + fileSpace(QFileInfo(source).fileName()));
        const QString baked = bakeFromConfig(check,
                                             {QStringLiteral("--outputspace"), QStringLiteral("file"), QStringLiteral("--format"),
                                              QStringLiteral("iridas_cube"), QStringLiteral("--cubesize"),
                                              QString::number(lutgrid::kPoints)},
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

    // Each code of our table against the tool's value at the same point, as the device would get it.
    void compare(const QString& source, int expectedShaper, int expectedSecond, bool expected3D)
    {
        TavrinLUT lut;
        ASSERT_TRUE(lut.load(source)) << lut.message().toStdString();
        EXPECT_TRUE(lut.message().isEmpty());
        EXPECT_EQ(lut.shaperSize(), expectedShaper);
        EXPECT_EQ(lut.secondSize(), expectedSecond);
        EXPECT_EQ(lut.secondIs3D(), expected3D);
        const std::vector<float> reference = toolGrid(source);
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

    CubeDir dir;
    QString config;
};

TEST_F(ToolComparison, PlainCube)
{
    const QString source = bakeFromConfig({QStringLiteral("--outputspace"), QStringLiteral("graded"), QStringLiteral("--format"),
                                           QStringLiteral("iridas_cube"), QStringLiteral("--cubesize"), QStringLiteral("17")},
                                          QStringLiteral("plain.cube"));
    compare(source, 0, 17, true);
}

TEST_F(ToolComparison, CubeOverADomain)
{
    const QString plain = bakeFromConfig({QStringLiteral("--outputspace"), QStringLiteral("graded"), QStringLiteral("--format"),
                                          QStringLiteral("iridas_cube"), QStringLiteral("--cubesize"), QStringLiteral("17")},
                                         QStringLiteral("plain.cube"));
    compare(withHeader(plain, QStringLiteral("domain.cube"), "DOMAIN_MIN -0.25 -0.25 -0.25\nDOMAIN_MAX 1.5 1.5 1.5\n"), 0,
            17, true);
}

TEST_F(ToolComparison, ShaperAndCube)
{
    const QString source = bakeFromConfig(
        {QStringLiteral("--outputspace"), QStringLiteral("graded"), QStringLiteral("--shaperspace"), QStringLiteral("shaped"),
         QStringLiteral("--format"), QStringLiteral("resolve_cube"), QStringLiteral("--cubesize"), QStringLiteral("17"),
         QStringLiteral("--shapersize"), QStringLiteral("64")},
        QStringLiteral("shaped.cube"));
    compare(source, 64, 17, true);
}

TEST_F(ToolComparison, OneDimensionalOverAnInputRange)
{
    const QString source = bakeFromConfig({QStringLiteral("--outputspace"), QStringLiteral("shaped"), QStringLiteral("--format"),
                                           QStringLiteral("resolve_cube")},
                                          QStringLiteral("curve.cube"));
    compare(source, 4096, 0, false);
    compare(withHeader(source, QStringLiteral("ranged.cube"), "LUT_1D_INPUT_RANGE 0.125 0.75\n"), 4096, 0, false);
}

} // namespace
