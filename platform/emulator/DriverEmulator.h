#pragma once

#include "platform/Export.h"
#include "platform/backend/UsbBackend.h"
#include "platform/driver/DriverPort.h"
#include "platform/emulator/DeviceNotifications.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace platform {

struct ConfigLayout;

// The converters' kernel driver, emulated over a USB backend: it decodes the control codes into
// USB operations and answers in the driver's byte layouts. The interface path of a device is the
// backend's device path.
class TWG_PLATFORM_API DriverEmulator : public DriverPort {
public:
    explicit DriverEmulator(UsbBackend& backend);
    ~DriverEmulator() override;
    DriverEmulator(const DriverEmulator&) = delete;
    DriverEmulator& operator=(const DriverEmulator&) = delete;

    std::vector<std::string> enumerateInterfaces(const Guid& interfaceClass) override;
    bool deviceIds(const std::string& path, std::uint16_t* vendorId, std::uint16_t* productId) override;
    ConnectionId open(const std::string& path) override;
    void close(ConnectionId connection) override;
    bool ioctl(ConnectionId connection, std::uint32_t code, const void* in, std::uint32_t inLength, void* out,
               std::uint32_t outLength, std::uint32_t* returned) override;
    bool ioctlOverlapped(ConnectionId connection, std::uint32_t code, const void* in, std::uint32_t inLength,
                         void* out, std::uint32_t outLength, Overlapped* overlapped) override;
    bool getOverlappedResult(ConnectionId connection, Overlapped* overlapped, std::uint32_t* transferred,
                             bool wait) override;
    bool cancelIo(ConnectionId connection) override;
    bool cancelIoEx(ConnectionId connection, Overlapped* overlapped) override;
    NotificationId registerDeviceInterfaceNotification(WindowId window, const Guid& interfaceClass,
                                                       std::uint32_t flags) override;
    NotificationId registerHandleNotification(WindowId window, ConnectionId connection,
                                              std::uint32_t flags) override;
    bool unregisterNotification(NotificationId id) override;

private:
    struct Connection;
    struct Request;
    struct Outcome;
    std::shared_ptr<Connection> find(ConnectionId id);
    void hotplug(const UsbDeviceInfo& device, bool arrived);

    struct Pipe;
    // One control code on an open connection; false with the USB status and error in o.
    bool dispatch(Connection& c, std::uint32_t code, const std::uint8_t* in, std::uint32_t inLength,
                  std::uint8_t* out, std::uint32_t outLength, std::uint32_t* returned, Outcome& o);
    bool controlTransfer(Connection& c, const std::uint8_t* in, std::uint32_t inLength, std::uint8_t* out,
                         std::uint32_t outLength, std::uint32_t* returned, Outcome& o);
    bool layout(Connection& c, const ConfigLayout** result, Outcome& o);
    bool claim(Connection& c, std::uint8_t interfaceNumber, Outcome& o);
    bool resolvePipe(Connection& c, bool write, const std::uint8_t* in, std::uint32_t inLength, Pipe* pipe,
                     Outcome& o);
    bool pipeTransfer(Connection& c, bool write, const std::uint8_t* in, std::uint32_t inLength, std::uint8_t* out,
                      std::uint32_t outLength, std::uint32_t* returned, Outcome& o);
    // Starts an overlapped pipe transfer; *completed tells whether it already finished.
    bool startPipeTransfer(Connection& c, bool write, const std::uint8_t* in, std::uint32_t inLength,
                           std::uint8_t* out, std::uint32_t outLength, Overlapped* overlapped, bool* completed,
                           Outcome& o);

    UsbBackend& backend_;
    UsbListenerId listener_ = 0;

    std::mutex connectionsMutex_;
    std::map<ConnectionId, std::shared_ptr<Connection>> connections_;
    std::atomic<ConnectionId> nextConnection_{1};
    std::atomic<std::uint64_t> nextToken_{1};

    DeviceNotifications notifications_;
};

} // namespace platform
