#pragma once

#include "platform/Clock.h"
#include "platform/Messages.h"
#include "plugins/zanthic/device/BasicUSBNotifier.h"
#include "plugins/zanthic/device/ModelInfo.h"
#include "usb/IUSBDevice.h"

#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace TWG {
namespace Zanthic {

// Finds the family's devices on a thread of its own with a message window, which receives the
// device changes and the devices' completion messages. Its signals come from that thread; each
// device signal carries a reference on the device that the receiver releases once done with it.
class UsbNotifier : public QObject, public BasicUSBDelegate {
    Q_OBJECT
public:
    explicit UsbNotifier(const ModelTable& models);
    ~UsbNotifier() override;

    // Starts the thread and, on it, the library notifier; false when the window could not be
    // made. Once only. The devices present are reported once start has returned.
    bool start();
    // Ends the thread once the messages before have been handled; the devices stay kept until
    // the notifier is destroyed.
    void stop();
    // From the notifier's thread: pollDue every interval, `times` times, while no message comes
    // in between; replaces what was asked before (0 times: none).
    void pollFor(platform::Clock::Duration interval, int times);

signals:
    void deviceAdded(TWG::USB::IUSBDevice* usbDevice);
    void deviceRemoved(TWG::USB::IUSBDevice* usbDevice);
    void pollDue();

private:
    void deviceArrived(USB::IUSBDevice* device) override;
    void deviceDeparted(USB::IUSBDevice* device) override;
    void run();
    // The next message, or false at WM_QUIT; polls while it waits.
    bool nextMessage(platform::WindowId window, platform::MSG* message);
    platform::LRESULT windowProc(const platform::MSG& message);

    std::unique_ptr<BasicUSBNotifier> basic_;
    std::thread thread_;
    std::mutex mutex_; // guards the fields below
    std::condition_variable changed_;
    platform::WindowId window_ = platform::kNoWindow;
    bool tried_ = false;
    bool startAnswered_ = false;
    bool started_ = false;
    // The notifier thread's own.
    std::vector<USB::IUSBDevice*>* present_ = nullptr; // while the library notifier opens
    platform::Clock::Duration pollInterval_{0};
    int pollsLeft_ = 0;
    platform::Clock::TimePoint nextPoll_{};
};

} // namespace Zanthic
} // namespace TWG

Q_DECLARE_METATYPE(TWG::USB::IUSBDevice*)
