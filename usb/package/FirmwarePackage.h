#pragma once

#include "usb/package/FirmwarePackageEntryList.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace TWG::USB {

// Results of FirmwarePackage::parse and its two queries.
namespace PackageResult {
enum : int {
    Success = 0,
    NoPath = 1,
    CannotRead = 3,     // the file cannot be opened, examined or read
    TooShort = 4,       // 72 bytes or less
    DigestMismatch = 5,
    BadEntry = 6,       // a bad entry record, or no memory for an entry's data
    BadSection = 7,     // a bad or overlong section header, or a truncated one at the end
};
}

// Which entries a query yields; a field left unset matches every entry.
struct FirmwarePackageFilter {
    std::optional<std::uint16_t> type;
    std::optional<std::uint32_t> key;
};

// A package file "data-%04x.bin": checked against its salted digest when first read, then
// kept in memory until the path changes.
class FirmwarePackage {
public:
    FirmwarePackage() = default;
    ~FirmwarePackage();
    FirmwarePackage(const FirmwarePackage&) = delete;
    FirmwarePackage& operator=(const FirmwarePackage&) = delete;

    // Drops any loaded file. Returns Success.
    int setPath(const std::string& path);
    const std::string& path() const { return path_; }

    // The entries of that type and key, with a copy of their data.
    int readEntries(std::uint16_t type, std::uint32_t key, FirmwarePackageEntryList& list);
    int readEntries(const FirmwarePackageFilter& filter, FirmwarePackageEntryList& list);
    // The same entries without data; unless the file is loaded already, only the headers are
    // read and the digest is not checked.
    int listEntries(std::uint16_t type, std::uint32_t key, FirmwarePackageEntryList& list);

    int parse(std::uint16_t type, std::uint32_t key, FirmwarePackageEntryList& list, bool listOnly);
    int parse(const FirmwarePackageFilter& filter, FirmwarePackageEntryList& list, bool listOnly);

    bool isLoaded() const { return buffer_ != nullptr; }

private:
    class Source;

    int load(int fd, std::size_t length);
    void dropBuffer();

    std::string path_;
    std::uint8_t* buffer_ = nullptr; // malloc'd, the whole file
    std::size_t length_ = 0;
};

} // namespace TWG::USB
