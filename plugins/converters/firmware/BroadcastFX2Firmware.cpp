#include "plugins/converters/firmware/BroadcastFX2Firmware.h"

#include "plugins/converters/firmware/FirmwareModels.h"
#include "usb/package/PackageFormat.h"

BroadcastFX2Firmware::BroadcastFX2Firmware(std::uint16_t productId)
    : productId_(productId), key_(TWG::USB::PackageFormat::productKey(productId)),
      entryType_(TWG::USB::PackageFormat::kEntryTypeFirmware)
{
}

BroadcastFX2Firmware::~BroadcastFX2Firmware() = default;

void BroadcastFX2Firmware::loadPackage()
{
    entries_.clear();
    problem_.clear();
    if (!FirmwareModels::isFx2Model(productId_)) {
        problem_ = "not an FX2 model with firmware";
        return;
    }
    FirmwareModels::readEntries(productId_, entries_, &problem_);
}

int BroadcastFX2Firmware::imageCount() const
{
    return entries_.count();
}

const std::uint8_t* BroadcastFX2Firmware::imageData(int index) const
{
    auto* entry = entries_.at(index);
    return entry ? entry->data() : nullptr;
}

std::uint32_t BroadcastFX2Firmware::imageSize(int index) const
{
    auto* entry = entries_.at(index);
    return entry ? entry->size() : 0;
}

std::uint8_t BroadcastFX2Firmware::imageTarget(int index) const
{
    auto* entry = entries_.at(index);
    return entry ? entry->entryByteA() : 0;
}

std::uint32_t BroadcastFX2Firmware::imageOffset(int index) const
{
    auto* entry = entries_.at(index);
    return entry ? entry->entryValue() : 0;
}

std::uint8_t BroadcastFX2Firmware::imageKind(int index) const
{
    auto* entry = entries_.at(index);
    return entry ? entry->entryByteB() : 0;
}

std::uint32_t BroadcastFX2Firmware::imageSectionId(int index) const
{
    auto* entry = entries_.at(index);
    return entry ? entry->sectionId() : 0;
}
