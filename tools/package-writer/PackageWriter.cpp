#include "tools/package-writer/PackageWriter.h"

#include "usb/package/PackageFormat.h"
#include "usb/package/Sha256.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace TWG::Tools {

namespace F = TWG::USB::PackageFormat;

namespace {

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint16_t v)
{
    out[at] = std::uint8_t(v >> 8);
    out[at + 1] = std::uint8_t(v);
}

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + std::size_t(i)] = std::uint8_t(v >> (24 - 8 * i));
}

bool fail(std::string* error, const std::string& reason)
{
    if (error)
        *error = reason;
    return false;
}

// Deflated data that is not smaller is stored as it is: the reader refuses a section whose
// uncompressed size is below its stored size.
bool deflateData(const std::vector<std::uint8_t>& in, std::vector<std::uint8_t>& out)
{
    uLongf length = compressBound(uLong(in.size()));
    out.resize(length);
    if (compress2(out.data(), &length, in.data(), uLong(in.size()), Z_BEST_COMPRESSION) != Z_OK)
        return false;
    out.resize(length);
    return true;
}

} // namespace

std::uint8_t PackageWriter::methodFlagsFor(int method)
{
    return method >= 1 && method <= F::kMethodFlagCount ? std::uint8_t(1u << (method - 1)) : 0;
}

void PackageWriter::seal(std::vector<std::uint8_t>& file)
{
    if (file.size() < F::kBodyOffset)
        return;
    TWG::USB::Sha256 sha;
    sha.update(F::kSalt, F::kSaltSize);
    sha.update(file.data() + F::kBodyOffset, file.size() - F::kBodyOffset);
    const auto digest = sha.finish();
    std::memcpy(file.data(), digest.data(), digest.size());
}

bool PackageWriter::build(std::vector<std::uint8_t>& file, std::string* error) const
{
    file.assign(F::kBodyOffset, 0);
    int index = 0;
    for (const PackageSection& section : sections_) {
        const std::string where = "section " + std::to_string(index++) + ": ";
        if (section.entries.empty())
            return fail(error, where + "has no entries");
        if (section.data.empty())
            return fail(error, where + "has no data");
        if (section.data.size() > std::numeric_limits<std::uint32_t>::max())
            return fail(error, where + "data too large");

        std::size_t headerArea = F::kSectionHeaderSize;
        for (const PackageEntryRecord& record : section.entries) {
            if (record.length < F::kMinimumRecordLength || record.length > F::kMaximumRecordLength)
                return fail(error, where + "record length must be 16..24");
            if (record.type >= F::kEntryTypeLimit)
                return fail(error, where + "entry type must be 0..2");
            // A field the record cannot hold would read as absent, or as the next record's bytes.
            if (record.value != F::kAbsentEntryValue && record.length < F::kRecordLengthWithValue)
                return fail(error, where + "an entry value needs a record of 20 bytes or more");
            if (record.extra != F::kAbsentExtra
                && (record.kind != F::kRecordKindWithExtra || record.length < F::kRecordLengthWithExtra))
                return fail(error, where + "an extra field needs a record of kind 2 and 22 bytes or more");
            headerArea += record.length;
        }
        if (headerArea < F::kMinimumHeaderAreaLength)
            return fail(error, where + "records must take at least 24 bytes");
        if (headerArea > std::numeric_limits<std::uint16_t>::max())
            return fail(error, where + "too many records");

        const std::size_t lastLength = section.entries.back().length;
        std::vector<std::uint8_t> deflated;
        bool compressed = false;
        if (section.compress) {
            if (!deflateData(section.data, deflated))
                return fail(error, where + "cannot compress");
            compressed = deflated.size() < section.data.size();
        }
        const std::vector<std::uint8_t>& block = compressed ? deflated : section.data;
        if (lastLength + block.size() < F::kRecordReadSize)
            return fail(error, where + "data too short behind a short last record");
        const std::uint64_t sectionLength = headerArea + block.size();
        if (sectionLength > std::numeric_limits<std::uint32_t>::max())
            return fail(error, where + "data too large");

        const std::size_t start = file.size();
        // Records shorter than 24 bytes are read as 24; the last one's tail is the data block.
        file.resize(start + std::size_t(sectionLength), 0);
        put16(file, start + F::kSectionMagicOffset, F::kSectionMagic);
        put32(file, start + F::kSectionIdOffset, section.id);
        put32(file, start + F::kSectionLengthOffset, std::uint32_t(sectionLength));
        put16(file, start + F::kHeaderAreaLengthOffset, std::uint16_t(headerArea));
        file[start + F::kCompressedFlagOffset] = compressed ? 1 : 0;
        file[start + F::kMethodFlagsOffset] = section.methodFlags;
        put32(file, start + F::kUncompressedSizeOffset, std::uint32_t(section.data.size()));
        put32(file, start + F::kAttributesOffset, section.attributes);

        std::vector<std::uint8_t> record(F::kRecordReadSize);
        std::size_t at = start + F::kSectionHeaderSize;
        for (const PackageEntryRecord& r : section.entries) {
            std::fill(record.begin(), record.end(), 0);
            put16(record, F::kRecordKindOffset, r.kind);
            put16(record, F::kRecordLengthOffset, r.length);
            put32(record, F::kEntryWordOffset, r.word);
            record[F::kEntryByteAOffset] = r.byteA;
            record[F::kEntryByteBOffset] = r.byteB;
            put16(record, F::kEntryTypeOffset, r.type);
            put32(record, F::kEntryKeyOffset, r.key);
            put32(record, F::kEntryValueOffset, r.value);
            put16(record, F::kEntryExtraOffset, r.extra);
            std::memcpy(file.data() + at, record.data(), r.length);
            at += r.length;
        }
        std::memcpy(file.data() + start + headerArea, block.data(), block.size());
    }
    seal(file);
    return true;
}

bool PackageWriter::saveFile(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* error)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return fail(error, "cannot create " + path);
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed)
        return fail(error, "cannot write " + path);
    return true;
}

bool PackageWriter::writeFile(const std::string& path, std::string* error) const
{
    std::vector<std::uint8_t> bytes;
    return build(bytes, error) && saveFile(path, bytes, error);
}

} // namespace TWG::Tools
