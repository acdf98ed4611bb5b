#include "plugins/converters/firmware/VisibleUSBFirmwareUpdater.h"

#include "plugins/converters/firmware/ConverterFirmwareUpdater.h"
#include "plugins/converters/firmware/FirmwareUpdateThread.h"

VisibleUSBFirmwareUpdater::VisibleUSBFirmwareUpdater(TWG::Converters::IConverter* device,
                                                     TWG::Converters::XmegaLoaderNotifier* notifier,
                                                     QObject* parent)
    : VisibleUSBFirmwareUpdater(createConverterFirmwareUpdater(device), notifier, parent)
{
}

VisibleUSBFirmwareUpdater::VisibleUSBFirmwareUpdater(std::unique_ptr<ConverterFirmwareUpdater> updater,
                                                     TWG::Converters::XmegaLoaderNotifier* notifier,
                                                     QObject* parent)
    : DeviceFirmwareUpdater(parent), thread_(new FirmwareUpdateThread(std::move(updater))), notifier_(notifier)
{
    // Connected once for the object's life: every run reports, the phase drops stale reports.
    connect(thread_, &FirmwareUpdateThread::firmwareProgress, this, [this](int percent) {
        if (phase_ == Phase::Running && !retired_)
            emit firmwareUpdateProgress(percent);
    });
    connect(thread_, &FirmwareUpdateThread::firmwareUpdated, this,
            &VisibleUSBFirmwareUpdater::onFirmwareUpdateCompletion);
    connect(thread_, &QThread::finished, this, &VisibleUSBFirmwareUpdater::onThreadFinished);
}

VisibleUSBFirmwareUpdater::~VisibleUSBFirmwareUpdater()
{
    disconnect(thread_, nullptr, this, nullptr);
    FirmwareUpdateThread::dispose(thread_);
}

bool VisibleUSBFirmwareUpdater::firmwareIsCurrent()
{
    ConverterFirmwareUpdater* updater = thread_->updater();
    if (!updater)
        return true;
    bool hasFirmware = false;
    const bool current = updater->isCurrent(&hasFirmware);
    thread_->setHasFirmware(hasFirmware);
    return current || !hasFirmware;
}

void VisibleUSBFirmwareUpdater::startUpdate()
{
    if (phase_ != Phase::Idle || retired_)
        return;
    using BinaryLoad = TWG::Converters::XmegaLoaderNotifier::BinaryLoad;
    ConverterFirmwareUpdater* updater = thread_->updater();
    phase_ = Phase::LoadingBinary;
    const BinaryLoad load = updater ? updater->loadBinaryFirst(notifier_, this) : BinaryLoad::NotNeeded;
    if (phase_ != Phase::LoadingBinary)
        return;
    switch (load) {
    case BinaryLoad::Started:
        emit firmwareUpdateProgress(-1);
        return;
    case BinaryLoad::Failed:
        // Programming the EEPROM images behind an old application would report a success
        // that is none.
        phase_ = Phase::Idle;
        emit firmwareUpdated(Failed);
        return;
    case BinaryLoad::NotNeeded:
        startThread();
        return;
    }
}

void VisibleUSBFirmwareUpdater::onXmegaBinaryLoaded(TWG::Converters::IConverter*, bool ok)
{
    if (phase_ != Phase::LoadingBinary)
        return;
    if (retired_) {
        phase_ = Phase::Idle;
        deleteLater();
        return;
    }
    if (ok) {
        startThread();
        return;
    }
    phase_ = Phase::Idle;
    emit firmwareUpdated(Failed);
}

void VisibleUSBFirmwareUpdater::onFirmwareUpdateCompletion(int status)
{
    if (phase_ != Phase::Running || retired_)
        return;
    phase_ = Phase::Idle;
    if (status == FirmwareUpdateThread::Succeeded)
        emit firmwareUpdated(Succeeded);
    else if (status >= FirmwareUpdateThread::NoUpdater && status <= FirmwareUpdateThread::ProgrammingFailed)
        emit firmwareUpdated(Failed);
}

void VisibleUSBFirmwareUpdater::retire()
{
    if (retired_)
        return;
    retired_ = true;
    thread_->setKeepGoing(false);
    startWhenFinished_ = false;
    if (phase_ != Phase::Idle)
        emit firmwareUpdated(Failed);
    // The notifier holds this object as the load's delegate until it reports.
    if (phase_ == Phase::LoadingBinary)
        return;
    phase_ = Phase::Idle;
    connect(thread_, &QThread::finished, this, &QObject::deleteLater);
    if (!thread_->isRunning())
        deleteLater();
}

void VisibleUSBFirmwareUpdater::startThread()
{
    phase_ = Phase::Running;
    if (thread_->isRunning()) {
        startWhenFinished_ = true;
        return;
    }
    thread_->start();
}

void VisibleUSBFirmwareUpdater::onThreadFinished()
{
    if (!startWhenFinished_ || retired_)
        return;
    startWhenFinished_ = false;
    thread_->start();
}
