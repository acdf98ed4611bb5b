#include "platform/driver/DriverPort.h"

#include <atomic>

namespace platform {

// The port over the process's USB backend (the driver emulator defines it).
DriverPort& defaultDriverPort();

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
