#include "usb/package/FirmwarePackageEntry.h"

#include "usb/package/PackageFormat.h"
#include "usb/package/PackageLog.h"
#include "usb/package/PackageMemory.h"

#include <zlib.h>

#include <cstdlib>

namespace TWG::USB {

FirmwarePackageEntry::~FirmwarePackageEntry() { std::free(data_); }

bool FirmwarePackageEntry::inflate()
{
    if (!data_)
        return false;
    if (!compressed_ || inflated_)
        return true;

    // A size deflate cannot reach is damage; refusing it spares a multi-gigabyte allocation.
    const std::uint64_t reachable =
        std::uint64_t(storedSize_) * PackageFormat::kMaximumInflateRatio + PackageFormat::kInflateSlack;
    if (uncompressedSize_ > reachable) {
        qCWarning(lcTwgUsbPackage) << "entry of section" << Qt::hex << sectionId_ << Qt::dec
                                   << "claims" << uncompressedSize_ << "bytes from" << storedSize_;
        return false;
    }

    // One spare byte, so data longer than announced shows as a full buffer rather than a fit.
    const std::size_t capacity = std::size_t(uncompressedSize_) + 1;
    auto* out = static_cast<std::uint8_t*>(allocatePackageMemory(capacity));
    if (!out)
        return false;
    uLongf outLength = capacity;
    const int rc = ::uncompress(out, &outLength, data_, storedSize_);
    if (rc != Z_OK || outLength != uncompressedSize_) {
        qCWarning(lcTwgUsbPackage) << "entry of section" << Qt::hex << sectionId_ << Qt::dec
                                   << "does not inflate: zlib" << rc << "gave" << outLength << "of"
                                   << uncompressedSize_ << "bytes";
        std::free(out);
        return false;
    }
    std::free(data_);
    data_ = out;
    inflated_ = true;
    return true;
}

const std::uint8_t* FirmwarePackageEntry::data() { return inflate() ? data_ : nullptr; }

std::uint32_t FirmwarePackageEntry::size()
{
    if (!inflate())
        return 0;
    // The header's uncompressed size may exceed a stored block; only the bytes held count.
    return compressed_ ? uncompressedSize_ : storedSize_;
}

} // namespace TWG::USB
