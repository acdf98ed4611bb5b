#pragma once

#include "kit/widgets/CommonDialog.h"

#include <QPointer>
#include <QThread>

#include <cstdint>
#include <functional>
#include <memory>

namespace TWG {
namespace Zanthic {

class ZanthicConvertersConnectedDevice;

// Runs the function on the context object's thread, on a later turn of its event loop; nothing
// runs if the context is gone by then. Call it only while the context is sure to exist.
void invokeInContext(QObject* context, std::function<void()> function);

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

// "Loading LUT": the progress of one upload at a time, hidden again when its thread has ended.
class TransferProgressDialog : public CommonDialog {
    Q_OBJECT
public:
    explicit TransferProgressDialog(QWidget* parent);
    ~TransferProgressDialog() override;

    // Shows the upload's progress and starts its thread, which it then no longer owns. Refused
    // (false, the thread deleted unstarted) while an earlier upload has not completed.
    bool start(std::shared_ptr<ZanthicConvertersConnectedDevice> device, const QString& lutName,
               LutTransferThread* worker);
    bool isBusy() const { return busy_; }

signals:
    // On the GUI thread, once the thread's transfer has returned.
    void threadCompleted();

public slots:
    void onThreadCompleted();

private:
    std::shared_ptr<ZanthicConvertersConnectedDevice> device_;
    QMetaObject::Connection progress_;
    bool busy_ = false;
};

// Asks before the LUT of a slot is removed.
class DeleteLutDialog : public CommonDialog {
    Q_OBJECT
public:
    explicit DeleteLutDialog(QWidget* parent);

    void setLutIndex(std::uint8_t index) { index_ = index; }
    std::uint8_t lutIndex() const { return index_; }

private:
    std::uint8_t index_ = 0;
};

// Tells that a LUT file did not load; goes once closed.
class ParserErrorDialog : public CommonDialog {
    Q_OBJECT
public:
    ParserErrorDialog(const QString& fileName, QWidget* parent);
};

// Tells that a LUT did not reach the device (the file was fine); goes once closed.
class TransferFailedDialog : public CommonDialog {
    Q_OBJECT
public:
    explicit TransferFailedDialog(QWidget* parent);
};

} // namespace Zanthic
} // namespace TWG
