#include "usb/package/FirmwarePackageEntryList.h"

namespace TWG::USB {

FirmwarePackageEntry* FirmwarePackageEntryList::at(int index) const
{
    if (index < 0 || index >= count())
        return nullptr;
    return entries_[std::size_t(index)].get();
}

void FirmwarePackageEntryList::append(std::unique_ptr<FirmwarePackageEntry> entry)
{
    if (entry)
        entries_.push_back(std::move(entry));
}

std::unique_ptr<FirmwarePackageEntry> FirmwarePackageEntryList::takeAt(int index)
{
    if (index < 0 || index >= count())
        return nullptr;
    auto entry = std::move(entries_[std::size_t(index)]);
    entries_.erase(entries_.begin() + index);
    return entry;
}

void FirmwarePackageEntryList::clear() { entries_.clear(); }

} // namespace TWG::USB
