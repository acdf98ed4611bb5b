#pragma once

#include "platform/Messages.h"
#include "platform/driver/DeviceBroadcast.h"
#include "platform/driver/Guid.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

using NotificationId = std::uint64_t;

// The windows that asked to hear of device changes. Device-interface registrations are shared
// per window and class (a window hears of each change once, however many notifiers it has);
// handle registrations name a connection. Thread-safe.
class DeviceNotifications {
public:
    // 0 for a window that is not registered.
    NotificationId addInterface(WindowId window, const Guid& interfaceClass);
    NotificationId addHandle(WindowId window, ConnectionId connection);
    bool remove(NotificationId id);

    void arrived(const std::string& path);
    // Handle notifications of the connections go first: they tell their holders the handle
    // is dead; then the interface removal.
    void removed(const std::string& path, const std::vector<ConnectionId>& connections);

private:
    struct Shared {
        WindowId window = kNoWindow;
        Guid interfaceClass{};
        int count = 0;
    };
    void postInterface(WPARAM event, const std::string& path);

    std::mutex mutex_;
    std::map<NotificationId, std::pair<WindowId, ConnectionId>> handles_;
    std::map<NotificationId, std::size_t> interfaceIds_; // id -> its shared registration
    std::map<std::size_t, Shared> shared_;
    std::size_t nextShared_ = 1;
    NotificationId nextId_ = 1;
};

} // namespace platform
