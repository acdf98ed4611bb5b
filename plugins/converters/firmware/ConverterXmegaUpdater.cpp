#include "plugins/converters/firmware/ConverterXmegaUpdater.h"

#include "converters/IConverter.h"
#include "plugins/converters/firmware/ConverterXmegaFirmware.h"
#include "plugins/converters/firmware/FirmwareLog.h"

ConverterXmegaUpdater::ConverterXmegaUpdater(TWG::Converters::IConverterXmegaProgramming* programming,
                                             TWG::Converters::IConverter* device,
                                             std::unique_ptr<ConverterXmegaFirmware> firmware)
    : programming_(programming), device_(device), firmware_(std::move(firmware))
{
    device_->addRef();
}

ConverterXmegaUpdater::~ConverterXmegaUpdater()
{
    device_->release();
}

bool ConverterXmegaUpdater::isCurrent(bool* hasFirmware)
{
    // Without its application image a set cannot be loaded: nothing to offer.
    const bool offers = firmware_ && firmware_->hasApplicationImage();
    if (hasFirmware)
        *hasFirmware = offers;
    if (!offers)
        qCDebug(lcConverterFirmware).noquote()
            << "No firmware to offer:" << (firmware_ ? firmware_->problem().c_str() : "product id unreadable");
    if (!firmware_)
        return false;
    int checksum = 0;
    if (!programming_->getFirmwareVersion(&checksum) ||
        static_cast<std::uint32_t>(checksum) != firmware_->xmegaChecksum())
        return false;
    if (firmware_->imageCount(false) == 0)
        return true;
    std::uint8_t version = 0;
    return device_->getVersionRegister(&version) && version == firmware_->versionByte();
}

TWG::Converters::XmegaLoaderNotifier::BinaryLoad
ConverterXmegaUpdater::loadBinaryFirst(TWG::Converters::XmegaLoaderNotifier* notifier,
                                       TWG::Converters::XmegaLoaderNotifier::LoadXmegaBinaryDelegate* delegate)
{
    using BinaryLoad = TWG::Converters::XmegaLoaderNotifier::BinaryLoad;
    // The bootloader erases the application before it writes: never start it without an image.
    if (!firmware_ || !firmware_->applicationData() || firmware_->applicationSize() == 0)
        return BinaryLoad::NotNeeded;
    if (!notifier)
        return BinaryLoad::Failed;
    return notifier->loadXmegaBinary(device_, firmware_->applicationData(), firmware_->applicationSize(),
                                     firmware_->xmegaChecksum(), delegate);
}

bool ConverterXmegaUpdater::program(const ProgressCallback& progress)
{
    if (!firmware_)
        return false;
    if (firmware_->imageCount(false) == 0)
        return true;
    std::uint8_t version = 0;
    if (device_->getVersionRegister(&version) && version == firmware_->versionByte())
        return true;
    progress_ = &progress;
    const bool ok = programming_->programFirmware(firmware_.get(), this);
    progress_ = nullptr;
    if (!ok)
        qCWarning(lcConverterFirmware) << "XMEGA firmware programming failed";
    return ok;
}

void ConverterXmegaUpdater::reportProgress(int percent)
{
    if (progress_)
        (*progress_)(percent / 100.0);
}
