#include "usb/package/FirmwarePackage.h"

#include "usb/package/PackageFormat.h"
#include "usb/package/PackageLog.h"
#include "usb/package/PackageMemory.h"
#include "usb/package/Sha256.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace TWG::USB {

namespace F = PackageFormat;

namespace {

// The file is hashed a piece at a time as it is read, while the piece is still in the cache.
constexpr std::size_t kReadPieceSize = std::size_t(256) << 10;

std::uint16_t be16(const std::uint8_t* p) { return std::uint16_t((p[0] << 8) | p[1]); }

std::uint32_t be32(const std::uint8_t* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// Closes the file on every return.
class FileHandle {
public:
    FileHandle() = default;
    ~FileHandle()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool open(const std::string& path)
    {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        return fd_ >= 0;
    }
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

bool readFully(int fd, std::uint8_t* out, std::size_t length, std::uint64_t offset)
{
    while (length > 0) {
        const ssize_t n = ::pread(fd, out, length, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        out += n;
        offset += std::uint64_t(n);
        length -= std::size_t(n);
    }
    return true;
}

int compressionMethodOf(std::uint8_t methodFlags)
{
    for (int bit = 0; bit < F::kMethodFlagCount; ++bit) {
        if (methodFlags & (1u << bit))
            return bit + 1;
    }
    return 0;
}

struct SectionHeader {
    std::uint16_t magic;
    std::uint32_t id;
    std::uint32_t length;
    std::uint16_t headerAreaLength;
    std::uint8_t compressed;
    std::uint8_t methodFlags;
    std::uint32_t uncompressedSize;
    std::uint32_t attributes;

    explicit SectionHeader(const std::uint8_t* p)
        : magic(be16(p + F::kSectionMagicOffset)),
          id(be32(p + F::kSectionIdOffset)),
          length(be32(p + F::kSectionLengthOffset)),
          headerAreaLength(be16(p + F::kHeaderAreaLengthOffset)),
          compressed(p[F::kCompressedFlagOffset]),
          methodFlags(p[F::kMethodFlagsOffset]),
          uncompressedSize(be32(p + F::kUncompressedSizeOffset)),
          attributes(be32(p + F::kAttributesOffset))
    {
    }

    bool isValid() const
    {
        return magic == F::kSectionMagic && headerAreaLength >= F::kMinimumHeaderAreaLength
            && headerAreaLength < length && compressed <= 1 && uncompressedSize >= storedSize();
    }
    // Only meaningful once the header area is known to be shorter than the section.
    std::uint32_t storedSize() const { return length - headerAreaLength; }
};

} // namespace

// Where parse reads from: the loaded file, or the open file when only listing.
class FirmwarePackage::Source {
public:
    Source(const std::uint8_t* buffer, int fd, std::uint64_t length) : buffer_(buffer), fd_(fd), length_(length) {}

    std::uint64_t length() const { return length_; }
    const std::uint8_t* buffer() const { return buffer_; }

    // Bounds are checked in 64 bits, so no header field can wrap an offset back into range.
    bool read(std::uint64_t offset, std::uint8_t* out, std::size_t size) const
    {
        if (offset > length_ || size > length_ - offset)
            return false;
        if (buffer_) {
            std::memcpy(out, buffer_ + offset, size);
            return true;
        }
        return readFully(fd_, out, size, offset);
    }

private:
    const std::uint8_t* buffer_;
    int fd_;
    std::uint64_t length_;
};

FirmwarePackage::~FirmwarePackage() { dropBuffer(); }

void FirmwarePackage::dropBuffer()
{
    std::free(buffer_);
    buffer_ = nullptr;
    length_ = 0;
}

int FirmwarePackage::setPath(const std::string& path)
{
    path_ = path;
    dropBuffer();
    return PackageResult::Success;
}

int FirmwarePackage::readEntries(std::uint16_t type, std::uint32_t key, FirmwarePackageEntryList& list)
{
    return parse(type, key, list, false);
}

int FirmwarePackage::readEntries(const FirmwarePackageFilter& filter, FirmwarePackageEntryList& list)
{
    return parse(filter, list, false);
}

int FirmwarePackage::listEntries(std::uint16_t type, std::uint32_t key, FirmwarePackageEntryList& list)
{
    return parse(type, key, list, true);
}

int FirmwarePackage::load(int fd, std::size_t length)
{
    buffer_ = static_cast<std::uint8_t*>(allocatePackageMemory(length));
    // A file too short for a section is refused after reading, unhashed.
    const bool hashing = length >= F::kMinimumFileLength;
    Sha256 sha;
    sha.update(F::kSalt, F::kSaltSize);
    for (std::size_t offset = 0; buffer_ && offset < length;) {
        const std::size_t piece = std::min(kReadPieceSize, length - offset);
        if (!readFully(fd, buffer_ + offset, piece, offset)) {
            dropBuffer();
            break;
        }
        const std::size_t hashFrom = std::max(offset, F::kBodyOffset);
        offset += piece;
        if (hashing && offset > hashFrom)
            sha.update(buffer_ + hashFrom, offset - hashFrom);
    }
    if (!buffer_) {
        qCWarning(lcTwgUsbPackage) << "cannot read" << path_.c_str();
        return PackageResult::CannotRead;
    }
    length_ = length;
    if (!hashing) {
        qCWarning(lcTwgUsbPackage) << path_.c_str() << "is too short:" << length_ << "bytes";
        dropBuffer();
        return PackageResult::TooShort;
    }
    const Sha256::Digest digest = sha.finish();
    if (std::memcmp(digest.data(), buffer_, F::kDigestSize) != 0) {
        qCWarning(lcTwgUsbPackage) << path_.c_str() << "fails its digest";
        dropBuffer();
        return PackageResult::DigestMismatch;
    }
    return PackageResult::Success;
}

int FirmwarePackage::parse(std::uint16_t type, std::uint32_t key, FirmwarePackageEntryList& list, bool listOnly)
{
    return parse(FirmwarePackageFilter{type, key}, list, listOnly);
}

int FirmwarePackage::parse(const FirmwarePackageFilter& filter, FirmwarePackageEntryList& list, bool listOnly)
{
    if (path_.empty())
        return PackageResult::NoPath;

    FileHandle file;
    std::uint64_t length = length_;
    if (!buffer_) {
        if (!file.open(path_)) {
            qCDebug(lcTwgUsbPackage) << "cannot open" << path_.c_str() << std::strerror(errno);
            list.clear();
            return PackageResult::CannotRead;
        }
        struct stat info {};
        if (::fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0
            || std::uint64_t(info.st_size) > std::numeric_limits<std::uint32_t>::max())
            return PackageResult::CannotRead;
        length = std::uint64_t(info.st_size);
        if (!listOnly) {
            const int loaded = load(file.fd(), std::size_t(length));
            if (loaded != PackageResult::Success)
                return loaded;
        }
    }
    // A listing of a file not loaded reads its headers from the open file.
    const Source source(buffer_, buffer_ ? -1 : file.fd(), length);

    list.clear();
    if (source.length() <= F::kBodyOffset)
        return PackageResult::Success;

    std::uint64_t offset = F::kBodyOffset;
    while (offset < source.length()) {
        std::uint8_t raw[F::kSectionHeaderSize];
        if (!source.read(offset, raw, sizeof raw))
            return PackageResult::BadSection;
        const SectionHeader section(raw);
        const std::uint64_t sectionEnd = offset + section.length;
        if (!section.isValid() || sectionEnd > source.length()) {
            qCWarning(lcTwgUsbPackage) << path_.c_str() << "has a bad section header at" << offset;
            return PackageResult::BadSection;
        }
        const std::uint64_t dataOffset = offset + section.headerAreaLength;

        for (std::uint64_t record = offset + F::kSectionHeaderSize; record < dataOffset;) {
            std::uint8_t r[F::kRecordReadSize];
            if (!source.read(record, r, sizeof r))
                return PackageResult::BadEntry;
            const std::uint16_t kind = be16(r + F::kRecordKindOffset);
            const std::uint16_t n = be16(r + F::kRecordLengthOffset);
            const std::uint16_t entryType = be16(r + F::kEntryTypeOffset);
            if (n < F::kMinimumRecordLength || n > F::kMaximumRecordLength || entryType >= F::kEntryTypeLimit) {
                qCWarning(lcTwgUsbPackage) << path_.c_str() << "has a bad entry record at" << record;
                return PackageResult::BadEntry;
            }
            const std::uint32_t entryKey = be32(r + F::kEntryKeyOffset);
            if (filter.type.value_or(entryType) == entryType && filter.key.value_or(entryKey) == entryKey) {
                auto entry = std::make_unique<FirmwarePackageEntry>();
                entry->sectionId_ = section.id;
                entry->sectionAttributes_ = section.attributes;
                entry->compressionMethod_ = compressionMethodOf(section.methodFlags);
                entry->compressed_ = section.compressed != 0;
                entry->entryType_ = entryType;
                entry->key_ = entryKey;
                entry->entryWord_ = be32(r + F::kEntryWordOffset);
                entry->entryByteA_ = r[F::kEntryByteAOffset];
                entry->entryByteB_ = r[F::kEntryByteBOffset];
                entry->entryValue_ = n >= F::kRecordLengthWithValue ? be32(r + F::kEntryValueOffset) : F::kAbsentEntryValue;
                entry->extra_ = kind == F::kRecordKindWithExtra && n >= F::kRecordLengthWithExtra
                    ? be16(r + F::kEntryExtraOffset)
                    : F::kAbsentExtra;
                entry->storedSize_ = section.storedSize();
                entry->uncompressedSize_ = section.uncompressedSize;
                if (!listOnly) {
                    entry->data_ = static_cast<std::uint8_t*>(allocatePackageMemory(entry->storedSize_));
                    if (!entry->data_)
                        return PackageResult::BadEntry;
                    std::memcpy(entry->data_, source.buffer() + dataOffset, entry->storedSize_);
                }
                list.append(std::move(entry));
            }
            record += n;
        }
        offset = sectionEnd;
    }
    return PackageResult::Success;
}

} // namespace TWG::USB
