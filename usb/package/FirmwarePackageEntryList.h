#pragma once

#include "usb/package/FirmwarePackageEntry.h"

#include <memory>
#include <vector>

namespace TWG::USB {

// The entries a package query produced, in package order; owns them and their data.
class FirmwarePackageEntryList {
public:
    FirmwarePackageEntryList() = default;
    FirmwarePackageEntryList(const FirmwarePackageEntryList&) = delete;
    FirmwarePackageEntryList& operator=(const FirmwarePackageEntryList&) = delete;
    FirmwarePackageEntryList(FirmwarePackageEntryList&&) = default;
    FirmwarePackageEntryList& operator=(FirmwarePackageEntryList&&) = default;

    int count() const { return int(entries_.size()); }
    bool isEmpty() const { return entries_.empty(); }
    // Null for a negative or too large index.
    FirmwarePackageEntry* at(int index) const;
    void append(std::unique_ptr<FirmwarePackageEntry> entry);
    // Hands one entry over to the caller; null for a bad index.
    std::unique_ptr<FirmwarePackageEntry> takeAt(int index);
    void clear();

private:
    std::vector<std::unique_ptr<FirmwarePackageEntry>> entries_;
};

} // namespace TWG::USB
