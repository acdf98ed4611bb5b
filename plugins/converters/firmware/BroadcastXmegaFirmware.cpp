#include "plugins/converters/firmware/BroadcastXmegaFirmware.h"

#include "plugins/converters/firmware/FirmwareModels.h"
#include "usb/package/PackageFormat.h"

#include <algorithm>

namespace T = FirmwareFormat::Table;

namespace {

void putLittle32(BroadcastXmegaFirmware::ImageTable& table, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        table[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace

BroadcastXmegaFirmware::BroadcastXmegaFirmware(std::uint16_t productId)
    : productId_(productId), key_(TWG::USB::PackageFormat::productKey(productId)),
      entryType_(TWG::USB::PackageFormat::kEntryTypeFirmware)
{
}

BroadcastXmegaFirmware::~BroadcastXmegaFirmware() = default;

void BroadcastXmegaFirmware::loadPackage()
{
    entries_.clear();
    application_.reset();
    table_.fill(0);
    problem_.clear();
    if (!FirmwareModels::isXmegaModel(productId_)) {
        problem_ = "not an XMEGA model with firmware";
        return;
    }
    if (!FirmwareModels::readEntries(productId_, entries_, &problem_))
        return;
    for (int i = 0; i < entries_.count(); ++i) {
        if (entries_.at(i)->compressionMethod() == FirmwareFormat::kXmegaApplicationMethod) {
            application_ = entries_.takeAt(i);
            break;
        }
    }
    // Rows past the tenth would be written beyond the table.
    if (entries_.count() > T::kMaxRows) {
        problem_ = "package holds " + std::to_string(entries_.count()) + " images, more than the " +
                   std::to_string(T::kMaxRows) + " its table describes";
        entries_.clear();
        application_.reset();
        return;
    }
    if (!application_)
        problem_ = "package holds no XMEGA application image";
    buildTable();
}

void BroadcastXmegaFirmware::buildTable()
{
    table_.fill(0);
    putLittle32(table_, T::kMagicOffset, T::kMagic);
    table_[T::kCountOffset] = static_cast<std::uint8_t>(entries_.count());
    const QByteArray name = firmwareSetName().toUtf8().left(static_cast<int>(T::kNameSize));
    std::copy(name.begin(), name.end(), table_.begin() + T::kNameOffset);
    for (int i = 0; i < entries_.count(); ++i) {
        const TWG::USB::FirmwarePackageEntry* entry = entries_.at(i);
        const std::size_t row = T::kRowsOffset + static_cast<std::size_t>(i) * T::kRowSize;
        table_[row + T::kRowKind] = entry->entryByteB();
        table_[row + T::kRowTarget] = entry->entryByteA();
        putLittle32(table_, row + T::kRowOffset, entry->entryValue());
        putLittle32(table_, row + T::kRowAttributes, entry->sectionAttributes());
    }
}

int BroadcastXmegaFirmware::imageCount(bool withTable) const
{
    if (entries_.isEmpty())
        return 0;
    return entries_.count() + (withTable ? 1 : 0);
}

const std::uint8_t* BroadcastXmegaFirmware::imageData(int index) const
{
    if (index == entries_.count() && !entries_.isEmpty())
        return table_.data();
    auto* entry = entries_.at(index);
    return entry ? entry->data() : nullptr;
}

std::uint32_t BroadcastXmegaFirmware::imageSize(int index) const
{
    if (index == entries_.count() && !entries_.isEmpty())
        return static_cast<std::uint32_t>(table_.size());
    auto* entry = entries_.at(index);
    return entry ? entry->size() : 0;
}

std::uint8_t BroadcastXmegaFirmware::imageTarget(int index) const
{
    if (index == entries_.count() && !entries_.isEmpty())
        return T::kOwnTarget;
    auto* entry = entries_.at(index);
    return entry ? entry->entryByteA() : 0;
}

std::uint32_t BroadcastXmegaFirmware::imageOffset(int index) const
{
    if (index == entries_.count() && !entries_.isEmpty())
        return T::kOwnOffset;
    auto* entry = entries_.at(index);
    return entry ? entry->entryValue() : 0;
}

std::uint8_t BroadcastXmegaFirmware::imageKind(int index) const
{
    if (index == entries_.count() && !entries_.isEmpty())
        return T::kOwnKind;
    auto* entry = entries_.at(index);
    return entry ? entry->entryByteB() : 0;
}

QString BroadcastXmegaFirmware::summaryText() const
{
    return QString();
}

QString BroadcastXmegaFirmware::firmwareSetName() const
{
    return QString::fromLatin1(FirmwareFormat::kBaseSetName);
}

std::uint32_t BroadcastXmegaFirmware::xmegaChecksum() const
{
    return application_ ? application_->sectionId() : 0;
}

const std::uint8_t* BroadcastXmegaFirmware::applicationData() const
{
    return application_ ? application_->data() : nullptr;
}

std::uint32_t BroadcastXmegaFirmware::applicationSize() const
{
    return application_ ? application_->size() : 0;
}

std::uint32_t BroadcastXmegaFirmware::imageSectionId(int index) const
{
    auto* entry = entries_.at(index);
    return entry ? entry->sectionId() : 0;
}
