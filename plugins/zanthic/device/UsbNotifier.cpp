#include "plugins/zanthic/device/UsbNotifier.h"

#include "platform/ThreadHandOff.h"
#include "plugins/zanthic/device/ZanthicLog.h"
#include "usb/DeviceNotifier.h"

#include <algorithm>

namespace TWG {
namespace Zanthic {

namespace {
// The GUI thread's request to open the library notifier on the notifier thread.
constexpr platform::UINT kStartRequest = platform::WM_APP + 1;
} // namespace

// --- BasicUSBNotifier ------------------------------------------------------------------------

BasicUSBNotifier::BasicUSBNotifier(BasicUSBDelegate* delegate)
    : delegate_(delegate)
{
}

BasicUSBNotifier::~BasicUSBNotifier()
{
    USB::TWGUsb_DestroyDeviceNotifier(context_);
    for (USB::IUSBDevice* d : devices_)
        d->release();
}

void BasicUSBNotifier::addFilter(std::uint32_t productId) { productIds_.push_back(productId); }

void BasicUSBNotifier::setDeviceChangeWindow(platform::WindowId window, int flags)
{
    window_ = window;
    flags_ = flags;
}

void BasicUSBNotifier::setAsyncWindow(platform::WindowId window, std::uint32_t message)
{
    asyncWindow_ = window;
    asyncMessage_ = message;
    for (USB::IUSBDevice* d : devices_)
        d->setAsyncWindow(window, message);
}

bool BasicUSBNotifier::start()
{
    USB::DeviceIdFilter filter;
    filter.productIds = productIds_.data();
    filter.productCount = static_cast<std::uint32_t>(productIds_.size());
    context_ = USB::TWGUsb_CreateDeviceNotifier(&BasicUSBNotifier::arrivalThunk, this, &BasicUSBNotifier::removalThunk,
                                                this, &filter, window_, flags_);
    return context_ != nullptr;
}

bool BasicUSBNotifier::handleDeviceChange(platform::WPARAM wParam, platform::LPARAM lParam)
{
    const auto* header = reinterpret_cast<const platform::DEV_BROADCAST_HDR*>(lParam);
    if (wParam == platform::DBT_DEVICEARRIVAL)
        return USB::TWGUsb_HandleDeviceArrivalMessage(context_, header);
    if (wParam >= platform::DBT_DEVICEQUERYREMOVE && wParam <= platform::DBT_DEVICEREMOVECOMPLETE)
        return USB::TWGUsb_HandleDeviceRemovalMessage(context_, header);
    return false;
}

bool BasicUSBNotifier::handleAsyncMessage(platform::WPARAM wParam, platform::LPARAM lParam)
{
    return std::any_of(devices_.begin(), devices_.end(),
                       [&](USB::IUSBDevice* d) { return d->handleAsyncMessage(wParam, lParam) == 0; });
}

bool BasicUSBNotifier::arrivalThunk(USB::IUSBDevice* device, void* self)
{
    // Every device of the filter is kept: the connection manager decides what it becomes.
    static_cast<BasicUSBNotifier*>(self)->arrived(device);
    return true;
}

void BasicUSBNotifier::removalThunk(USB::IUSBDevice* device, void* self)
{
    static_cast<BasicUSBNotifier*>(self)->departed(device);
}

void BasicUSBNotifier::arrived(USB::IUSBDevice* device)
{
    device->addRef();
    devices_.push_back(device);
    if (asyncWindow_ != platform::kNoWindow)
        device->setAsyncWindow(asyncWindow_, asyncMessage_);
    delegate_->deviceArrived(device);
}

void BasicUSBNotifier::departed(USB::IUSBDevice* device)
{
    const auto found = std::find(devices_.begin(), devices_.end(), device);
    if (found == devices_.end())
        return;
    devices_.erase(found);
    delegate_->deviceDeparted(device);
    device->release();
}

// --- UsbNotifier -----------------------------------------------------------------------------

UsbNotifier::UsbNotifier(const ModelTable& models)
    : basic_(std::make_unique<BasicUSBNotifier>(this))
{
    qRegisterMetaType<TWG::USB::IUSBDevice*>("TWG::USB::IUSBDevice*");
    for (const auto& row : models)
        basic_->addFilter(row.first);
}

UsbNotifier::~UsbNotifier()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (window_ != platform::kNoWindow)
            platform::postMessage(window_, platform::WM_QUIT);
    }
    if (thread_.joinable())
        thread_.join();
    basic_.reset();
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
    while (platform::getMessage(window, &message))
        platform::dispatchMessage(message);
    lock.lock();
    platform::destroyMessageWindow(window);
    window_ = platform::kNoWindow;
}

platform::LRESULT UsbNotifier::windowProc(const platform::MSG& message)
{
    switch (message.message) {
    case platform::WM_DEVICECHANGE:
        return basic_->handleDeviceChange(message.wParam, message.lParam) ? 1 : 0;
    case platform::WM_APP:
        return basic_->handleAsyncMessage(message.wParam, message.lParam) ? 1 : 0;
    case kStartRequest: {
        std::lock_guard<std::mutex> lock(mutex_);
        basic_->setDeviceChangeWindow(window_, 0);
        basic_->setAsyncWindow(window_, platform::WM_APP);
        started_ = basic_->start();
        startAnswered_ = true;
        changed_.notify_all();
        return 1;
    }
    default:
        return 0;
    }
}

void UsbNotifier::deviceArrived(USB::IUSBDevice* device)
{
    // The receiver runs later on the GUI thread: the device must outlive its departure.
    device->addRef();
    platform::handOver(device);
    emit deviceAdded(device);
}

void UsbNotifier::deviceDeparted(USB::IUSBDevice* device)
{
    device->addRef();
    platform::handOver(device);
    emit deviceRemoved(device);
}

} // namespace Zanthic
} // namespace TWG
