#pragma once

#include <QThread>

#include <atomic>
#include <climits>
#include <memory>
#include <mutex>

class ConverterFirmwareUpdater;

// Runs a converter's programming off the GUI thread and reports progress and the result.
// Its signals reach GUI-thread receivers queued.
class FirmwareUpdateThread : public QThread {
    Q_OBJECT
public:
    enum Result : int { Succeeded = 0, NoUpdater = 1, ProgrammingFailed = 3 };

    // The thread owns the updater, so a thread left to finish on its own keeps what it runs.
    explicit FirmwareUpdateThread(std::unique_ptr<ConverterFirmwareUpdater> updater, QObject* parent = nullptr);
    ~FirmwareUpdateThread() override;

    ConverterFirmwareUpdater* updater() const { return updater_.get(); }
    bool hasFirmware() const { return hasFirmware_; }
    void setHasFirmware(bool has) { hasFirmware_ = has; }
    // Cleared from the GUI thread when nobody waits for the result any more: the result is not
    // reported. The programming goes on regardless; a converter that went ends it by failing
    // its requests.
    bool keepGoing() const { return keepGoing_.load(); }
    void setKeepGoing(bool keepGoing) { keepGoing_.store(keepGoing); }

    // Emits the fraction as percent, -1 outside 0..1.
    void reportFirmwareProgress(double fraction);
    static int progressPercent(double fraction);

    // Lets a running thread finish on its own and delete itself then; deletes any other at
    // once. Never waits for the programming.
    static void dispose(FirmwareUpdateThread* thread);

    // QThread::wait, then the run's lock: what the run wrote is ordered before what the caller
    // reads next by a lock ThreadSanitizer sees (Qt's own wait is hidden from it).
    bool wait(unsigned long time = ULONG_MAX);

signals:
    void firmwareProgress(int percent);
    void firmwareUpdated(int result);

protected:
    void run() override;

private:
    const std::unique_ptr<ConverterFirmwareUpdater> updater_;
    // Held by run(): wait() and the destructor take it after the run.
    std::mutex running_;
    bool hasFirmware_ = false;
    std::atomic<bool> keepGoing_{true};
};
