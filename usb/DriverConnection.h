#pragma once

#include "platform/Messages.h"
#include "platform/driver/DriverPort.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace TWG {
namespace USB {

// One opened device-interface path, shared by the device, its interfaces and iterators.
class DriverConnection {
public:
    // Opens the path, checks the driver version and, with a window, registers the handle
    // notification. Null on any failure, with everything freed.
    static DriverConnection* connectToDriverWithPath(const std::string& path, platform::WindowId window, int flags);

    DriverConnection(const DriverConnection&) = delete;
    DriverConnection& operator=(const DriverConnection&) = delete;

    void addRef();
    // The last release closes the connection and drops the notification.
    void release();

    platform::ConnectionId handle() const { return handle_; }

private:
    DriverConnection() = default;
    ~DriverConnection();

    std::atomic<std::int32_t> refCount_{1};
    platform::ConnectionId handle_ = platform::kInvalidConnection;
    platform::NotificationId notification_ = 0;
};

} // namespace USB
} // namespace TWG
