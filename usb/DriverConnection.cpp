#include "usb/DriverConnection.h"

#include "usb/DriverBuffers.h"
#include "usb/UsbConstants.h"
#include "usb/UsbLog.h"

#include <new>

namespace TWG {
namespace USB {

namespace {
bool driverVersionAccepted(platform::ConnectionId connection)
{
    std::uint8_t answer[driver::kVersionLength] = {};
    std::uint32_t returned = 0;
    if (!platform::DriverPort::instance().ioctl(connection, driver::kGetVersion, nullptr, 0, answer, sizeof answer,
                                                &returned))
        return false;
    if (returned != driver::kVersionLength)
        return false;
    std::uint32_t a = getU32(answer);
    std::uint32_t b = getU32(answer + 4);
    if (a >= kMinVersionA && b <= kMaxVersionB)
        return true;
    qCDebug(lcTwgUsb) << "driver version refused:" << a << b;
    return false;
}
} // namespace

DriverConnection* DriverConnection::connectToDriverWithPath(const std::string& path, platform::WindowId window,
                                                            int flags)
{
    DriverConnection* connection = new (std::nothrow) DriverConnection;
    if (!connection)
        return nullptr;
    platform::DriverPort& port = platform::DriverPort::instance();
    connection->handle_ = port.open(path);
    if (connection->handle_ == platform::kInvalidConnection || !driverVersionAccepted(connection->handle_)) {
        connection->release();
        return nullptr;
    }
    if (window != platform::kNoWindow) {
        connection->notification_ =
            port.registerHandleNotification(window, connection->handle_, static_cast<std::uint32_t>(flags));
        if (connection->notification_ == 0) {
            connection->release();
            return nullptr;
        }
    }
    return connection;
}

DriverConnection::~DriverConnection()
{
    platform::DriverPort& port = platform::DriverPort::instance();
    if (handle_ != platform::kInvalidConnection)
        port.close(handle_);
    if (notification_ != 0)
        port.unregisterNotification(notification_);
}

void DriverConnection::addRef()
{
    refCount_.fetch_add(1);
}

void DriverConnection::release()
{
    if (refCount_.fetch_sub(1) == 1)
        delete this;
}

} // namespace USB
} // namespace TWG
