#pragma once

#include <QThread>

#include <functional>

namespace TWG {
namespace Zanthic {

// One LUT upload off the GUI thread. It holds what it works on (the device) itself, so a tab
// that goes meanwhile leaves it to finish; it deletes itself once it has ended. It has ended
// once its transfer has returned and what follows the result on the GUI thread has run there,
// as that may still write the device.
class LutTransferThread : public QThread {
    Q_OBJECT
public:
    // transfer runs on the thread and returns loadLut's result; finish then takes the result up
    // on the GUI thread. device names whose upload it is, for runningFor.
    explicit LutTransferThread(std::function<int()> transfer, const QObject* device = nullptr,
                               std::function<void(int)> finish = {});
    ~LutTransferThread() override;

    // Whether an upload of this process has not ended yet. GUI thread only.
    static bool anyRunning();
    // The upload to the device that has not ended yet, or null. GUI thread only.
    static LutTransferThread* runningFor(const QObject* device);
    // Turns the event loop until every upload has ended, so none outlives the program's end with
    // the device it writes half sent, nor reaches the device after. GUI thread only; never a
    // blocking wait on the thread.
    static void waitForAll();

signals:
    // On the GUI thread, once finish has run: the upload has ended.
    void transferred(int result);

protected:
    void run() override;

private:
    bool hasEnded() const { return ended_ || !(isRunning() || isFinished()); }
    void end(int result);

    std::function<int()> transfer_;
    const QObject* device_;
    std::function<void(int)> finish_;
    bool ended_ = false;
};

} // namespace Zanthic
} // namespace TWG
