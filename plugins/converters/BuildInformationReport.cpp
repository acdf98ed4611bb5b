#include "plugins/converters/BuildInformationReport.h"

#include "BuildInfo.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <cstdint>

namespace {

const char kFpgaVersions[] = ":/Converters/FpgaVersions";
const char kConverterChecksums[] = ":/Converters/ConverterChecksums";
const char kZanthicConverterChecksums[] = ":/Converters/ZanthicConverterChecksums";
constexpr int kKeyWidth = 24;

// A: FPGA version only (FX2 models); B: FPGA version and XMEGA checksum; C: checksum only.
enum class Shape { A, B, C };

struct ReportRow {
    std::uint16_t productId;
    Shape shape;
    const char* key;
    const char* fpgaName;
    const char* checksumName;
};

// The keys and names are neutral placeholders for the maker's product data.
constexpr ReportRow kRows[] = {
    {0xBD46, Shape::A, "Model02Rev2", "model02rev2_fpga", ""},
    {0xBD47, Shape::A, "Model04Rev2", "model04rev2_fpga", ""},
    {0xBD16, Shape::A, "Model02", "model02_fpga", ""},
    {0xBD18, Shape::A, "Model04", "model04_fpga", ""},
    {0xBD15, Shape::A, "Model01", "model01_fpga", ""},
    {0xBD17, Shape::A, "Model03", "model03_fpga", ""},
    {0xBD19, Shape::A, "Model05", "model05_fpga", ""},
    {0xBD27, Shape::A, "Model06", "model06_fpga", ""},
    {0xBD28, Shape::A, "Model07", "model07_fpga", ""},
    {0xBD2C, Shape::A, "DviExtender", "dviextender_fpga", ""},
    {0xBD31, Shape::A, "Model12", "model12_fpga", ""},
    {0xBDD0, Shape::A, "Model12Rev2", "model12rev2_fpga", ""},
    {0xBD30, Shape::A, "Model11", "model11_fpga", ""},
    {0xBD2E, Shape::A, "Model09", "model09_fpga", ""},
    {0xBD2F, Shape::A, "Model10", "model10_fpga", ""},
    {0xBDCF, Shape::A, "Model10Rev2", "model10rev2_fpga", ""},
    {0xBD32, Shape::A, "Model13", "model13_fpga", ""},
    {0xBD33, Shape::A, "Model14", "model14_fpga", ""},
    {0xBD34, Shape::A, "Model15", "model15_fpga", ""},
    {0xBD41, Shape::A, "Model16", "model16_fpga", ""},
    {0xBD53, Shape::A, "Model17", "model17_fpga", ""},
    {0xBD54, Shape::A, "Model18", "model18_fpga", ""},
    {0xBD55, Shape::A, "Model19", "model19_fpga", ""},
    {0xBD82, Shape::A, "Model19Rev2", "model19rev2_fpga", ""},
    {0xBD5F, Shape::A, "Model20", "model20_fpga", ""},
    {0xBD60, Shape::A, "Model21", "model21_fpga", ""},
    {0xBD69, Shape::A, "Model22", "model22_fpga", ""},
    {0xBD6A, Shape::A, "Model23", "model23_fpga", ""},
    {0xBD83, Shape::A, "Model24", "model24_fpga", ""},
    {0xBD84, Shape::A, "Model22Rev2", "model22rev2_fpga", ""},
    {0xBD85, Shape::A, "Model25", "model25_fpga", ""},
    {0xBD96, Shape::B, "Model31", "model31_fpga", "kMODEL31XmegaFirmwareChecksum"},
    {0xBD92, Shape::B, "Model27", "model27_fpga", "kMODEL27XmegaFirmwareChecksum"},
    {0xBD91, Shape::B, "Model26", "model26_fpga", "kMODEL26XmegaFirmwareChecksum"},
    {0xBD95, Shape::B, "Model30", "model30_fpga", "kMODEL30XmegaFirmwareChecksum"},
    {0xBD93, Shape::B, "Model28", "model28_fpga", "kMODEL28XmegaFirmwareChecksum"},
    {0xBD94, Shape::B, "Model29", "model29_fpga", "kMODEL29XmegaFirmwareChecksum"},
    {0xBDE7, Shape::B, "Model06Rev2", "model06rev2_fpga", "kMODEL06REV2XmegaFirmwareChecksum"},
    {0xBDF2, Shape::B, "Model35", "model35_fpga", "kMODEL35XmegaFirmwareChecksum"},
    {0xBDF6, Shape::B, "Model36", "model36_fpga", "kMODEL36XmegaFirmwareChecksum"},
    {0xBE06, Shape::B, "Model38", "model38_fpga", "kMODEL38XmegaFirmwareChecksum"},
    {0xBDB8, Shape::B, "Model32", "model32_fpga", "kMODEL32XmegaFirmwareChecksum"},
    {0xBDC5, Shape::C, "Model33", "", "kMODEL33XmegaFirmwareChecksum"},
    {0xBDC6, Shape::C, "Model34", "", "kMODEL34XmegaFirmwareChecksum"},
    {0xBE00, Shape::C, "Model37", "", "kMODEL37XmegaFirmwareChecksum"},
    {0xBE0C, Shape::B, "Model39", "model39_fpga", "kModel39BridgeFirmwareChecksum"},
};

QString headerLine(const char* label, const char* value)
{
    return QStringLiteral("\t%1\t%2\n").arg(QLatin1String(label), QLatin1String(value));
}

} // namespace

void readFpgaVersions(const QString& resource, QMap<QString, QString>& map)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream in(&file);
    while (!in.atEnd()) {
        QString name;
        QString value;
        in >> name >> value;
        // Trailing whitespace reads as an empty word, which names nothing.
        if (name.isEmpty())
            continue;
        map[name] = value;
    }
}

void readChecksumDefines(const QString& resource, QMap<QString, QString>& map)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    static const QRegularExpression whitespace(QStringLiteral("\\s+"));
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList parts = in.readLine().split(whitespace, Qt::KeepEmptyParts);
        if (parts.size() > 2 && parts.at(0) == QLatin1String("#define"))
            map[parts.at(1)] = parts.at(2);
    }
}

QString converterBuildInformation()
{
    QString report = QStringLiteral("** Converters plugin build information\n");
    report += headerLine("Time:     ", BuildInfo::kTimeStamp);
    report += headerLine("RC Tag:   ", BuildInfo::kTag);
    report += headerLine("Revision: ", BuildInfo::kRevision);
    report += QLatin1Char('\n');

    QMap<QString, QString> fpga;
    readFpgaVersions(QLatin1String(kFpgaVersions), fpga);
    QMap<QString, QString> checksums;
    readChecksumDefines(QLatin1String(kConverterChecksums), checksums);
    readChecksumDefines(QLatin1String(kZanthicConverterChecksums), checksums);

    for (const ReportRow& row : kRows) {
        const QString id = QString::number(row.productId, 16);
        const QString key = QString::fromLatin1(row.key).leftJustified(kKeyWidth, QLatin1Char(' '));
        const QString version = fpga.value(QLatin1String(row.fpgaName));
        const QString checksum = checksums.value(QLatin1String(row.checksumName));
        switch (row.shape) {
        case Shape::A:
            report += QStringLiteral("[0x%1] %2%3\n").arg(id, key, version);
            break;
        case Shape::B:
            report += QStringLiteral("[0x%1] %2%3  %4\n").arg(id, key, version, checksum);
            break;
        case Shape::C:
            report += QStringLiteral("[0x%1] %2      %3\n").arg(id, key, checksum);
            break;
        }
    }
    return report;
}
