#include "plugins/converters/firmware/FirmwareUpdateThread.h"

#include "plugins/converters/firmware/ConverterFirmwareUpdater.h"

FirmwareUpdateThread::FirmwareUpdateThread(std::unique_ptr<ConverterFirmwareUpdater> updater, QObject* parent)
    : QThread(parent), updater_(std::move(updater))
{
}

FirmwareUpdateThread::~FirmwareUpdateThread()
{
    // The updater, and the converter it holds, go only once the run has let go of them.
    wait();
}

bool FirmwareUpdateThread::wait(unsigned long time)
{
    if (!QThread::wait(time))
        return false;
    const std::lock_guard<std::mutex> ended(running_);
    return true;
}

void FirmwareUpdateThread::run()
{
    const std::lock_guard<std::mutex> running(running_);
    int result = NoUpdater;
    if (updater_)
        result = updater_->program([this](double fraction) { reportFirmwareProgress(fraction); })
                     ? Succeeded
                     : ProgrammingFailed;
    if (keepGoing_.load())
        emit firmwareUpdated(result);
}

int FirmwareUpdateThread::progressPercent(double fraction)
{
    return fraction >= 0.0 && fraction <= 1.0 ? static_cast<int>(fraction * 100) : -1;
}

void FirmwareUpdateThread::reportFirmwareProgress(double fraction)
{
    emit firmwareProgress(progressPercent(fraction));
}

void FirmwareUpdateThread::dispose(FirmwareUpdateThread* thread)
{
    if (!thread)
        return;
    thread->setKeepGoing(false);
    thread->setParent(nullptr);
    // Connected before the check, so a run that ends meanwhile still deletes its thread. A
    // thread past its run is deleted now: its destructor only waits out the end of finished().
    const auto connection = connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    if (!thread->isRunning()) {
        disconnect(connection);
        delete thread;
    }
}
