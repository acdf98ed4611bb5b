#include "FakeDriverPort.h"

#include "platform/Messages.h"
#include "usb/DriverBuffers.h"
#include "usb/UsbConstants.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>

using namespace TWG::USB;

namespace usbtest {

FakeDriverPort::FakeDriverPort() = default;

FakeDriverPort::~FakeDriverPort()
{
    for (std::thread& t : cancellers_)
        t.join();
    for (Pending* p : pending_)
        delete p;
}

void FakeDriverPort::addDevice(const Device& device)
{
    std::lock_guard<std::mutex> lock(mutex_);
    devices_.push_back(device);
}

void FakeDriverPort::postInterfaceChange(platform::WindowId window, std::uintptr_t what, const std::string& path)
{
    auto record = std::make_shared<platform::DEV_BROADCAST_DEVICEINTERFACE>();
    std::memset(record.get(), 0, sizeof *record);
    record->header.dbch_size = sizeof *record;
    record->header.dbch_devicetype = platform::DBT_DEVTYP_DEVICEINTERFACE;
    record->dbcc_classguid = platform::kDriverInterfaceGuid;
    std::strncpy(record->dbcc_name, path.c_str(), platform::kMaxDevicePath - 1);
    platform::postMessage(window, platform::WM_DEVICECHANGE, what, 0, record);
}

void FakeDriverPort::attach(const Device& device)
{
    std::vector<platform::WindowId> windows;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        devices_.push_back(device);
        for (auto& n : notifications_)
            if (n.second.connection == platform::kInvalidConnection)
                windows.push_back(n.second.window);
    }
    for (platform::WindowId w : windows)
        postInterfaceChange(w, platform::DBT_DEVICEARRIVAL, device.path);
}

void FakeDriverPort::detach(const std::string& path)
{
    std::vector<std::pair<platform::WindowId, platform::ConnectionId>> handles;
    std::vector<platform::WindowId> windows;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        devices_.erase(std::remove_if(devices_.begin(), devices_.end(),
                                      [&](const Device& d) { return d.path == path; }),
                       devices_.end());
        for (auto& n : notifications_) {
            if (n.second.connection == platform::kInvalidConnection)
                windows.push_back(n.second.window);
            else if (connections_.count(n.second.connection) && connections_[n.second.connection] == path)
                handles.emplace_back(n.second.window, n.second.connection);
        }
    }
    for (auto& h : handles) {
        auto record = std::make_shared<platform::DEV_BROADCAST_HANDLE>();
        record->header = {sizeof *record, platform::DBT_DEVTYP_HANDLE, 0};
        record->dbch_handle = h.second;
        platform::postMessage(h.first, platform::WM_DEVICECHANGE, platform::DBT_DEVICEREMOVECOMPLETE, 0, record);
    }
    for (platform::WindowId w : windows)
        postInterfaceChange(w, platform::DBT_DEVICEREMOVECOMPLETE, path);
}

void FakeDriverPort::setHandler(std::uint32_t code, Handler handler)
{
    std::lock_guard<std::mutex> lock(mutex_);
    handlers_[code] = std::move(handler);
}

std::vector<FakeDriverPort::Call> FakeDriverPort::calls(std::uint32_t code)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Call> out;
    for (const Call& c : calls_)
        if (c.code == code)
            out.push_back(c);
    return out;
}

int FakeDriverPort::openConnections()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(connections_.size());
}

int FakeDriverPort::interfaceRegistrations()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(std::count_if(notifications_.begin(), notifications_.end(), [](const auto& n) {
        return n.second.connection == platform::kInvalidConnection;
    }));
}

std::vector<std::string> FakeDriverPort::enumerateInterfaces(const platform::Guid& interfaceClass)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> paths;
    if (interfaceClass == platform::kDriverInterfaceGuid)
        for (const Device& d : devices_)
            paths.push_back(d.path);
    return paths;
}

int FakeDriverPort::opensOf(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return opens_[path];
}

bool FakeDriverPort::deviceIds(const std::string& path, std::uint16_t* vendorId, std::uint16_t* productId)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!vendorId || !productId) {
        setLastError(platform::ERROR_INVALID_PARAMETER);
        return false;
    }
    for (const Device& d : devices_) {
        if (d.path == path) {
            *vendorId = d.vendorId;
            *productId = d.productId;
            setLastError(platform::ERROR_SUCCESS);
            return true;
        }
    }
    setLastError(platform::ERROR_FILE_NOT_FOUND);
    return false;
}

platform::ConnectionId FakeDriverPort::open(const std::string& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++opens_[path];
    bool present = std::any_of(devices_.begin(), devices_.end(), [&](const Device& d) { return d.path == path; });
    if (!present) {
        setLastError(platform::ERROR_FILE_NOT_FOUND);
        return platform::kInvalidConnection;
    }
    for (auto& c : connections_)
        if (c.second == path) {
            setLastError(platform::ERROR_ACCESS_DENIED);
            return platform::kInvalidConnection;
        }
    platform::ConnectionId id = nextConnection_++;
    connections_[id] = path;
    return id;
}

void FakeDriverPort::close(platform::ConnectionId connection)
{
    std::lock_guard<std::mutex> lock(mutex_);
    connections_.erase(connection);
}

bool FakeDriverPort::defaultAnswer(const Device& device, const Call& call, std::uint8_t* out,
                                   std::uint32_t* returned)
{
    auto answer = [&](std::uint32_t value, std::uint32_t length) {
        std::uint8_t bytes[4];
        putU32(bytes, value);
        std::memcpy(out, bytes, std::min<std::uint32_t>(length, std::min<std::uint32_t>(call.outLength, 4)));
        *returned = length;
        return true;
    };
    switch (call.code) {
    case driver::kGetVersion:
        putU32(out, device.versionA);
        putU32(out + 4, device.versionB);
        *returned = 8;
        return true;
    case driver::kGetVendorId:
        return answer(device.vendorId, 4);
    case driver::kGetProductId:
        return answer(device.productId, 4);
    case driver::kGetSerialNumberIndex:
        return answer(3, 1);
    case driver::kGetConfigDescriptor: {
        const std::uint32_t total = driver::kWordLength + static_cast<std::uint32_t>(device.configuration.size());
        if (call.outLength < total)
            return answer(total, 4);
        putU32(out, total);
        if (!device.configuration.empty())
            std::memcpy(out + driver::kWordLength, device.configuration.data(), device.configuration.size());
        *returned = total;
        return true;
    }
    case driver::kGetInterfaceList: {
        const std::uint32_t count = static_cast<std::uint32_t>(device.interfaces.size());
        if (call.outLength < driver::kWordLength + 4 * count)
            return answer(count, 4);
        putU32(out, count);
        for (std::uint32_t i = 0; i < count; ++i)
            putU32(out + driver::kWordLength + 4 * i, device.interfaces[i]);
        *returned = driver::kWordLength + 4 * count;
        return true;
    }
    case driver::kControlTransfer:
        if (!call.in.empty())
            std::memcpy(out, call.in.data(), call.in.size());
        *returned = static_cast<std::uint32_t>(call.in.size());
        return true;
    case driver::kPipeWrite:
        *returned = static_cast<std::uint32_t>(call.in.size() - driver::kPipeHeaderLength);
        return true;
    default:
        if (call.outLength >= 4)
            return answer(0, 4);
        *returned = 0;
        return true;
    }
}

bool FakeDriverPort::ioctl(platform::ConnectionId connection, std::uint32_t code, const void* in,
                           std::uint32_t inLength, void* out, std::uint32_t outLength, std::uint32_t* returned)
{
    Call call{connection, code, {}, outLength};
    if (in && inLength)
        call.in.assign(static_cast<const std::uint8_t*>(in), static_cast<const std::uint8_t*>(in) + inLength);
    Handler handler;
    Device device;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(call);
        auto c = connections_.find(connection);
        if (c == connections_.end()) {
            setLastError(platform::ERROR_DEVICE_NOT_CONNECTED);
            return false;
        }
        auto d = std::find_if(devices_.begin(), devices_.end(), [&](const Device& x) { return x.path == c->second; });
        if (d == devices_.end()) {
            setLastError(platform::ERROR_DEVICE_NOT_CONNECTED);
            return false;
        }
        device = *d;
        auto h = handlers_.find(code);
        if (h != handlers_.end())
            handler = h->second;
    }
    std::uint32_t count = 0;
    setLastError(platform::ERROR_SUCCESS);
    bool ok = handler ? handler(call, static_cast<std::uint8_t*>(out), &count)
                      : defaultAnswer(device, call, static_cast<std::uint8_t*>(out), &count);
    if (returned)
        *returned = count;
    if (ok)
        setLastError(platform::ERROR_SUCCESS);
    else if (lastError() == platform::ERROR_SUCCESS)
        setLastError(platform::ERROR_GEN_FAILURE);
    return ok;
}

bool FakeDriverPort::ioctlOverlapped(platform::ConnectionId connection, std::uint32_t code, const void* in,
                                     std::uint32_t inLength, void* out, std::uint32_t outLength,
                                     platform::Overlapped* overlapped)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Call call{connection, code, {}, outLength};
    call.in.assign(static_cast<const std::uint8_t*>(in), static_cast<const std::uint8_t*>(in) + inLength);
    calls_.push_back(call);
    if (!connections_.count(connection)) {
        setLastError(platform::ERROR_DEVICE_NOT_CONNECTED);
        return false;
    }
    overlapped->token = nextToken_++;
    overlapped->error = platform::ERROR_IO_PENDING;
    overlapped->transferred = 0;
    pending_.push_back(new Pending{connection, overlapped, static_cast<std::uint8_t*>(out), outLength});
    setLastError(platform::ERROR_IO_PENDING);
    return false;
}

void FakeDriverPort::finish(Pending& pending, const std::vector<std::uint8_t>& data, std::uint32_t error)
{
    const std::uint32_t n = std::min<std::uint32_t>(static_cast<std::uint32_t>(data.size()), pending.outLength);
    if (pending.out && n)
        std::memcpy(pending.out, data.data(), n);
    pending.overlapped->transferred = error == platform::ERROR_SUCCESS ? n : 0;
    pending.overlapped->error = error;
    pending.done = true;
    pending.overlapped->event->set();
}

std::size_t FakeDriverPort::pendingCount()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(pending_.begin(), pending_.end(), [](Pending* p) { return !p->done; }));
}

bool FakeDriverPort::completeOldest(const std::vector<std::uint8_t>& data, bool ok)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (Pending* p : pending_)
        if (!p->done) {
            finish(*p, data, ok ? platform::ERROR_SUCCESS : platform::ERROR_GEN_FAILURE);
            completed_.notify_all();
            return true;
        }
    return false;
}

bool FakeDriverPort::getOverlappedResult(platform::ConnectionId, platform::Overlapped* overlapped,
                                         std::uint32_t* transferred, bool wait)
{
    std::unique_lock<std::mutex> lock(mutex_);
    auto it = std::find_if(pending_.begin(), pending_.end(), [&](Pending* p) { return p->overlapped == overlapped; });
    if (it == pending_.end()) {
        setLastError(platform::ERROR_INVALID_PARAMETER);
        return false;
    }
    Pending* p = *it;
    if (!p->done && !wait) {
        setLastError(996 /* ERROR_IO_INCOMPLETE */);
        return false;
    }
    completed_.wait(lock, [p] { return p->done; });
    pending_.erase(std::find(pending_.begin(), pending_.end(), p));
    const std::uint32_t error = overlapped->error;
    if (transferred)
        *transferred = overlapped->transferred;
    delete p;
    setLastError(error);
    return error == platform::ERROR_SUCCESS;
}

bool FakeDriverPort::cancelIo(platform::ConnectionId connection)
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Pending*> mine;
    for (Pending* p : pending_)
        if (p->connection == connection && !p->done)
            mine.push_back(p);
    abort(mine);
    return true;
}

bool FakeDriverPort::cancelIoEx(platform::ConnectionId connection, platform::Overlapped* overlapped)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find_if(pending_.begin(), pending_.end(), [&](Pending* p) {
        return p->connection == connection && p->overlapped == overlapped && !p->done;
    });
    if (it == pending_.end()) {
        setLastError(platform::ERROR_NOT_FOUND);
        return false;
    }
    abort({*it});
    return true;
}

void FakeDriverPort::abort(const std::vector<Pending*>& requests)
{
    if (cancelDelayMs_ == 0) {
        for (Pending* p : requests)
            finish(*p, {0xEE, 0xEE, 0xEE, 0xEE}, platform::ERROR_OPERATION_ABORTED);
        completed_.notify_all();
        return;
    }
    // Late completions write into the request's buffers: freeing them before is a fault.
    cancellers_.emplace_back([this, requests, delay = cancelDelayMs_] {
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        std::lock_guard<std::mutex> lock(mutex_);
        for (Pending* p : requests)
            if (std::find(pending_.begin(), pending_.end(), p) != pending_.end() && !p->done)
                finish(*p, {0xEE, 0xEE, 0xEE, 0xEE}, platform::ERROR_OPERATION_ABORTED);
        completed_.notify_all();
    });
}

platform::NotificationId FakeDriverPort::registerDeviceInterfaceNotification(platform::WindowId window,
                                                                             const platform::Guid&, std::uint32_t)
{
    std::lock_guard<std::mutex> lock(mutex_);
    platform::NotificationId id = nextNotification_++;
    notifications_[id] = {window, platform::kInvalidConnection};
    return id;
}

platform::NotificationId FakeDriverPort::registerHandleNotification(platform::WindowId window,
                                                                    platform::ConnectionId connection, std::uint32_t)
{
    std::lock_guard<std::mutex> lock(mutex_);
    platform::NotificationId id = nextNotification_++;
    notifications_[id] = {window, connection};
    return id;
}

bool FakeDriverPort::unregisterNotification(platform::NotificationId id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return notifications_.erase(id) != 0;
}

std::vector<std::uint8_t> twoInterfaceConfiguration()
{
    std::vector<std::uint8_t> d = {
        9, 2, 0, 0, 2, 1, 0, 0x80, 50,          // configuration (wTotalLength patched below)
        9, 4, 0, 0, 2, 0xFF, 0xFF, 0xFF, 0,     // interface 0
        5, 0x21, 0xA0, 0xA1, 0xA2,              // class descriptor of interface 0
        7, 5, 0x81, 2, 0x00, 0x02, 0,           // endpoint IN
        7, 5, 0x02, 2, 0x00, 0x02, 0,           // endpoint OUT
        9, 4, 1, 0, 1, 0xFE, 0x01, 0x01, 0,     // interface 1
        4, 0x21, 0xB0, 0xB1,                    // first class descriptor of interface 1
        6, 0x21, 0xC0, 0xC1, 0xC2, 0xC3,        // second class descriptor of interface 1
        7, 5, 0x83, 3, 0x40, 0x00, 1,           // endpoint interrupt IN
    };
    putU16(d.data() + 2, static_cast<std::uint16_t>(d.size()));
    return d;
}

} // namespace usbtest
