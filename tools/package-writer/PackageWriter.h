#pragma once

#include "usb/package/PackageFormat.h"

#include <cstdint>
#include <string>
#include <vector>

namespace TWG::Tools {

// One entry record; the defaults make a full 24-byte record with every field present.
struct PackageEntryRecord {
    std::uint16_t type = USB::PackageFormat::kEntryTypeFirmware;
    std::uint32_t key = 0;
    std::uint32_t word = 0;
    std::uint8_t byteA = 0;
    std::uint8_t byteB = 0;
    std::uint32_t value = USB::PackageFormat::kAbsentEntryValue;
    std::uint16_t extra = USB::PackageFormat::kAbsentExtra;
    std::uint16_t kind = USB::PackageFormat::kRecordKindWithExtra;
    // 16..24: the record's bytes beyond it are not written. A value needs 20, an extra field 22
    // and kind 2; a record too short for a field given is refused.
    std::uint16_t length = USB::PackageFormat::kMaximumRecordLength;
};

// A section: its records share one data block, stored as given or zlib-compressed.
struct PackageSection {
    std::uint32_t id = 0;
    std::uint32_t attributes = 0;
    std::uint8_t methodFlags = 0;
    bool compress = false;
    std::vector<PackageEntryRecord> entries;
    std::vector<std::uint8_t> data; // uncompressed
};

// Writes firmware packages "data-%04x.bin" as the package reader expects them: synthetic
// firmware for tests and the simulator.
class PackageWriter {
public:
    void addSection(PackageSection section) { sections_.push_back(std::move(section)); }
    const std::vector<PackageSection>& sections() const { return sections_; }

    // The whole file, digest included. False with a reason when a section cannot be written
    // in a form the reader accepts (no entries, empty data, fields out of range).
    bool build(std::vector<std::uint8_t>& file, std::string* error = nullptr) const;
    bool writeFile(const std::string& path, std::string* error = nullptr) const;

    // Method flags for compression method 1..4 (0 for none).
    static std::uint8_t methodFlagsFor(int method);
    // Rewrites the digest of a file of at least 32 bytes, for example after patching it.
    static void seal(std::vector<std::uint8_t>& file);
    static bool saveFile(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* error = nullptr);

private:
    std::vector<PackageSection> sections_;
};

} // namespace TWG::Tools
