#include "plugins/converters/firmware/ConverterFX2Updater.h"

#include "converters/IConverter.h"
#include "converters/IConverterFX2Programming.h"
#include "plugins/converters/firmware/ConverterFX2Firmware.h"
#include "plugins/converters/firmware/ConverterUpdateRecord.h"
#include "plugins/converters/firmware/FirmwareFormat.h"
#include "plugins/converters/firmware/FirmwareLog.h"

#include <algorithm>
#include <vector>

namespace {

double doneFraction(std::uint32_t remaining, std::uint32_t size)
{
    return 1.0 - static_cast<double>(remaining) / static_cast<double>(size);
}

} // namespace

ConverterFX2Updater::ConverterFX2Updater(TWG::Converters::IConverterFX2Programming* programming,
                                         TWG::Converters::IConverter* device,
                                         std::unique_ptr<ConverterFX2Firmware> firmware)
    : programming_(programming), device_(device), firmware_(std::move(firmware))
{
    device_->addRef();
}

ConverterFX2Updater::~ConverterFX2Updater()
{
    device_->release();
}

bool ConverterFX2Updater::isCurrent(bool* hasFirmware)
{
    const bool offers = firmware_ && firmware_->offersFirmware();
    if (hasFirmware)
        *hasFirmware = offers;
    if (!offers) {
        const std::string why = !firmware_                     ? "product id unreadable"
                                : firmware_->problem().empty() ? "package holds no FX2 or AT90 image"
                                                               : firmware_->problem();
        qCDebug(lcConverterFirmware).noquote() << "No firmware to offer:" << why.c_str();
    }
    if (!firmware_)
        return false;
    // The FX2 shows its new version as soon as it has restarted, however far the AT90 got.
    if (ConverterUpdateRecord::isUnderWay(firmware_->productId(), device_->serialNumber())) {
        qCDebug(lcConverterFirmware) << "An earlier update of this converter did not finish";
        return false;
    }
    std::uint8_t version = 0;
    return device_->getVersionRegister(&version) && version == firmware_->versionByte();
}

TWG::Converters::XmegaLoaderNotifier::BinaryLoad
ConverterFX2Updater::loadBinaryFirst(TWG::Converters::XmegaLoaderNotifier*,
                                     TWG::Converters::XmegaLoaderNotifier::LoadXmegaBinaryDelegate*)
{
    return TWG::Converters::XmegaLoaderNotifier::BinaryLoad::NotNeeded;
}

bool ConverterFX2Updater::program(const ProgressCallback& progress)
{
    const int count = firmware_ ? firmware_->imageCount() : 0;
    std::vector<int> images;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t kind = firmware_->imageKind(i);
        if (kind == FirmwareFormat::kFx2ImageKind ||
            (kind == FirmwareFormat::kAt90ImageKind && programming_->hasAT90()))
            images.push_back(i);
    }
    // A package whose images all skip this board would write nothing: that is no success.
    if (images.empty())
        return false;
    const std::uint16_t productId = firmware_->productId();
    const QString serial = device_->serialNumber();
    if (!ConverterUpdateRecord::markUnderWay(productId, serial)) {
        qCWarning(lcConverterFirmware) << "The update was not started: its record could not be stored";
        return false;
    }
    for (int i : images) {
        const bool written = firmware_->imageKind(i) == FirmwareFormat::kFx2ImageKind
                                 ? programFx2Image(firmware_->imageData(i), firmware_->imageSize(i), progress)
                                 : programAt90Image(firmware_->imageData(i), firmware_->imageSize(i), progress);
        if (!written)
            return false;
    }
    ConverterUpdateRecord::clear(productId, serial);
    return true;
}

bool ConverterFX2Updater::programFx2Image(const std::uint8_t* data, std::uint32_t size,
                                          const ProgressCallback& progress)
{
    if (!data || size == 0)
        return false;
    const double share = programming_->hasAT90() ? FirmwareFormat::kFx2ShareWithAt90 : 1.0;
    if (!programming_->eraseFirmware(size)) {
        qCWarning(lcConverterFirmware) << "FX2 flash erase failed";
        return false;
    }
    progress(0.0);
    std::uint32_t remaining = size;
    while (remaining > 0) {
        const std::uint32_t chunk = std::min(remaining, FirmwareFormat::kFx2ChunkSize);
        if (!programming_->writeFirmware(data + (size - remaining), chunk)) {
            qCWarning(lcConverterFirmware) << "FX2 flash write failed with" << remaining << "bytes to go";
            return false;
        }
        remaining -= chunk;
        progress(doneFraction(remaining, size) * share);
    }
    return programming_->restartDevice();
}

bool ConverterFX2Updater::programAt90Image(const std::uint8_t* data, std::uint32_t size,
                                           const ProgressCallback& progress)
{
    if (!data || size == 0)
        return false;
    if (writeAt90(data, size, progress))
        return programming_->leaveAT90Programming();
    qCWarning(lcConverterFirmware) << "AT90 programming failed";
    // The AT90 is left in every case, once more after a failure; the failure stands.
    programming_->leaveAT90Programming();
    programming_->leaveAT90Programming();
    return false;
}

bool ConverterFX2Updater::writeAt90(const std::uint8_t* data, std::uint32_t size, const ProgressCallback& progress)
{
    if (!programming_->enterAT90Programming())
        return false;
    progress(FirmwareFormat::kFx2ShareWithAt90);
    if (!programming_->eraseAT90() || !programming_->writeAT90Fuses() || !programming_->prepareAT90Pages())
        return false;
    const double share = 1.0 - FirmwareFormat::kFx2ShareWithAt90;
    std::uint32_t remaining = size;
    for (std::uint32_t page = 0; remaining > 0; ++page) {
        std::uint32_t written = 0;
        // A page that takes nothing would never end the loop.
        if (!programming_->writeAT90Page(page, data + (size - remaining), remaining, &written) || written == 0 ||
            written > remaining)
            return false;
        remaining -= written;
        progress(FirmwareFormat::kFx2ShareWithAt90 + share * doneFraction(remaining, size));
    }
    return true;
}
