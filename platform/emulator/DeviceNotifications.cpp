#include "platform/emulator/DeviceNotifications.h"

#include "platform/backend/BackendLog.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace platform {

namespace {
void post(WindowId window, WPARAM event, std::shared_ptr<const void> payload)
{
    if (!postMessage(window, WM_DEVICECHANGE, event, 0, std::move(payload)))
        qCDebug(lcUsbBackend, "device change for a window that is gone");
}
} // namespace

NotificationId DeviceNotifications::addInterface(WindowId window, const Guid& interfaceClass)
{
    if (!isWindow(window))
        return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t key = 0;
    for (const auto& s : shared_)
        if (s.second.window == window && s.second.interfaceClass == interfaceClass)
            key = s.first;
    if (!key) {
        key = nextShared_++;
        shared_[key] = Shared{window, interfaceClass, 0};
    }
    ++shared_[key].count;
    const NotificationId id = nextId_++;
    interfaceIds_[id] = key;
    return id;
}

NotificationId DeviceNotifications::addHandle(WindowId window, ConnectionId connection)
{
    if (!isWindow(window))
        return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    const NotificationId id = nextId_++;
    handles_[id] = {window, connection};
    return id;
}

bool DeviceNotifications::remove(NotificationId id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (handles_.erase(id))
        return true;
    auto found = interfaceIds_.find(id);
    if (found == interfaceIds_.end())
        return false;
    auto s = shared_.find(found->second);
    if (s != shared_.end() && --s->second.count == 0)
        shared_.erase(s);
    interfaceIds_.erase(found);
    return true;
}

void DeviceNotifications::arrived(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    postInterface(DBT_DEVICEARRIVAL, path);
}

void DeviceNotifications::removed(const std::string& path, const std::vector<ConnectionId>& connections)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& h : handles_) {
        if (std::find(connections.begin(), connections.end(), h.second.second) == connections.end())
            continue;
        auto record = std::make_shared<DEV_BROADCAST_HANDLE>();
        std::memset(record.get(), 0, sizeof *record);
        record->header.dbch_size = sizeof *record;
        record->header.dbch_devicetype = DBT_DEVTYP_HANDLE;
        record->dbch_handle = h.second.second;
        post(h.second.first, DBT_DEVICEREMOVECOMPLETE, record);
    }
    postInterface(DBT_DEVICEREMOVECOMPLETE, path);
}

// Called with the lock held, so every window hears of changes in the order they happened.
void DeviceNotifications::postInterface(WPARAM event, const std::string& path)
{
    auto record = std::make_shared<DEV_BROADCAST_DEVICEINTERFACE>();
    std::memset(record.get(), 0, sizeof *record);
    record->header.dbch_size = sizeof *record;
    record->header.dbch_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    record->dbcc_classguid = kDriverInterfaceGuid;
    std::strncpy(record->dbcc_name, path.c_str(), kMaxDevicePath - 1);
    for (const auto& s : shared_)
        if (s.second.interfaceClass == kDriverInterfaceGuid)
            post(s.second.window, event, record);
}

} // namespace platform
