#include "usb/AsyncEventListener.h"

#include "platform/Clock.h"
#include "usb/IUSBInterface.h"
#include "usb/UsbConstants.h"
#include "usb/UsbLog.h"

#include <system_error>
#include <vector>

namespace TWG {
namespace USB {

AsyncEventListener::AsyncEventListener(IUSBInterface* interface, platform::WindowId window, std::uint32_t message)
    : interface_(interface), window_(window), message_(message), wake_(std::make_shared<platform::Event>())
{
}

AsyncEventListener::~AsyncEventListener()
{
    stop();
}

bool AsyncEventListener::start()
{
    try {
        thread_ = std::thread(&AsyncEventListener::run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void AsyncEventListener::stop()
{
    stop_.store(true);
    wake_->set();
    if (thread_.joinable())
        thread_.join();
}

void AsyncEventListener::wake()
{
    wake_->set();
}

void AsyncEventListener::run()
{
    std::vector<platform::EventHandle> events(kMaxPendingRequests + 1);
    while (!stop_.load()) {
        events.resize(kMaxPendingRequests + 1);
        events[0] = wake_;
        int count = 0;
        if (interface_->getPendingEvents(events.data() + 1, kMaxPendingRequests, &count) != kResultSuccess) {
            qCWarning(lcTwgUsb) << "listener: pending requests unreadable, stopping";
            return;
        }
        events.resize(static_cast<std::size_t>(count) + 1);
        int index = platform::waitForAny(events, -1);
        if (index == platform::kWaitFailed) {
            platform::clock().sleepFor(platform::Clock::Duration(kListenerFailedWaitSleepMs));
            continue;
        }
        if (index == platform::kWaitTimeout) {
            platform::clock().sleepFor(platform::Clock::Duration(kListenerTimeoutSleepMs));
            continue;
        }
        if (index < 0 || index > count)
            return;
        events[static_cast<std::size_t>(index)]->reset();
        if (index == 0)
            continue;
        platform::Event* event = events[static_cast<std::size_t>(index)].get();
        if (!platform::postMessage(window_, message_, reinterpret_cast<platform::WPARAM>(event),
                                   reinterpret_cast<platform::LPARAM>(interface_))) {
            qCWarning(lcTwgUsb) << "listener: completion could not be posted, stopping";
            return;
        }
    }
}

} // namespace USB
} // namespace TWG
