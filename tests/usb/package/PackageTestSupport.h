#pragma once

#include "tests/support/Bytes.h"
#include "tools/package-writer/PackageWriter.h"
#include "usb/package/PackageFormat.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace PackageTest {

namespace F = TWG::USB::PackageFormat;
constexpr std::uint16_t kProduct = 0xBD54;
constexpr std::uint32_t kKey = F::productKey(kProduct);
// Layout of a package whose first section has 24-byte records.
constexpr std::size_t kSection = F::kBodyOffset;
constexpr std::size_t kRecord = kSection + F::kSectionHeaderSize;
constexpr std::size_t kData = kRecord + F::kRecordReadSize; // of a one-record section

inline void put16(Bytes& b, std::size_t at, std::uint16_t v)
{
    b.at(at) = std::uint8_t(v >> 8);
    b.at(at + 1) = std::uint8_t(v);
}

inline void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    put16(b, at, std::uint16_t(v >> 16));
    put16(b, at + 2, std::uint16_t(v));
}

inline TWG::Tools::PackageSection section(Bytes data, bool compress = false, std::uint32_t id = 0x0107,
                                          std::uint16_t type = 1, std::uint32_t key = kKey)
{
    TWG::Tools::PackageSection s;
    s.id = id;
    s.compress = compress;
    s.data = std::move(data);
    TWG::Tools::PackageEntryRecord r;
    r.type = type;
    r.key = key;
    s.entries.push_back(r);
    return s;
}

inline Bytes build(const std::vector<TWG::Tools::PackageSection>& sections)
{
    TWG::Tools::PackageWriter writer;
    for (const auto& s : sections)
        writer.addSection(s);
    Bytes file;
    std::string error;
    EXPECT_TRUE(writer.build(file, &error)) << error;
    return file;
}

// "#" starts a comment; everything else is whitespace-separated hex bytes.
inline Bytes readHexFile(const std::string& path)
{
    std::ifstream in(path);
    EXPECT_TRUE(in.good()) << path;
    Bytes out;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string word;
        while (words >> word)
            out.push_back(std::uint8_t(std::stoul(word, nullptr, 16)));
    }
    return out;
}

class TempFiles {
public:
    TempFiles() { EXPECT_TRUE(dir_.isValid()); }
    std::string path(const std::string& name) const { return dir_.filePath(QString::fromStdString(name)).toStdString(); }
    std::string write(const std::string& name, const Bytes& bytes) const
    {
        const std::string p = path(name);
        std::string error;
        EXPECT_TRUE(TWG::Tools::PackageWriter::saveFile(p, bytes, &error)) << error;
        return p;
    }

private:
    QTemporaryDir dir_;
};

} // namespace PackageTest
