#include "platform/driver/DriverPort.h"

#include <atomic>

namespace platform {

// The port over the process's USB backend; the driver emulator defines it.
// TEMPORARY weak stand-in until the emulator lands: a port with no devices.
namespace {
class NoDevicesPort : public DriverPort {
public:
    std::vector<std::string> enumerateInterfaces(const Guid&) override { return {}; }
    ConnectionId open(const std::string&) override { setLastError(ERROR_FILE_NOT_FOUND); return kInvalidConnection; }
    void close(ConnectionId) override {}
    bool ioctl(ConnectionId, std::uint32_t, const void*, std::uint32_t, void*, std::uint32_t, std::uint32_t*) override { setLastError(ERROR_INVALID_PARAMETER); return false; }
    bool ioctlOverlapped(ConnectionId, std::uint32_t, const void*, std::uint32_t, void*, std::uint32_t, Overlapped*) override { setLastError(ERROR_INVALID_PARAMETER); return false; }
    bool getOverlappedResult(ConnectionId, Overlapped*, std::uint32_t*, bool) override { return false; }
    bool cancelIo(ConnectionId) override { return false; }
    NotificationId registerDeviceInterfaceNotification(WindowId, const Guid&, std::uint32_t) override { return 1; }
    NotificationId registerHandleNotification(WindowId, ConnectionId, std::uint32_t) override { return 1; }
    bool unregisterNotification(NotificationId) override { return true; }
};
} // namespace
__attribute__((weak)) DriverPort& defaultDriverPort();
__attribute__((weak)) DriverPort& defaultDriverPort()
{
    static NoDevicesPort port;
    return port;
}

namespace {
thread_local std::uint32_t tlsLastError = ERROR_SUCCESS;
std::atomic<DriverPort*> installedPort{nullptr};
} // namespace

DriverPort& DriverPort::instance()
{
    DriverPort* port = installedPort.load();
    return port ? *port : defaultDriverPort();
}

void DriverPort::setInstance(DriverPort* port)
{
    installedPort.store(port);
}

DriverPort::~DriverPort() = default;

std::uint32_t DriverPort::lastError()
{
    return tlsLastError;
}

void DriverPort::setLastError(std::uint32_t error)
{
    tlsLastError = error;
}

} // namespace platform
