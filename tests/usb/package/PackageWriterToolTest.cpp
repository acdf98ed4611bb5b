#include "PackageTestSupport.h"

#include "usb/package/FirmwarePackage.h"

#include <QProcess>
#include <QStringList>

using namespace PackageTest;
using TWG::USB::FirmwarePackage;
using TWG::USB::FirmwarePackageEntryList;

namespace {

int runTool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral(TWG_PACKAGE_WRITER_TOOL), arguments);
    if (!tool.waitForFinished(30000))
        return -1;
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

} // namespace

TEST(PackageWriterTool, WritesWhatTheReaderReads)
{
    TempFiles files;
    const std::string image = files.write("image.bin", Bytes(3000, 0x5A));
    const std::string info = files.write("info.bin", pattern(40));
    const std::string out = files.path("data-bd54.bin");
    ASSERT_EQ(runTool({"-o", QString::fromStdString(out),
                       "--id", "0x0107", "--method", "2", "--compress", "--byte-a", "3", "--byte-b", "1",
                       "--word", "0x1000", "--value", "7", "--extra", "0x22", "--attributes", "0xabcd",
                       "--entry", QString::fromStdString("1:7c5d:bd54:" + image),
                       "--id", "42", "--entry", QString::fromStdString("0:7c5d:bd54:" + info)}),
              0);

    FirmwarePackage package;
    package.setPath(out);
    FirmwarePackageEntryList list;
    ASSERT_EQ(package.readEntries(1, kKey, list), 0);
    ASSERT_EQ(list.count(), 1);
    auto* e = list.at(0);
    EXPECT_EQ(e->sectionId(), 0x0107u);
    EXPECT_EQ(e->sectionAttributes(), 0xABCDu);
    EXPECT_EQ(e->compressionMethod(), 2);
    EXPECT_TRUE(e->isCompressed());
    EXPECT_EQ(e->entryByteA(), 3);
    EXPECT_EQ(e->entryByteB(), 1);
    EXPECT_EQ(e->entryWord(), 0x1000u);
    EXPECT_EQ(e->entryValue(), 7u);
    EXPECT_EQ(e->extra(), 0x22);
    ASSERT_EQ(e->size(), 3000u);
    EXPECT_EQ(Bytes(e->data(), e->data() + e->size()), Bytes(3000, 0x5A));

    // Options apply to one entry only: the information entry has the defaults.
    ASSERT_EQ(package.readEntries(0, kKey, list), 0);
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.at(0)->sectionId(), 42u);
    EXPECT_EQ(list.at(0)->compressionMethod(), 0);
    EXPECT_FALSE(list.at(0)->isCompressed());
    ASSERT_EQ(list.at(0)->size(), 40u);
    EXPECT_EQ(Bytes(list.at(0)->data(), list.at(0)->data() + 40), pattern(40));
}

TEST(PackageWriterTool, RefusesBadArguments)
{
    TempFiles files;
    const std::string image = files.write("image.bin", Bytes(10, 1));
    const QString out = QString::fromStdString(files.path("out.bin"));
    const QString entry = QString::fromStdString("1:7c5d:bd54:" + image);
    const struct {
        const char* name;
        QStringList arguments;
        int exitCode;
    } cases[] = {
        {"no output", {"--entry", entry}, 2},
        {"no entry", {"-o", out}, 2},
        {"entry type 3", {"-o", out, "--entry", QString::fromStdString("3:7c5d:bd54:" + image)}, 2},
        {"product id too large", {"-o", out, "--entry", QString::fromStdString("1:7c5d:1bd54:" + image)}, 2},
        {"method 5", {"-o", out, "--method", "5", "--entry", entry}, 2},
        {"missing image", {"-o", out, "--entry", QString::fromStdString("1:7c5d:bd54:" + files.path("none"))}, 1},
        {"empty image", {"-o", out, "--entry", QString::fromStdString("1:7c5d:bd54:" + files.write("empty", {}))}, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(runTool(c.arguments), c.exitCode) << c.name;
}

TEST(PackageWriter, IncompressibleDataIsStoredAsItIs)
{
    Bytes noise(512);
    std::uint32_t x = 12345;
    for (auto& b : noise) {
        x = x * 1103515245u + 12345u;
        b = std::uint8_t(x >> 24);
    }
    TempFiles files;
    FirmwarePackage package;
    package.setPath(files.write("p.bin", build({section(noise, true)})));
    FirmwarePackageEntryList list;
    ASSERT_EQ(package.readEntries(1, kKey, list), 0);
    ASSERT_EQ(list.count(), 1);
    EXPECT_FALSE(list.at(0)->isCompressed());
    ASSERT_EQ(list.at(0)->size(), noise.size());
    EXPECT_EQ(Bytes(list.at(0)->data(), list.at(0)->data() + noise.size()), noise);
}

TEST(PackageWriter, RefusesSectionsTheReaderWouldRejectOrMisread)
{
    auto withRecords = [](std::vector<std::uint16_t> lengths, std::size_t dataSize) {
        TWG::Tools::PackageSection s = section(Bytes(dataSize, 1));
        s.entries.clear();
        for (std::uint16_t n : lengths) {
            TWG::Tools::PackageEntryRecord r;
            r.length = n;
            s.entries.push_back(r);
        }
        return s;
    };
    TWG::Tools::PackageSection badType = section(Bytes(10, 1));
    badType.entries[0].type = 3;
    auto withFields = [](std::uint16_t kind, std::uint16_t length, std::uint32_t value, std::uint16_t extra) {
        TWG::Tools::PackageSection s = section(Bytes(40, 1));
        s.entries[0].kind = kind;
        s.entries[0].length = length;
        s.entries[0].value = value;
        s.entries[0].extra = extra;
        s.entries.push_back(TWG::Tools::PackageEntryRecord()); // so that the header area is long enough
        return s;
    };
    const struct {
        const char* name;
        TWG::Tools::PackageSection section;
        const char* error = "";
    } cases[] = {
        {"no entries", withRecords({}, 10)},
        {"no data", withRecords({24}, 0)},
        {"header area below 48", withRecords({16}, 10)},
        {"record length 15", withRecords({15, 24}, 10)},
        {"record length 25", withRecords({25}, 10)},
        {"entry type 3", badType},
        {"short last record reads past the data", withRecords({24, 16}, 7)},
        {"a value in a 19-byte record", withFields(2, 19, 7, F::kAbsentExtra), "an entry value needs"},
        {"an extra field in a 21-byte record", withFields(2, 21, 7, 0x22), "an extra field needs"},
        {"an extra field in a record of kind 1", withFields(1, 24, 7, 0x22), "an extra field needs"},
    };
    for (const auto& c : cases) {
        TWG::Tools::PackageWriter writer;
        writer.addSection(c.section);
        Bytes file;
        std::string error;
        EXPECT_FALSE(writer.build(file, &error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
    }
    // The same fields where the records hold them.
    for (const auto& s :
         {withFields(2, 20, 7, F::kAbsentExtra), withFields(2, 22, 7, 0x22), withFields(1, 24, 7, F::kAbsentExtra)}) {
        TWG::Tools::PackageWriter writer;
        writer.addSection(s);
        Bytes file;
        std::string error;
        EXPECT_TRUE(writer.build(file, &error)) << error;
    }
}
