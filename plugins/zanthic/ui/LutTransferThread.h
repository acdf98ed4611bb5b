#pragma once

#include <QThread>

#include <functional>

namespace TWG {
namespace Zanthic {

// One LUT upload off the GUI thread. It holds what it works on (the device) itself, so a tab
// that goes meanwhile leaves it to finish; it deletes itself once it has ended.
class LutTransferThread : public QThread {
    Q_OBJECT
public:
    // transfer runs on the thread and returns loadLut's result.
    explicit LutTransferThread(std::function<int()> transfer);
    ~LutTransferThread() override;

    // Whether an upload of this process is still running. GUI thread only.
    static bool anyRunning();
    // Turns the event loop until no upload runs, so none outlives the program's end with the
    // device it writes half sent. GUI thread only; never a blocking wait on the thread.
    static void waitForAll();

signals:
    // From the thread, once the transfer has returned.
    void transferred(int result);

protected:
    void run() override;

private:
    std::function<int()> transfer_;
};

} // namespace Zanthic
} // namespace TWG
