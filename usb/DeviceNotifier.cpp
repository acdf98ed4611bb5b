#include "usb/DeviceNotifier.h"

#include "platform/Clock.h"
#include "platform/driver/DriverPort.h"
#include "usb/CUSBDevice.h"
#include "usb/DriverBuffers.h"
#include "usb/DriverConnection.h"
#include "usb/UsbConstants.h"
#include "usb/UsbLog.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace TWG {
namespace USB {

namespace {

struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const
    {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
        });
    }
};

// One device-interface registration per window, shared by the window's notifiers.
struct WindowRegistration {
    int notifiers = 0;
    platform::NotificationId id = 0;
};

std::mutex& registrationMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::map<platform::WindowId, WindowRegistration>& registrations()
{
    static std::map<platform::WindowId, WindowRegistration> table;
    return table;
}

bool addWindowNotifier(platform::WindowId window, int flags)
{
    std::lock_guard<std::mutex> lock(registrationMutex());
    WindowRegistration& entry = registrations()[window];
    if (entry.notifiers == 0) {
        entry.id = platform::DriverPort::instance().registerDeviceInterfaceNotification(
            window, platform::kDriverInterfaceGuid, static_cast<std::uint32_t>(flags));
        if (entry.id == 0) {
            registrations().erase(window);
            return false;
        }
    }
    ++entry.notifiers;
    return true;
}

void dropWindowNotifier(platform::WindowId window)
{
    std::lock_guard<std::mutex> lock(registrationMutex());
    auto it = registrations().find(window);
    if (it == registrations().end())
        return;
    if (--it->second.notifiers == 0) {
        platform::DriverPort::instance().unregisterNotification(it->second.id);
        registrations().erase(it);
    }
}

bool listed(const std::vector<std::uint32_t>& ids, std::uint16_t id)
{
    return std::find(ids.begin(), ids.end(), std::uint32_t(id)) != ids.end();
}

} // namespace

struct DeviceNotifierContext {
    DeviceArrivalCallback arrival = nullptr;
    void* arrivalUser = nullptr;
    DeviceNotifierCallback removal = nullptr;
    void* removalUser = nullptr;
    std::vector<std::uint32_t> vendorIds;
    std::vector<std::uint32_t> productIds;
    platform::WindowId window = platform::kNoWindow;
    int flags = 0;
    std::map<platform::ConnectionId, CUSBDevice*> byHandle; // one device reference each
    std::map<std::string, platform::ConnectionId, CaseInsensitiveLess> byPath;
};

namespace {

bool passesFilter(const DeviceNotifierContext& context, platform::ConnectionId connection)
{
    std::uint32_t value = 0;
    if (!context.vendorIds.empty()) {
        if (!queryValue(connection, driver::kGetVendorId, nullptr, 0, driver::kWordLength, &value) ||
            !listed(context.vendorIds, static_cast<std::uint16_t>(value)))
            return false;
    }
    if (!context.productIds.empty()) {
        if (!queryValue(connection, driver::kGetProductId, nullptr, 0, driver::kWordLength, &value) ||
            !listed(context.productIds, static_cast<std::uint16_t>(value)))
            return false;
    }
    return true;
}

// False only when the port names the path's ids and they are outside the filter; a path it
// cannot name is opened and filtered through the connection.
bool mayBeAccepted(const DeviceNotifierContext& context, const std::string& path)
{
    if (context.vendorIds.empty() && context.productIds.empty())
        return true;
    std::uint16_t vendor = 0, product = 0;
    if (!platform::DriverPort::instance().deviceIds(path, &vendor, &product))
        return true;
    return (context.vendorIds.empty() || listed(context.vendorIds, vendor)) &&
           (context.productIds.empty() || listed(context.productIds, product));
}

// Opens the path and applies the filter; null when either fails. A device outside the filter is
// never opened: the driver's open is exclusive, and opening what another notifier holds would
// only be denied. Notifiers whose filters overlap may still probe one device at once, so a
// denied open is tried again, briefly.
constexpr std::int64_t kBusyOpenWaitMs = 20;
constexpr int kBusyOpenAttempts = 5;

DriverConnection* openAccepted(const DeviceNotifierContext& context, const std::string& path, bool* openFailed)
{
    *openFailed = false;
    if (!mayBeAccepted(context, path))
        return nullptr;
    DriverConnection* connection = nullptr;
    for (int attempt = 1;; ++attempt) {
        connection = DriverConnection::connectToDriverWithPath(path, context.window, context.flags);
        if (connection || attempt == kBusyOpenAttempts ||
            platform::DriverPort::instance().lastError() != platform::ERROR_ACCESS_DENIED)
            break;
        platform::clock().sleepFor(platform::Clock::Duration(kBusyOpenWaitMs));
    }
    if (!connection) {
        *openFailed = true;
        return nullptr;
    }
    if (!passesFilter(context, connection->handle())) {
        qCDebug(lcTwgUsb) << "device not in the id filter:" << path.c_str();
        connection->release();
        return nullptr;
    }
    return connection;
}

enum class Filing { Taken, NotTaken, NotMade };

void unfile(DeviceNotifierContext& context, platform::ConnectionId handle, bool reportRemoval)
{
    for (auto it = context.byPath.begin(); it != context.byPath.end();) {
        if (it->second == handle)
            it = context.byPath.erase(it);
        else
            ++it;
    }
    auto found = context.byHandle.find(handle);
    if (found == context.byHandle.end())
        return;
    CUSBDevice* device = found->second;
    context.byHandle.erase(found);
    if (reportRemoval && context.removal)
        context.removal(device, context.removalUser);
    device->release();
}

// Files a new device for the connection and announces it. A device the arrival does not take
// is let go again: filed, it would hold its exclusive connection until unplugged, and nothing
// could try it again.
Filing fileDevice(DeviceNotifierContext& context, const std::string& path, DriverConnection* connection)
{
    CUSBDevice* device = new (std::nothrow) CUSBDevice(connection);
    if (!device)
        return Filing::NotMade;
    const platform::ConnectionId handle = connection->handle();
    context.byHandle[handle] = device;
    context.byPath[path] = handle;
    if (!context.arrival || context.arrival(device, context.arrivalUser))
        return Filing::Taken;
    qCDebug(lcTwgUsb) << "device not taken, released:" << path.c_str();
    unfile(context, handle, false);
    return Filing::NotTaken;
}

} // namespace

DeviceNotifierContext* TWGUsb_CreateDeviceNotifier(DeviceArrivalCallback arrival, void* arrivalUser,
                                                   DeviceNotifierCallback removal, void* removalUser,
                                                   const DeviceIdFilter* filter, platform::WindowId window, int flags)
{
    if (flags < 0 || flags > kMaxNotifierFlags)
        return nullptr;
    if (filter && ((filter->vendorCount && !filter->vendorIds) || (filter->productCount && !filter->productIds)))
        return nullptr;
    DeviceNotifierContext* context = new (std::nothrow) DeviceNotifierContext;
    if (!context)
        return nullptr;
    context->arrival = arrival;
    context->arrivalUser = arrivalUser;
    context->removal = removal;
    context->removalUser = removalUser;
    if (filter) {
        context->vendorIds.assign(filter->vendorIds, filter->vendorIds + filter->vendorCount);
        context->productIds.assign(filter->productIds, filter->productIds + filter->productCount);
    }
    context->window = window;
    context->flags = flags;

    if (!addWindowNotifier(window, flags)) {
        delete context;
        return nullptr;
    }

    const std::vector<std::string> paths =
        platform::DriverPort::instance().enumerateInterfaces(platform::kDriverInterfaceGuid);
    for (const std::string& path : paths) {
        if (context->byPath.count(path))
            continue;
        bool openFailed = false;
        DriverConnection* connection = openAccepted(*context, path, &openFailed);
        if (!connection)
            continue;
        fileDevice(*context, path, connection);
        connection->release();
    }
    return context;
}

bool TWGUsb_HandleDeviceArrivalMessage(DeviceNotifierContext* context, const platform::DEV_BROADCAST_HDR* header)
{
    if (!context || !header || header->dbch_devicetype != platform::DBT_DEVTYP_DEVICEINTERFACE)
        return false;
    const auto* broadcast = reinterpret_cast<const platform::DEV_BROADCAST_DEVICEINTERFACE*>(header);
    if (broadcast->dbcc_classguid != platform::kDriverInterfaceGuid)
        return false;
    const std::string path(broadcast->dbcc_name, strnlen(broadcast->dbcc_name, platform::kMaxDevicePath));

    // Known already (found by the enumeration at create, say): one device per path.
    if (context->byPath.count(path))
        return true;

    bool openFailed = false;
    DriverConnection* connection = openAccepted(*context, path, &openFailed);
    if (!connection) {
        if (openFailed)
            std::fprintf(stderr, "*** %s[%d]: ConnectToDriverWithPath failed\n",
                         "TWG::USB::TWGUsb_HandleDeviceArrivalMessage", __LINE__);
        return false;
    }
    const Filing filing = fileDevice(*context, path, connection);
    if (filing == Filing::NotMade)
        std::fprintf(stderr, "*** %s[%d]: DeviceInterfaceForInstance failed\n",
                     "TWG::USB::TWGUsb_HandleDeviceArrivalMessage", __LINE__);
    connection->release();
    return filing == Filing::Taken;
}

bool TWGUsb_HandleDeviceRemovalMessage(DeviceNotifierContext* context, const platform::DEV_BROADCAST_HDR* header)
{
    if (!context || !header)
        return false;
    platform::ConnectionId handle = platform::kInvalidConnection;
    if (header->dbch_devicetype == platform::DBT_DEVTYP_HANDLE) {
        handle = reinterpret_cast<const platform::DEV_BROADCAST_HANDLE*>(header)->dbch_handle;
    } else if (header->dbch_devicetype == platform::DBT_DEVTYP_DEVICEINTERFACE) {
        const auto* broadcast = reinterpret_cast<const platform::DEV_BROADCAST_DEVICEINTERFACE*>(header);
        const std::string path(broadcast->dbcc_name, strnlen(broadcast->dbcc_name, platform::kMaxDevicePath));
        auto it = context->byPath.find(path);
        if (it == context->byPath.end())
            return false;
        handle = it->second;
    } else {
        return false;
    }
    if (!context->byHandle.count(handle))
        return false;
    unfile(*context, handle, true);
    return true;
}

bool TWGUsb_HandleDeviceChange(DeviceNotifierContext* context, platform::WPARAM wParam, platform::LPARAM lParam)
{
    if (!context || lParam == 0)
        return false;
    const auto* header = reinterpret_cast<const platform::DEV_BROADCAST_HDR*>(lParam);
    if (wParam == platform::DBT_DEVICEARRIVAL)
        return TWGUsb_HandleDeviceArrivalMessage(context, header);
    if (wParam >= platform::DBT_DEVICEQUERYREMOVE && wParam <= platform::DBT_DEVICEREMOVECOMPLETE)
        return TWGUsb_HandleDeviceRemovalMessage(context, header);
    return false;
}

void TWGUsb_DestroyDeviceNotifier(DeviceNotifierContext* context)
{
    if (!context)
        return;
    dropWindowNotifier(context->window);
    for (auto& filed : context->byHandle)
        filed.second->release();
    delete context;
}

} // namespace USB
} // namespace TWG
