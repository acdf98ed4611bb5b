#include "platform/driver/DriverPort.h"

namespace platform {

namespace {
thread_local std::uint32_t tlsLastError = ERROR_SUCCESS;
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
