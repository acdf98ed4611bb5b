#pragma once

#include "platform/Messages.h"
#include "platform/driver/Event.h"

#include <atomic>
#include <cstdint>
#include <thread>

namespace TWG {
namespace USB {

class IUSBInterface;

// One worker thread per interface: waits for the interface's overlapped requests and posts
// (message, wParam = the request's event, lParam = the interface) to the window for each one
// that completes, so that its completion runs on the thread that handles the message.
class AsyncEventListener {
public:
    AsyncEventListener(IUSBInterface* interface, platform::WindowId window, std::uint32_t message);
    ~AsyncEventListener(); // stops and joins the thread

    AsyncEventListener(const AsyncEventListener&) = delete;
    AsyncEventListener& operator=(const AsyncEventListener&) = delete;

    bool start();
    void stop();
    // Makes the thread pick up a newly started request.
    void wake();

private:
    void run();

    std::atomic<bool> stop_{false};
    std::thread thread_;
    IUSBInterface* interface_;
    platform::WindowId window_;
    std::uint32_t message_;
    platform::EventHandle wake_;
};

} // namespace USB
} // namespace TWG
