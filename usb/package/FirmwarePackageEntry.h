#pragma once

#include <cstdint>

namespace TWG::USB {

// One image of a package: the fields of its entry record and section, and a copy of the
// section's data block (none for a listing). Owned by a FirmwarePackageEntryList.
class FirmwarePackageEntry {
public:
    FirmwarePackageEntry() = default;
    ~FirmwarePackageEntry();
    FirmwarePackageEntry(const FirmwarePackageEntry&) = delete;
    FirmwarePackageEntry& operator=(const FirmwarePackageEntry&) = delete;

    std::uint32_t sectionId() const { return sectionId_; }
    std::uint32_t sectionAttributes() const { return sectionAttributes_; }
    // 1..4 from the lowest set method flag bit, 0 without one. It does not select the decoder.
    int compressionMethod() const { return compressionMethod_; }
    bool isCompressed() const { return compressed_; }
    std::uint16_t entryType() const { return entryType_; }
    std::uint32_t key() const { return key_; }
    std::uint32_t entryValue() const { return entryValue_; }
    std::uint8_t entryByteA() const { return entryByteA_; }
    std::uint8_t entryByteB() const { return entryByteB_; }
    std::uint16_t extra() const { return extra_; }
    std::uint32_t entryWord() const { return entryWord_; }
    std::uint32_t storedSize() const { return storedSize_; }
    std::uint32_t uncompressedSize() const { return uncompressedSize_; }
    bool isInflated() const { return inflated_; }

    // The image bytes, inflated on first use: null, and size 0, when the entry holds no data
    // (a listing) or its data does not inflate to exactly the uncompressed size.
    const std::uint8_t* data();
    std::uint32_t size();
    // True when the data is usable as it stands or has been inflated.
    bool inflate();

private:
    friend class FirmwarePackage;

    std::uint32_t sectionId_ = 0;
    std::uint32_t sectionAttributes_ = 0;
    int compressionMethod_ = 0;
    bool compressed_ = false;
    std::uint16_t entryType_ = 0;
    std::uint32_t key_ = 0;
    std::uint32_t entryValue_ = 0;
    std::uint8_t entryByteA_ = 0;
    std::uint8_t entryByteB_ = 0;
    std::uint16_t extra_ = 0;
    std::uint32_t entryWord_ = 0;
    std::uint32_t storedSize_ = 0;
    std::uint32_t uncompressedSize_ = 0;
    std::uint8_t* data_ = nullptr; // malloc'd
    bool inflated_ = false;
};

} // namespace TWG::USB
