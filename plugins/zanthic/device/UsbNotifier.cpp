#include "plugins/zanthic/device/UsbNotifier.h"

#include "plugins/zanthic/device/ZanthicLog.h"

namespace TWG {
namespace Zanthic {

namespace {
// The GUI thread's request to open the library notifier on the notifier thread.
constexpr platform::UINT kStartRequest = platform::WM_APP + 1;
} // namespace

UsbNotifier::UsbNotifier(const ModelTable& models)
    : basic_(std::make_unique<BasicUSBNotifier>(this))
{
    qRegisterMetaType<TWG::USB::IUSBDevice*>("TWG::USB::IUSBDevice*");
    for (const auto& row : models)
        basic_->addFilter(row.first);
}

UsbNotifier::~UsbNotifier()
{
    stop();
    basic_.reset();
}

void UsbNotifier::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (window_ != platform::kNoWindow)
            platform::postMessage(window_, platform::WM_QUIT);
    }
    if (thread_.joinable())
        thread_.join();
}

bool UsbNotifier::start()
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (!thread_.joinable()) {
        thread_ = std::thread(&UsbNotifier::run, this);
        changed_.wait(lock, [this] { return tried_; });
    }
    if (window_ == platform::kNoWindow)
        return false;
    // The library notifier's maps are the notifier thread's alone: it is opened there, and
    // the devices present now come the same queued way as later ones.
    if (!platform::postMessage(window_, kStartRequest))
        return false;
    changed_.wait(lock, [this] { return startAnswered_; });
    if (!started_)
        qCWarning(lcZanthic) << "The USB device notifier could not be opened";
    return true;
}

void UsbNotifier::pollFor(platform::Clock::Duration interval, int times)
{
    pollInterval_ = interval;
    pollsLeft_ = times;
    nextPoll_ = platform::clock().now() + interval;
}

void UsbNotifier::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    window_ = platform::createMessageWindow([this](const platform::MSG& m) { return windowProc(m); });
    tried_ = true;
    changed_.notify_all();
    const platform::WindowId window = window_;
    if (window == platform::kNoWindow)
        return;
    lock.unlock();
    platform::MSG message;
    while (nextMessage(window, &message))
        platform::dispatchMessage(message);
    lock.lock();
    platform::destroyMessageWindow(window);
    window_ = platform::kNoWindow;
}

bool UsbNotifier::nextMessage(platform::WindowId window, platform::MSG* message)
{
    // How often a wait between two polls looks for a message.
    constexpr platform::Clock::Duration kPollStep(50);
    platform::Clock& clock = platform::clock();
    while (pollsLeft_ > 0) {
        if (platform::peekMessage(window, message))
            return message->message != platform::WM_QUIT;
        if (!platform::isWindow(window))
            return false;
        if (clock.now() >= nextPoll_) {
            --pollsLeft_;
            nextPoll_ = clock.now() + pollInterval_;
            emit pollDue();
            continue;
        }
        clock.sleepFor(kPollStep);
    }
    return platform::getMessage(window, message);
}

platform::LRESULT UsbNotifier::windowProc(const platform::MSG& message)
{
    switch (message.message) {
    case platform::WM_DEVICECHANGE:
        return basic_->handleDeviceChange(message.wParam, message.lParam) ? 1 : 0;
    case platform::WM_APP:
        return basic_->handleAsyncMessage(message.wParam, message.lParam) ? 1 : 0;
    case kStartRequest: {
        std::vector<USB::IUSBDevice*> present;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            present_ = &present;
            basic_->setDeviceChangeWindow(window_, 0);
            basic_->setAsyncWindow(window_, platform::WM_APP);
            started_ = basic_->start();
            present_ = nullptr;
            startAnswered_ = true;
            changed_.notify_all();
        }
        // Only now: what the receivers do with a device (reading it, say) keeps no start waiting.
        for (USB::IUSBDevice* device : present)
            emit deviceAdded(device);
        return 1;
    }
    default:
        return 0;
    }
}

void UsbNotifier::deviceArrived(USB::IUSBDevice* device)
{
    // The receiver may use it later on another thread: the device must outlive its departure.
    device->addRef();
    if (present_)
        present_->push_back(device);
    else
        emit deviceAdded(device);
}

void UsbNotifier::deviceDeparted(USB::IUSBDevice* device)
{
    device->addRef();
    emit deviceRemoved(device);
}

} // namespace Zanthic
} // namespace TWG
