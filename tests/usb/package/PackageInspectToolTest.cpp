#include "PackageTestSupport.h"

#include "usb/package/FirmwarePackage.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QStringList>

using namespace PackageTest;

namespace {

struct ToolRun {
    int exitCode = -1;
    QStringList lines;
};

ToolRun inspect(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral(TWG_PACKAGE_INSPECT_TOOL), arguments);
    ToolRun run;
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = tool.exitCode();
    run.lines = QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    return run;
}

QString sha256Of(const Bytes& b)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(QByteArray(reinterpret_cast<const char*>(b.data()), int(b.size())),
                                 QCryptographicHash::Sha256)
            .toHex());
}

// Three entries: a compressed firmware image with every field set, an information entry of
// another product, and a stored one of the first product.
struct Package {
    Bytes image = Bytes(3000, 0x5A);
    Bytes info = pattern(40);
    Bytes stored = pattern(100, 3);
    Bytes file;

    Package()
    {
        TWG::Tools::PackageSection first = section(image, true, 0x0107);
        first.methodFlags = TWG::Tools::PackageWriter::methodFlagsFor(2);
        first.entries[0].byteA = 3;
        first.entries[0].byteB = 1;
        first.entries[0].word = 0x1000;
        first.entries[0].value = 7;
        first.entries[0].extra = 0x22;
        file = build({first, section(info, false, 42, 0, F::productKey(0xBD55)), section(stored, false, 0x0108)});
    }
    // The first section's data block, as the writer deflated it.
    std::size_t compressedSize() const
    {
        std::size_t length = 0;
        for (std::size_t i = 0; i < 4; ++i)
            length = length << 8 | file[kSection + F::kSectionLengthOffset + i];
        return length - F::kMinimumHeaderAreaLength;
    }
};

} // namespace

TEST(PackageInspectTool, PrintsTheResultAndEveryEntryOrTheChosenOnes)
{
    const Package p;
    TempFiles files;
    const QString path = QString::fromStdString(files.write("data-bd54.bin", p.file));
    const QString firstLine = QStringLiteral(
        "section 0x00000107 method 2 type 1 key 0x7c5dbd54 byte-a 3 byte-b 1 word 0x00001000 value 0x00000007 "
        "extra 0x0022 stored %1 inflated 3000")
        .arg(p.compressedSize());
    const QString infoLine = QStringLiteral(
        "section 0x0000002a method 0 type 0 key 0x7c5dbd55 byte-a 0 byte-b 0 word 0x00000000 value 0xffffffff "
        "extra 0xffff stored 40 inflated 40");
    const QString storedLine = QStringLiteral(
        "section 0x00000108 method 0 type 1 key 0x7c5dbd54 byte-a 0 byte-b 0 word 0x00000000 value 0xffffffff "
        "extra 0xffff stored 100 inflated 100");
    ASSERT_LT(p.compressedSize(), 3000u);

    const struct {
        const char* name;
        QStringList arguments;
        QStringList lines;
    } cases[] = {
        {"every entry", {path}, {"result 0 (success)", firstLine, infoLine, storedLine}},
        {"type and key", {path, "--type", "1", "--key", "0x7c5dbd54"}, {"result 0 (success)", firstLine, storedLine}},
        {"type only", {"--type", "0", path}, {"result 0 (success)", infoLine}},
        {"key only", {path, "--key", "0x7c5dbd55"}, {"result 0 (success)", infoLine}},
        {"no such entry", {path, "--type", "2"}, {"result 0 (success)"}},
        {"digests of the inflated data",
         {path, "--digest", "--key", "0x7c5dbd54"},
         {"result 0 (success)", firstLine + " sha256 " + sha256Of(p.image), storedLine + " sha256 " + sha256Of(p.stored)}},
    };
    for (const auto& c : cases) {
        const ToolRun run = inspect(c.arguments);
        EXPECT_EQ(run.exitCode, 0) << c.name;
        EXPECT_EQ(run.lines, c.lines) << c.name;
    }
}

TEST(PackageInspectTool, ADamagedPackageExitsNonZeroWithItsResult)
{
    const Package p;
    Bytes flipped = p.file;
    flipped.back() ^= 1;
    // A record of type 3 in the second section: the first entry is read before the fault.
    Bytes badRecord = p.file;
    const std::size_t second = kSection + F::kMinimumHeaderAreaLength + p.compressedSize();
    put16(badRecord, second + F::kSectionHeaderSize + F::kEntryTypeOffset, 3);
    TWG::Tools::PackageWriter::seal(badRecord);
    // The compressed data damaged under a good digest: the listing reads, the digest cannot.
    Bytes badStream = p.file;
    badStream[kData + 10] ^= 0xFF;
    TWG::Tools::PackageWriter::seal(badStream);

    TempFiles files;
    const struct {
        const char* name;
        QStringList arguments;
        int exitCode;
        QStringList lines;
    } cases[] = {
        {"body byte flipped", {QString::fromStdString(files.write("flipped.bin", flipped))}, 1,
         {"result 5 (digest mismatch)"}},
        {"72 bytes", {QString::fromStdString(files.write("short.bin", Bytes(p.file.begin(), p.file.begin() + 72)))}, 1,
         {"result 4 (file of 72 bytes or less)"}},
        {"no such file", {QString::fromStdString(files.path("none.bin"))}, 1,
         {"result 3 (cannot open, examine or read the file)"}},
        {"bad entry record", {QString::fromStdString(files.write("record.bin", badRecord)), "--type", "1"}, 1,
         {"result 6 (bad entry record)",
          QStringLiteral("section 0x00000107 method 2 type 1 key 0x7c5dbd54 byte-a 3 byte-b 1 word 0x00001000 "
                         "value 0x00000007 extra 0x0022 stored %1 inflated 3000").arg(p.compressedSize())}},
        {"data that does not inflate",
         {QString::fromStdString(files.write("stream.bin", badStream)), "--digest", "--type", "0"}, 0,
         {"result 0 (success)",
          "section 0x0000002a method 0 type 0 key 0x7c5dbd55 byte-a 0 byte-b 0 word 0x00000000 value 0xffffffff "
          "extra 0xffff stored 40 inflated 40 "
          "sha256 " + sha256Of(p.info)}},
    };
    for (const auto& c : cases) {
        const ToolRun run = inspect(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name;
        EXPECT_EQ(run.lines, c.lines) << c.name;
    }

    // The first entry's stream is broken: result 0, yet no digest and a non-zero exit.
    const ToolRun run = inspect({QString::fromStdString(files.path("stream.bin")), "--digest", "--type", "1"});
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_EQ(run.lines.size(), 3);
    EXPECT_EQ(run.lines[0], "result 0 (success)");
    EXPECT_TRUE(run.lines[1].endsWith(" sha256 - (the data does not inflate)")) << run.lines[1].toStdString();
}

// What the writer puts in a record the inspection shows, and a field a short record does not
// hold shows as absent: not the next record's bytes.
TEST(PackageInspectTool, ShowsTheFieldsEachRecordHolds)
{
    TWG::Tools::PackageSection s = section(pattern(30), false, 0x0109);
    s.entries[0].length = 20;
    s.entries[0].value = 9;
    TWG::Tools::PackageEntryRecord full;
    full.key = kKey;
    full.value = 10;
    full.extra = 0x1234;
    s.entries.push_back(full);
    TempFiles files;
    const ToolRun run = inspect({QString::fromStdString(files.write("data-bd54.bin", build({s})))});
    EXPECT_EQ(run.exitCode, 0);
    const QString common =
        QStringLiteral("section 0x00000109 method 0 type 1 key 0x7c5dbd54 byte-a 0 byte-b 0 word 0x00000000 ");
    EXPECT_EQ(run.lines, (QStringList{"result 0 (success)",
                                      common + "value 0x00000009 extra 0xffff stored 30 inflated 30",
                                      common + "value 0x0000000a extra 0x1234 stored 30 inflated 30"}));
}

TEST(PackageInspectTool, RefusesBadArguments)
{
    TempFiles files;
    const QString path = QString::fromStdString(files.write("data-bd54.bin", Package().file));
    for (const QStringList& arguments :
         {QStringList{}, QStringList{path, path}, QStringList{path, "--type"}, QStringList{path, "--type", "0x10000"},
          QStringList{path, "--key", "-1"}, QStringList{path, "--key", "0x100000000"}, QStringList{path, "--verbose"}}) {
        const ToolRun run = inspect(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.lines.isEmpty()) << arguments.join(' ').toStdString();
    }
}
