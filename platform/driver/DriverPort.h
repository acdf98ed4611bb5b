#pragma once

#include "platform/Export.h"
#include "platform/Messages.h"
#include "platform/driver/DeviceBroadcast.h"
#include "platform/driver/Event.h"
#include "platform/driver/Guid.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Last-error values the USB library looks at.
constexpr std::uint32_t ERROR_SUCCESS = 0;
constexpr std::uint32_t ERROR_GEN_FAILURE = 31;
constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr std::uint32_t ERROR_SEM_TIMEOUT = 121;
constexpr std::uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
constexpr std::uint32_t ERROR_OPERATION_ABORTED = 995;
constexpr std::uint32_t ERROR_IO_PENDING = 997;
constexpr std::uint32_t ERROR_DEVICE_NOT_CONNECTED = 1167;
constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
constexpr std::uint32_t ERROR_NO_MORE_ITEMS = 259;
constexpr std::uint32_t ERROR_INVALID_HANDLE = 6;
constexpr std::uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr std::uint32_t ERROR_IO_INCOMPLETE = 996;
constexpr std::uint32_t ERROR_NOT_FOUND = 1168;

// The state of one overlapped request. The caller keeps it, and the buffers it passed, alive
// until the request has completed (or was cancelled and waited for).
struct Overlapped {
    EventHandle event;               // set by the port when the request completes
    std::uint32_t transferred = 0;   // filled on completion
    std::uint32_t error = ERROR_IO_PENDING;
    std::uint64_t token = 0;         // the port's own id of the request
};

using NotificationId = std::uint64_t;

// The driver as the USB library sees it: device-interface enumeration, exclusive opens and
// control codes with little-endian byte buffers. Every call is thread-safe and sets the calling
// thread's last error. Blocking calls block at most for the transfer's own time-outs.
class TWG_PLATFORM_API DriverPort {
public:
    // The process's port: the one a test installed, else the emulator over the process's
    // USB backend (usbBackend(): libusb in the product, the simulated bus in the
    // simulation-only platform library).
    static DriverPort& instance();
    // Installs a port for the process (tests); null restores the default. Caller keeps it.
    static void setInstance(DriverPort* port);

    virtual ~DriverPort();

    // Paths of the present interfaces of a class, in a stable order. Does not block on I/O.
    virtual std::vector<std::string> enumerateInterfaces(const Guid& interfaceClass) = 0;

    // The vendor and product ids of a path without opening it, as a device-interface path
    // carries them in its name: any thread, never blocks on I/O, and answers while another
    // connection holds the device. True with both ids; false with ERROR_FILE_NOT_FOUND (no
    // such device present) or ERROR_INVALID_PARAMETER (no output).
    virtual bool deviceIds(const std::string& path, std::uint16_t* vendorId, std::uint16_t* productId) = 0;

    // Opens a path exclusively (one connection per device). kInvalidConnection on failure:
    // ERROR_FILE_NOT_FOUND (no such device), ERROR_ACCESS_DENIED (already open or not allowed).
    virtual ConnectionId open(const std::string& path) = 0;
    virtual void close(ConnectionId connection) = 0;

    // Synchronous control code. True on success with *returned bytes written to out. Blocks
    // for the duration of the transfer it stands for.
    virtual bool ioctl(ConnectionId connection, std::uint32_t code, const void* in, std::uint32_t inLength,
                       void* out, std::uint32_t outLength, std::uint32_t* returned) = 0;

    // Overlapped control code (pipe transfers). Returns true when it completed at once;
    // false with last error ERROR_IO_PENDING when it runs on (the event is set on completion);
    // false with another error when it could not start. Never blocks.
    virtual bool ioctlOverlapped(ConnectionId connection, std::uint32_t code, const void* in, std::uint32_t inLength,
                                 void* out, std::uint32_t outLength, Overlapped* overlapped) = 0;

    // Result of an overlapped request; with wait, blocks until it completes. True on success.
    virtual bool getOverlappedResult(ConnectionId connection, Overlapped* overlapped, std::uint32_t* transferred,
                                     bool wait) = 0;

    // Cancels every outstanding overlapped request of the connection started by any thread;
    // they complete with ERROR_OPERATION_ABORTED.
    virtual bool cancelIo(ConnectionId connection) = 0;
    // Cancels one overlapped request of the connection, named by the Overlapped it was started
    // with; it completes with ERROR_OPERATION_ABORTED unless it finished first. False with
    // ERROR_NOT_FOUND when it is no longer pending. Other requests on the connection run on.
    virtual bool cancelIoEx(ConnectionId connection, Overlapped* overlapped) = 0;

    // Device-interface notification: arrival (DBT_DEVICEARRIVAL) and removal
    // (DBT_DEVICEREMOVECOMPLETE) of interfaces of the class are posted to the window as
    // WM_DEVICECHANGE with a DEV_BROADCAST_DEVICEINTERFACE payload. 0 on failure.
    virtual NotificationId registerDeviceInterfaceNotification(WindowId window, const Guid& interfaceClass,
                                                               std::uint32_t flags) = 0;
    // Handle notification: the removal of the connection's device is posted as
    // WM_DEVICECHANGE / DBT_DEVICEREMOVECOMPLETE with a DEV_BROADCAST_HANDLE payload.
    virtual NotificationId registerHandleNotification(WindowId window, ConnectionId connection,
                                                      std::uint32_t flags) = 0;
    virtual bool unregisterNotification(NotificationId id) = 0;

    static std::uint32_t lastError();
    static void setLastError(std::uint32_t error);
};

} // namespace platform
