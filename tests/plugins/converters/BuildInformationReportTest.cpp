#include "plugins/converters/BuildInformationReport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

namespace {

QString writeFile(const QTemporaryDir& dir, const char* name, const char* text)
{
    const QString path = dir.filePath(QLatin1String(name));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    return path;
}

TEST(BuildInformationReport, ChecksumDefinesTakeNameAndFirstValueOnly)
{
    QTemporaryDir dir;
    const QString first = writeFile(dir, "first.h",
                                     "#ifndef GUARD\n"
                                     "#define GUARD\n"
                                     "#define kOnly 0x11111111\n"
                                     "#define kBoth 0x22222222\n"
                                     "#define kExtra 0x33333333 trailing words\n"
                                     "   #define kIndented 0x44444444\n"
                                     "\n"
                                     "#endif\n");
    const QString second = writeFile(dir, "second.h", "#define kBoth 0x55555555\n");
    QMap<QString, QString> map;
    readChecksumDefines(first, map);
    readChecksumDefines(second, map);
    readChecksumDefines(dir.filePath(QStringLiteral("missing.h")), map);
    const QMap<QString, QString> expected{{"kOnly", "0x11111111"},
                                          {"kBoth", "0x55555555"},
                                          {"kExtra", "0x33333333"}};
    EXPECT_EQ(map, expected);
}

TEST(BuildInformationReport, FpgaVersionsArePairsAndTheLaterPairWins)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, "fpga", "a_fpga 0x0D\nb_fpga\t0x01  a_fpga 0x0E\n\n");
    QMap<QString, QString> map{{"kept", "1"}};
    readFpgaVersions(path, map);
    readFpgaVersions(dir.filePath(QStringLiteral("missing")), map);
    const QMap<QString, QString> expected{{"kept", "1"}, {"a_fpga", "0x0E"}, {"b_fpga", "0x01"}};
    EXPECT_EQ(map, expected);
}

// Header, then one line per model in the fixed order: id, key in 24 columns, then FPGA version
// (FX2 models), FPGA version and checksum, or checksum alone.
TEST(BuildInformationReport, ReportHasTheHeaderAndOneLinePerModelByShape)
{
    const QStringList lines = converterBuildInformation().split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines[0], QStringLiteral("** Converters plugin build information"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\tTime:     \\t\\d{14}$")).match(lines[1]).hasMatch()) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("\tRC Tag:   \t"))) << lines[2].toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\tRevision: \\t([0-9a-f]{40}|-)$")).match(lines[3]).hasMatch())
        << lines[3].toStdString();
    EXPECT_EQ(lines[4], QString());

    const char* const shapeA = "^\\[0x%1\\] .{24}0x00$";
    const char* const shapeB = "^\\[0x%1\\] .{24}0x00  0x00000000$";
    const char* const shapeC = "^\\[0x%1\\] .{24}      0x00000000$";
    const struct {
        const char* pattern;
        std::vector<int> ids;
    } groups[] = {
        {shapeA, {0xBD46, 0xBD47, 0xBD16, 0xBD18, 0xBD15, 0xBD17, 0xBD19, 0xBD27, 0xBD28, 0xBD2C, 0xBD31,
                  0xBDD0, 0xBD30, 0xBD2E, 0xBD2F, 0xBDCF, 0xBD32, 0xBD33, 0xBD34, 0xBD41, 0xBD53, 0xBD54,
                  0xBD55, 0xBD82, 0xBD5F, 0xBD60, 0xBD69, 0xBD6A, 0xBD83, 0xBD84, 0xBD85}},
        {shapeB, {0xBD96, 0xBD92, 0xBD91, 0xBD95, 0xBD93, 0xBD94, 0xBDE7, 0xBDF2, 0xBDF6, 0xBE06, 0xBDB8}},
        {shapeC, {0xBDC5, 0xBDC6, 0xBE00}},
        {shapeB, {0xBE0C}},
    };
    int line = 5;
    for (const auto& group : groups) {
        for (int id : group.ids) {
            ASSERT_LT(line, lines.size());
            const QString expected = QString::fromLatin1(group.pattern).arg(id, 0, 16);
            EXPECT_TRUE(QRegularExpression(expected).match(lines[line]).hasMatch())
                << lines[line].toStdString() << " !~ " << expected.toStdString();
            // The key is left-aligned: no blank before it, padding after it.
            EXPECT_NE(lines[line].at(9), QLatin1Char(' ')) << lines[line].toStdString();
            ++line;
        }
    }
    EXPECT_EQ(line, 5 + 46);
    ASSERT_EQ(lines.size(), line + 1) << "the report ends with its last line's newline";
    EXPECT_EQ(lines.last(), QString());
}

} // namespace
