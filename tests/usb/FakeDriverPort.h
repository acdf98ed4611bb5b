#pragma once

#include "platform/driver/DriverPort.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace usbtest {

// A scripted driver: devices with default answers for every control code, per-code overrides,
// a transcript of every call, overlapped requests completed by the test, and notifications
// posted to registered windows on attach and detach.
class FakeDriverPort : public platform::DriverPort {
public:
    struct Device {
        std::string path;
        std::uint16_t vendorId = 0x7C5D;
        std::uint16_t productId = 0x0001;
        std::uint32_t versionA = 5;
        std::uint32_t versionB = 5;
        std::vector<std::uint8_t> configuration; // configuration descriptor 0
        std::vector<std::uint32_t> interfaces{0};
    };
    struct Call {
        platform::ConnectionId connection;
        std::uint32_t code;
        std::vector<std::uint8_t> in;
        std::uint32_t outLength;
    };
    // Answers a call instead of the default: fill out, set *returned, return the call's result.
    using Handler = std::function<bool(const Call& call, std::uint8_t* out, std::uint32_t* returned)>;

    FakeDriverPort();
    ~FakeDriverPort() override;

    void addDevice(const Device& device);
    // addDevice plus an arrival posted to every registered window.
    void attach(const Device& device);
    // Removes the device and posts the removals (handle and interface) as the system does.
    void detach(const std::string& path);
    void setHandler(std::uint32_t code, Handler handler);

    std::vector<Call> calls(std::uint32_t code);
    int openConnections();
    // Every open asked for the path, granted or not.
    int opensOf(const std::string& path);
    int interfaceRegistrations();

    // Overlapped requests.
    std::size_t pendingCount();
    // Completes the oldest pending request with the bytes (copied into the read buffer).
    bool completeOldest(const std::vector<std::uint8_t>& data, bool ok = true);
    // Cancelled requests complete this much later, on another thread.
    void setCancelDelayMs(int ms) { cancelDelayMs_ = ms; }

    std::vector<std::string> enumerateInterfaces(const platform::Guid& interfaceClass) override;
    bool deviceIds(const std::string& path, std::uint16_t* vendorId, std::uint16_t* productId) override;
    platform::ConnectionId open(const std::string& path) override;
    void close(platform::ConnectionId connection) override;
    bool ioctl(platform::ConnectionId connection, std::uint32_t code, const void* in, std::uint32_t inLength,
               void* out, std::uint32_t outLength, std::uint32_t* returned) override;
    bool ioctlOverlapped(platform::ConnectionId connection, std::uint32_t code, const void* in,
                         std::uint32_t inLength, void* out, std::uint32_t outLength,
                         platform::Overlapped* overlapped) override;
    bool getOverlappedResult(platform::ConnectionId connection, platform::Overlapped* overlapped,
                             std::uint32_t* transferred, bool wait) override;
    bool cancelIo(platform::ConnectionId connection) override;
    bool cancelIoEx(platform::ConnectionId connection, platform::Overlapped* overlapped) override;
    platform::NotificationId registerDeviceInterfaceNotification(platform::WindowId window,
                                                                 const platform::Guid& interfaceClass,
                                                                 std::uint32_t flags) override;
    platform::NotificationId registerHandleNotification(platform::WindowId window,
                                                        platform::ConnectionId connection,
                                                        std::uint32_t flags) override;
    bool unregisterNotification(platform::NotificationId id) override;

private:
    struct Pending {
        platform::ConnectionId connection;
        platform::Overlapped* overlapped;
        std::uint8_t* out;
        std::uint32_t outLength;
        bool done = false;
    };
    struct Notification {
        platform::WindowId window;
        platform::ConnectionId connection; // 0 for a device-interface registration
    };

    bool defaultAnswer(const Device& device, const Call& call, std::uint8_t* out, std::uint32_t* returned);
    void finish(Pending& pending, const std::vector<std::uint8_t>& data, std::uint32_t error);
    // Aborts the requests, now or after the cancel delay. Called with the lock held.
    void abort(const std::vector<Pending*>& requests);
    void postInterfaceChange(platform::WindowId window, std::uintptr_t what, const std::string& path);

    std::mutex mutex_;
    std::condition_variable completed_;
    std::vector<Device> devices_;
    std::map<platform::ConnectionId, std::string> connections_;
    std::map<std::string, int> opens_;
    platform::ConnectionId nextConnection_ = 100;
    std::map<std::uint32_t, Handler> handlers_;
    std::vector<Call> calls_;
    std::vector<Pending*> pending_;
    std::uint64_t nextToken_ = 1;
    std::map<platform::NotificationId, Notification> notifications_;
    platform::NotificationId nextNotification_ = 1;
    int cancelDelayMs_ = 0;
    std::vector<std::thread> cancellers_;
};

// A configuration descriptor with two interfaces (0: class descriptor 0x21 and two endpoints,
// 1: two class descriptors 0x21 and one endpoint).
std::vector<std::uint8_t> twoInterfaceConfiguration();

} // namespace usbtest
