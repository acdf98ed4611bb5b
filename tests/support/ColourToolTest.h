#pragma once

// Files written by the colour-management tool and what the tool computes from them, for the tests
// that check a plug-in's own cube reader against it. The target names the tool's path in
// TWG_OCIOBAKELUT.

#include "tests/support/CubeFiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

#ifndef TWG_OCIOBAKELUT
#error "TWG_OCIOBAKELUT names the colour-management tool"
#endif

namespace colourtool {

inline const char* const kTool = TWG_OCIOBAKELUT;

// A configuration whose reference is the linear space "lin"; the spaces follow it.
inline constexpr char kConfigHead[] = R"(ocio_profile_version: 2
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
inline constexpr char kSourceSpaces[] = R"(  - !<ColorSpace>
    name: shaped
    from_scene_reference: !<ExponentTransform> {value: [0.5, 0.5, 0.5, 1]}
  - !<ColorSpace>
    name: graded
    from_scene_reference: !<GroupTransform>
      children:
        - !<MatrixTransform> {matrix: [0.8, 0.15, 0.05, 0, 0.1, 0.85, 0.05, 0, 0.02, 0.08, 0.9, 0, 0, 0, 0, 1]}
        - !<ExponentTransform> {value: [0.45, 0.45, 0.45, 1]}
)";

// A space that applies one file with linear interpolation, as a device's cube samples it: baked
// from a file alone, the tool would interpolate a cube tetrahedrally.
inline std::string fileSpace(const QString& fileName)
{
    return "  - !<ColorSpace>\n    name: file\n    from_scene_reference: !<FileTransform> {src: "
        + fileName.toStdString() + ", interpolation: linear}\n";
}

// A folder with the configuration of the source spaces, and the tool to bake files in it. The
// tool missing fails the test.
class ColourToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo(QString::fromLocal8Bit(kTool)).isExecutable())
            FAIL() << "ociobakelut not found (" << kTool << "): run tools/install-deps.sh";
        config = dir.write(QStringLiteral("config.ocio"), std::string(kConfigHead) + kSourceSpaces);
    }

    // Runs the tool on the configuration from "lin" with args and the output file name; answers
    // the output's path.
    QString bake(const QString& configPath, const QStringList& args, const QString& output)
    {
        const QString path = dir.path(output);
        const QStringList all = QStringList{QStringLiteral("--iconfig"), configPath, QStringLiteral("--inputspace"),
                                            QStringLiteral("lin")}
            + args + QStringList{path};
        QProcess tool;
        tool.start(QString::fromLocal8Bit(kTool), all);
        const bool finished = tool.waitForFinished(120000);
        EXPECT_TRUE(finished && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0)
            << all.join(QLatin1Char(' ')).toStdString() << "\n"
            << tool.readAllStandardError().toStdString();
        return path;
    }
    QString bake(const QStringList& args, const QString& output) { return bake(config, args, output); }

    // What the tool computes from the file at the points of a grid of the size, red fastest.
    std::vector<float> toolGrid(const QString& file, int points)
    {
        const QString name = QFileInfo(file).completeBaseName();
        const QString check =
            dir.write(name + QStringLiteral(".ocio"), std::string(kConfigHead) + fileSpace(QFileInfo(file).fileName()));
        const QString baked = bake(check,
                                   {QStringLiteral("--outputspace"), QStringLiteral("file"), QStringLiteral("--format"),
                                    QStringLiteral("iridas_cube"), QStringLiteral("--cubesize"), QString::number(points)},
                                   name + QStringLiteral("-%1.cube").arg(points));
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

    luttest::CubeDir dir;
    QString config;
};

} // namespace colourtool
