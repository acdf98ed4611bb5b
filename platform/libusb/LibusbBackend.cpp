#include "platform/libusb/LibusbBackend.h"

#include "platform/backend/BackendLog.h"
#include "platform/libusb/AllowList.h"
#include "platform/libusb/LibusbStatus.h"
#include "protocol/UsbChapter9.h"

#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

constexpr UsbTimeoutMs kDescriptorTimeoutMs = 1000;
constexpr int kEventSliceUs = 200000;

UsbDeviceDescriptor descriptorOf(const libusb_device_descriptor& d)
{
    UsbDeviceDescriptor out;
    out.bcdUSB = d.bcdUSB;
    out.bDeviceClass = d.bDeviceClass;
    out.bDeviceSubClass = d.bDeviceSubClass;
    out.bDeviceProtocol = d.bDeviceProtocol;
    out.bMaxPacketSize0 = d.bMaxPacketSize0;
    out.idVendor = d.idVendor;
    out.idProduct = d.idProduct;
    out.bcdDevice = d.bcdDevice;
    out.iManufacturer = d.iManufacturer;
    out.iProduct = d.iProduct;
    out.iSerialNumber = d.iSerialNumber;
    out.bNumConfigurations = d.bNumConfigurations;
    return out;
}

// The device's path and descriptor when it is on the allow-list.
bool allowedInfo(libusb_device* device, UsbDeviceInfo* info)
{
    libusb_device_descriptor d;
    if (libusb_get_device_descriptor(device, &d) != LIBUSB_SUCCESS)
        return false;
    if (!AllowList::contains(d.idVendor, d.idProduct))
        return false;
    info->path = LibusbBackend::pathOf(libusb_get_bus_number(device), libusb_get_device_address(device));
    info->descriptor = descriptorOf(d);
    return true;
}

bool byBusAndAddress(const UsbDeviceInfo& a, const UsbDeviceInfo& b)
{
    int busA = 0, addressA = 0, busB = 0, addressB = 0;
    LibusbBackend::parsePath(a.path, &busA, &addressA);
    LibusbBackend::parsePath(b.path, &busB, &addressB);
    return busA != busB ? busA < busB : addressA < addressB;
}

// A transfer submitted and waited for by the calling thread; the event thread completes it, so
// that completions and hot-plug callbacks only ever run there.
struct SyncWait {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
};

void LIBUSB_CALL onSyncTransfer(libusb_transfer* transfer)
{
    auto* wait = static_cast<SyncWait*>(transfer->user_data);
    std::lock_guard<std::mutex> lock(wait->mutex);
    wait->finished = true;
    wait->done.notify_all();   // under the lock: the waiter frees the record once it sees the flag
}

// 0 once the transfer has completed (its status says how), else the submit error.
int submitAndWait(libusb_transfer* transfer)
{
    SyncWait wait;
    transfer->callback = onSyncTransfer;
    transfer->user_data = &wait;
    const int r = libusb_submit_transfer(transfer);
    if (r != LIBUSB_SUCCESS)
        return r;
    std::unique_lock<std::mutex> lock(wait.mutex);
    wait.done.wait(lock, [&] { return wait.finished; });
    return LIBUSB_SUCCESS;
}

// No LIBUSB_TRANSFER_ADD_ZERO_PACKET: the callers send their zero-length packets themselves.
void fillTransfer(libusb_transfer* t, libusb_device_handle* handle, std::uint8_t endpoint, UsbTransferType type,
                  std::uint8_t* data, std::uint32_t length, libusb_transfer_cb_fn callback, void* user,
                  UsbTimeoutMs timeout)
{
    if (type == UsbTransferType::Interrupt)
        libusb_fill_interrupt_transfer(t, handle, endpoint, data, static_cast<int>(length), callback, user, timeout);
    else
        libusb_fill_bulk_transfer(t, handle, endpoint, data, static_cast<int>(length), callback, user, timeout);
}

} // namespace

struct LibusbCallbacks {
    static int LIBUSB_CALL hotplug(libusb_context*, libusb_device* device, libusb_hotplug_event event, void* self)
    {
        static_cast<LibusbBackend*>(self)->onHotplug(device, event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED);
        return 0;   // stay registered
    }
    static void LIBUSB_CALL transfer(libusb_transfer* t) { LibusbBackend::onTransfer(t); }
};

struct LibusbBackend::OpenDevice {
    UsbHandle id = kNoUsbHandle;
    std::string path;
    libusb_device* device = nullptr;          // referenced
    libusb_device_handle* handle = nullptr;
    UsbDeviceDescriptor descriptor;
    std::atomic<bool> gone{false};

    mutable std::mutex claimMutex;            // guards claims and the layout below
    std::map<std::uint8_t, int> claims;       // bInterfaceNumber -> count
    std::set<std::uint8_t> interfaces;        // of the active configuration
    std::map<std::uint8_t, std::uint8_t> endpointInterface;

    std::map<UsbTransferId, AsyncTransfer*> inFlight;   // guarded by the backend's mutex_

    // Reads the interfaces and endpoints of the active configuration (cached, no bus traffic).
    void readLayout()
    {
        interfaces.clear();
        endpointInterface.clear();
        libusb_config_descriptor* config = nullptr;
        if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS)
            return;
        for (int i = 0; i < config->bNumInterfaces; ++i) {
            const libusb_interface& itf = config->interface[i];
            for (int a = 0; a < itf.num_altsetting; ++a) {
                const libusb_interface_descriptor& alt = itf.altsetting[a];
                interfaces.insert(alt.bInterfaceNumber);
                for (int e = 0; e < alt.bNumEndpoints; ++e)
                    endpointInterface[alt.endpoint[e].bEndpointAddress] = alt.bInterfaceNumber;
            }
        }
        libusb_free_config_descriptor(config);
    }

    // Runs when the last user (a caller, or an asynchronous transfer) lets go.
    ~OpenDevice()
    {
        for (const auto& claim : claims)
            libusb_release_interface(handle, claim.first);
        libusb_close(handle);
        libusb_unref_device(device);
    }
};

struct LibusbBackend::AsyncTransfer {
    UsbTransferId id = 0;
    libusb_transfer* transfer = nullptr;
    UsbCompletion done;
    std::shared_ptr<OpenDevice> owner;   // keeps the handle open until the completion has run;
                                         // never the last reference (see onTransfer)
    LibusbBackend* backend = nullptr;
};

std::unique_ptr<LibusbBackend> LibusbBackend::create(Hotplug hotplug)
{
    libusb_context* context = nullptr;
    const int r = libusb_init(&context);
    if (r != LIBUSB_SUCCESS) {
        qCWarning(lcUsbBackend, "libusb could not start: %s", libusb_error_name(r));
        return nullptr;
    }
    return std::unique_ptr<LibusbBackend>(new LibusbBackend(context, hotplug));
}

LibusbBackend::LibusbBackend(libusb_context* context, Hotplug hotplug) : context_(context)
{
    if (hotplug == Hotplug::Polling) {
        qCDebug(lcUsbBackend, "polling the bus for hot-plug");
    } else if (libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG)) {
        libusb_hotplug_callback_handle handle = 0;
        const int r = libusb_hotplug_register_callback(
            context_,
            static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
            static_cast<libusb_hotplug_flag>(0), LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY,
            LIBUSB_HOTPLUG_MATCH_ANY, &LibusbCallbacks::hotplug, this, &handle);
        if (r == LIBUSB_SUCCESS) {
            hotplugNative_ = true;
            hotplugHandle_ = handle;
        } else {
            qCInfo(lcUsbBackend, "libusb hot-plug unavailable (%s): polling the bus", libusb_error_name(r));
        }
    } else {
        qCInfo(lcUsbBackend, "libusb has no hot-plug support here: polling the bus");
    }
    if (!hotplugNative_) {
        for (const UsbDeviceInfo& info : listDevices())
            polled_[info.path] = info;
    }
    eventThread_ = std::thread([this] { runEvents(); });
}

LibusbBackend::~LibusbBackend()
{
    std::vector<UsbHandle> handles;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& entry : open_)
            handles.push_back(entry.first);
    }
    for (UsbHandle h : handles)
        close(h);
    if (hotplugNative_)
        libusb_hotplug_deregister_callback(context_, hotplugHandle_);
    stop_ = true;
    libusb_interrupt_event_handler(context_);
    eventThread_.join();
    libusb_exit(context_);
}

std::string LibusbBackend::pathOf(int bus, int address)
{
    return "usb:" + std::to_string(bus) + ":" + std::to_string(address);
}

bool LibusbBackend::parsePath(const std::string& path, int* bus, int* address)
{
    int b = 0, a = 0, consumed = 0;
    if (std::sscanf(path.c_str(), "usb:%d:%d%n", &b, &a, &consumed) != 2)
        return false;
    if (static_cast<std::size_t>(consumed) != path.size() || pathOf(b, a) != path || b <= 0 || a <= 0)
        return false;
    *bus = b;
    *address = a;
    return true;
}

std::vector<UsbDeviceInfo> LibusbBackend::listDevices()
{
    std::vector<UsbDeviceInfo> out;
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(context_, &list);
    for (ssize_t i = 0; i < n; ++i) {
        UsbDeviceInfo info;
        if (allowedInfo(list[i], &info))
            out.push_back(std::move(info));
    }
    if (n >= 0)
        libusb_free_device_list(list, 1);
    std::sort(out.begin(), out.end(), byBusAndAddress);
    return out;
}

// From libusb's cached descriptor: the device is not opened, and a device off the allow-list is
// as absent as it is to listDevices.
UsbStatus LibusbBackend::describe(const std::string& path, UsbDeviceDescriptor* descriptor)
{
    if (!descriptor)
        return UsbStatus::BadArgument;
    int bus = 0, address = 0;
    if (!parsePath(path, &bus, &address))
        return UsbStatus::NotFound;
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(context_, &list);
    if (n < 0)
        return UsbStatus::NotFound;
    UsbStatus status = UsbStatus::NotFound;
    for (ssize_t i = 0; i < n; ++i) {
        UsbDeviceInfo info;
        if (libusb_get_bus_number(list[i]) == bus && libusb_get_device_address(list[i]) == address &&
            allowedInfo(list[i], &info)) {
            *descriptor = info.descriptor;
            status = UsbStatus::Success;
            break;
        }
    }
    libusb_free_device_list(list, 1);
    return status;
}

UsbStatus LibusbBackend::open(const std::string& path, UsbHandle* handle)
{
    int bus = 0, address = 0;
    if (!handle || !parsePath(path, &bus, &address))
        return UsbStatus::NotFound;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& entry : open_) {
            if (entry.second->path == path)
                return UsbStatus::AccessDenied;
        }
    }

    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(context_, &list);
    if (n < 0)
        return usbStatusFromLibusbError(static_cast<int>(n));
    libusb_device* device = nullptr;
    for (ssize_t i = 0; i < n; ++i) {
        if (libusb_get_bus_number(list[i]) == bus && libusb_get_device_address(list[i]) == address) {
            device = libusb_ref_device(list[i]);
            break;
        }
    }
    libusb_free_device_list(list, 1);
    if (!device)
        return UsbStatus::NotFound;

    // The allow-list is checked from the cached descriptor: a foreign device is never opened.
    libusb_device_descriptor d{};
    if (libusb_get_device_descriptor(device, &d) != LIBUSB_SUCCESS || !AllowList::contains(d.idVendor, d.idProduct)) {
        qCDebug(lcUsbBackend, "%s %04x:%04x is not a converter: not opened", path.c_str(), d.idVendor, d.idProduct);
        libusb_unref_device(device);
        return UsbStatus::AccessDenied;
    }

    libusb_device_handle* h = nullptr;
    const int r = libusb_open(device, &h);
    if (r != LIBUSB_SUCCESS) {
        libusb_unref_device(device);
        if (r == LIBUSB_ERROR_ACCESS)
            qCWarning(lcUsbBackend, "%s: no permission to open the converter (is the udev rule "
                      "60-vantorel-converters.rules installed?)", path.c_str());
        else
            qCInfo(lcUsbBackend, "%s could not be opened: %s", path.c_str(), libusb_error_name(r));
        switch (r) {
        case LIBUSB_ERROR_NO_DEVICE: return UsbStatus::Gone;
        case LIBUSB_ERROR_NO_MEM: return UsbStatus::NoMemory;
        case LIBUSB_ERROR_NOT_FOUND: return UsbStatus::NotFound;
        default: return UsbStatus::AccessDenied;
        }
    }
    // Only ever reached for an allowed device.
    libusb_set_auto_detach_kernel_driver(h, 1);

    auto opened = std::make_shared<OpenDevice>();
    opened->path = path;
    opened->device = device;
    opened->handle = h;
    opened->descriptor = descriptorOf(d);
    opened->readLayout();

    std::unique_lock<std::mutex> lock(mutex_);
    for (const auto& entry : open_) {
        if (entry.second->path == path) {   // another thread won the race
            lock.unlock();
            opened.reset();
            return UsbStatus::AccessDenied;
        }
    }
    opened->id = ++lastHandle_;
    open_[opened->id] = opened;
    *handle = opened->id;
    return UsbStatus::Success;
}

void LibusbBackend::close(UsbHandle handle)
{
    std::shared_ptr<OpenDevice> device;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        auto it = open_.find(handle);
        if (it == open_.end())
            return;
        device = it->second;
        open_.erase(it);
        for (const auto& entry : device->inFlight)
            libusb_cancel_transfer(entry.second->transfer);
        transferDone_.wait(lock, [&] { return device->inFlight.empty(); });
    }
    // The last reference closes the libusb handle, outside the lock (libusb_close waits for
    // the event thread).
    device.reset();
}

std::shared_ptr<LibusbBackend::OpenDevice> LibusbBackend::find(UsbHandle handle)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second;
}

UsbStatus LibusbBackend::deviceDescriptor(UsbHandle handle, UsbDeviceDescriptor* descriptor)
{
    std::shared_ptr<OpenDevice> d = find(handle);
    if (!d || !descriptor)
        return UsbStatus::BadArgument;
    if (d->gone)
        return UsbStatus::Gone;
    *descriptor = d->descriptor;
    return UsbStatus::Success;
}

UsbStatus LibusbBackend::configDescriptor(UsbHandle handle, std::uint8_t index, std::vector<std::uint8_t>* bytes)
{
    std::shared_ptr<OpenDevice> d = find(handle);
    if (!d || !bytes || index >= d->descriptor.bNumConfigurations)
        return UsbStatus::BadArgument;
    UsbSetup setup;
    setup.bmRequestType = usbch9::kRequestDirectionIn | usbch9::kRecipientDevice;
    setup.bRequest = usbch9::kGetDescriptor;
    setup.wValue = static_cast<std::uint16_t>(usbch9::kDescriptorConfiguration << 8 | index);
    setup.wLength = usbch9::kConfigurationLength;
    std::vector<std::uint8_t> header(usbch9::kConfigurationLength);
    std::uint32_t got = 0;
    UsbStatus s = controlTransfer(handle, setup, header.data(), kDescriptorTimeoutMs, &got);
    if (s != UsbStatus::Success)
        return s;
    if (got < 4)
        return UsbStatus::NotResponding;
    const std::uint16_t total = static_cast<std::uint16_t>(header[2] | header[3] << 8);
    if (total < usbch9::kConfigurationLength)
        return UsbStatus::NotResponding;
    std::vector<std::uint8_t> all(total);
    setup.wLength = total;
    s = controlTransfer(handle, setup, all.data(), kDescriptorTimeoutMs, &got);
    if (s != UsbStatus::Success)
        return s;
    all.resize(got);
    *bytes = std::move(all);
    return UsbStatus::Success;
}

UsbStatus LibusbBackend::setConfiguration(UsbHandle handle, std::uint8_t configurationValue)
{
    std::shared_ptr<OpenDevice> d = find(handle);
    if (!d)
        return UsbStatus::BadArgument;
    if (d->gone)
        return UsbStatus::Gone;
    int current = -1;
    if (libusb_get_configuration(d->handle, &current) == LIBUSB_SUCCESS && current == configurationValue)
        return UsbStatus::Success;   // setting it again would reset the device's endpoints
    std::lock_guard<std::mutex> lock(d->claimMutex);
    const int r = libusb_set_configuration(d->handle, configurationValue);
    if (r == LIBUSB_SUCCESS)
        d->readLayout();
    return usbStatusFromLibusbError(r);
}

UsbStatus LibusbBackend::claimInterface(UsbHandle handle, std::uint8_t interfaceNumber)
{
    std::shared_ptr<OpenDevice> d = find(handle);
    if (!d)
        return UsbStatus::BadArgument;
    if (d->gone)
        return UsbStatus::Gone;
    std::lock_guard<std::mutex> lock(d->claimMutex);
    if (!d->interfaces.count(interfaceNumber))
        return UsbStatus::BadArgument;
    int& count = d->claims[interfaceNumber];
    if (count == 0) {
        const int r = libusb_claim_interface(d->handle, interfaceNumber);
        if (r != LIBUSB_SUCCESS) {
            d->claims.erase(interfaceNumber);
            qCInfo(lcUsbBackend, "%s interface %d not claimed: %s", d->path.c_str(), interfaceNumber,
                   libusb_error_name(r));
            return usbStatusFromLibusbError(r);
        }
    }
    ++count;
    return UsbStatus::Success;
}

UsbStatus LibusbBackend::releaseInterface(UsbHandle handle, std::uint8_t interfaceNumber)
{
    std::shared_ptr<OpenDevice> d = find(handle);
    if (!d)
        return UsbStatus::BadArgument;
    std::lock_guard<std::mutex> lock(d->claimMutex);
    auto it = d->claims.find(interfaceNumber);
    if (it == d->claims.end())
        return UsbStatus::BadArgument;
    if (--it->second > 0)
        return UsbStatus::Success;
    d->claims.erase(it);
    const int r = libusb_release_interface(d->handle, interfaceNumber);
    if (r == LIBUSB_ERROR_NO_DEVICE || d->gone)
        return UsbStatus::Success;   // nothing left to hold
    return usbStatusFromLibusbError(r);
}

UsbStatus LibusbBackend::controlTransfer(UsbHandle handle, const UsbSetup& setup, std::uint8_t* data,
                                         UsbTimeoutMs timeout, std::uint32_t* transferred)
{
    if (transferred)
        *transferred = 0;
    std::shared_ptr<OpenDevice> d = find(handle);
    if (!d || !transferred || (setup.wLength > 0 && !data) || setup.wLength > driver::kMaxControlData)
        return UsbStatus::BadArgument;
    if (d->gone)
        return UsbStatus::Gone;
    std::vector<unsigned char> buffer(LIBUSB_CONTROL_SETUP_SIZE + setup.wLength);
    libusb_fill_control_setup(buffer.data(), setup.bmRequestType, setup.bRequest, setup.wValue, setup.wIndex,
                              setup.wLength);
    if (!setup.isIn() && setup.wLength > 0)
        std::memcpy(buffer.data() + LIBUSB_CONTROL_SETUP_SIZE, data, setup.wLength);
    libusb_transfer* t = libusb_alloc_transfer(0);
    if (!t)
        return UsbStatus::NoMemory;
    libusb_fill_control_transfer(t, d->handle, buffer.data(), nullptr, nullptr, timeout);
    const int r = submitAndWait(t);
    UsbStatus status = r == LIBUSB_SUCCESS ? usbStatusFromTransferStatus(t->status) : usbStatusFromLibusbError(r);
    const std::uint32_t got = r == LIBUSB_SUCCESS ? static_cast<std::uint32_t>(std::max(0, t->actual_length)) : 0;
    libusb_free_transfer(t);
    if (status != UsbStatus::Success)
        return status;
    if (setup.isIn() && got > 0)
        std::memcpy(data, buffer.data() + LIBUSB_CONTROL_SETUP_SIZE, std::min<std::uint32_t>(got, setup.wLength));
    *transferred = got;
    return status;
}

UsbStatus LibusbBackend::checkTransfer(const OpenDevice* device, std::uint8_t endpoint, const std::uint8_t* data,
                                       std::uint32_t length)
{
    if (!device || (length > 0 && !data) || length > static_cast<std::uint32_t>(INT32_MAX))
        return UsbStatus::BadArgument;
    if (device->gone)
        return UsbStatus::Gone;
    return checkEndpoint(*device, endpoint);
}

UsbStatus LibusbBackend::checkEndpoint(const OpenDevice& device, std::uint8_t endpoint)
{
    std::lock_guard<std::mutex> lock(device.claimMutex);
    auto it = device.endpointInterface.find(endpoint);
    if (it == device.endpointInterface.end())
        return UsbStatus::BadArgument;
    auto claim = device.claims.find(it->second);
    return claim != device.claims.end() && claim->second > 0 ? UsbStatus::Success : UsbStatus::BadArgument;
}

UsbStatus LibusbBackend::transfer(UsbHandle handle, std::uint8_t endpoint, UsbTransferType type, std::uint8_t* data,
                                  std::uint32_t length, UsbTimeoutMs timeout, std::uint32_t* transferred)
{
    if (!transferred)
        return UsbStatus::BadArgument;
    *transferred = 0;
    std::shared_ptr<OpenDevice> d = find(handle);
    const UsbStatus check = checkTransfer(d.get(), endpoint, data, length);
    if (check != UsbStatus::Success)
        return check;
    libusb_transfer* t = libusb_alloc_transfer(0);
    if (!t)
        return UsbStatus::NoMemory;
    fillTransfer(t, d->handle, endpoint, type, data, length, nullptr, nullptr, timeout);
    const int r = submitAndWait(t);
    const UsbStatus status =
        r == LIBUSB_SUCCESS ? usbStatusFromTransferStatus(t->status) : usbStatusFromLibusbError(r);
    if (r == LIBUSB_SUCCESS)
        *transferred = static_cast<std::uint32_t>(std::max(0, t->actual_length));
    libusb_free_transfer(t);
    return status;
}

UsbStatus LibusbBackend::submit(UsbHandle handle, std::uint8_t endpoint, UsbTransferType type, std::uint8_t* data,
                                std::uint32_t length, UsbTimeoutMs timeout, UsbCompletion done, UsbTransferId* id)
{
    if (!done || !id)
        return UsbStatus::BadArgument;
    std::shared_ptr<OpenDevice> d = find(handle);
    const UsbStatus check = checkTransfer(d.get(), endpoint, data, length);
    if (check != UsbStatus::Success)
        return check;
    libusb_transfer* t = libusb_alloc_transfer(0);
    if (!t)
        return UsbStatus::NoMemory;
    auto* record = new AsyncTransfer;
    record->transfer = t;
    record->done = std::move(done);
    record->owner = d;
    record->backend = this;
    fillTransfer(t, d->handle, endpoint, type, data, length, &LibusbCallbacks::transfer, record, timeout);
    std::unique_lock<std::mutex> lock(mutex_);
    if (!open_.count(handle)) {   // closed meanwhile
        lock.unlock();
        libusb_free_transfer(t);
        delete record;
        return UsbStatus::BadArgument;
    }
    record->id = ++lastTransfer_;
    // Filed under the lock: a completion that comes at once waits for it before unfiling.
    const int r = libusb_submit_transfer(t);
    if (r != LIBUSB_SUCCESS) {
        lock.unlock();
        libusb_free_transfer(t);
        delete record;
        return usbStatusFromLibusbError(r);
    }
    d->inFlight[record->id] = record;
    *id = record->id;
    return UsbStatus::Success;
}

void LibusbBackend::onTransfer(libusb_transfer* transfer)
{
    auto* record = static_cast<AsyncTransfer*>(transfer->user_data);
    UsbStatus status = usbStatusFromTransferStatus(transfer->status);
    if (status != UsbStatus::Success && record->owner->gone)
        status = UsbStatus::Gone;
    record->done(status, static_cast<std::uint32_t>(std::max(0, transfer->actual_length)));
    LibusbBackend* backend = record->backend;
    {
        // The reference goes while close() still holds its own (it waits for this under the
        // lock): libusb_close from inside a completion would deadlock in libusb.
        std::lock_guard<std::mutex> lock(backend->mutex_);
        record->owner->inFlight.erase(record->id);
        record->owner.reset();
        backend->transferDone_.notify_all();
    }
    libusb_free_transfer(transfer);
    delete record;
}

UsbStatus LibusbBackend::cancel(UsbHandle handle, UsbTransferId id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = open_.find(handle);
    if (it == open_.end())
        return UsbStatus::BadArgument;
    auto t = it->second->inFlight.find(id);
    if (t == it->second->inFlight.end())
        return UsbStatus::BadArgument;
    const int r = libusb_cancel_transfer(t->second->transfer);
    return r == LIBUSB_SUCCESS ? UsbStatus::Success : UsbStatus::BadArgument;
}

UsbStatus LibusbBackend::reset(UsbHandle handle)
{
    std::shared_ptr<OpenDevice> d = find(handle);
    if (!d)
        return UsbStatus::BadArgument;
    if (d->gone)
        return UsbStatus::Gone;
    std::lock_guard<std::mutex> lock(d->claimMutex);
    const int r = libusb_reset_device(d->handle);
    if (r == LIBUSB_ERROR_NOT_FOUND || r == LIBUSB_ERROR_NO_DEVICE) {
        // The device re-enumerated in answer (a DFU manifestation, say): the reset is done.
        d->gone = true;
        return UsbStatus::Success;
    }
    return usbStatusFromLibusbError(r);
}

UsbListenerId LibusbBackend::addHotplugListener(UsbHotplugCallback callback)
{
    if (!callback)
        return 0;
    std::lock_guard<std::mutex> lock(listenersMutex_);
    const UsbListenerId id = ++lastListener_;
    listeners_[id] = std::move(callback);
    return id;
}

void LibusbBackend::removeHotplugListener(UsbListenerId id)
{
    std::lock_guard<std::mutex> lock(listenersMutex_);
    listeners_.erase(id);
}

void LibusbBackend::notify(const UsbDeviceInfo& info, bool arrived)
{
    qCDebug(lcUsbBackend, "%s %04x:%04x %s", info.path.c_str(), info.descriptor.idVendor, info.descriptor.idProduct,
            arrived ? "arrived" : "left");
    std::lock_guard<std::mutex> lock(listenersMutex_);
    for (const auto& listener : listeners_)
        listener.second(info, arrived);
}

void LibusbBackend::markGone(libusb_device* device)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& entry : open_) {
        if (entry.second->device == device)
            entry.second->gone = true;
    }
}

void LibusbBackend::onHotplug(libusb_device* device, bool arrived)
{
    UsbDeviceInfo info;
    if (!allowedInfo(device, &info))
        return;
    if (!arrived)
        markGone(device);
    notify(info, arrived);
}

void LibusbBackend::pollForChanges()
{
    std::map<std::string, UsbDeviceInfo> now;
    for (const UsbDeviceInfo& info : listDevices())
        now[info.path] = info;
    for (const auto& old : polled_) {
        if (!now.count(old.first)) {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const auto& entry : open_) {
                if (entry.second->path == old.first)
                    entry.second->gone = true;
            }
        }
    }
    for (const auto& old : polled_) {
        if (!now.count(old.first))
            notify(old.second, false);
    }
    for (const auto& fresh : now) {
        if (!polled_.count(fresh.first))
            notify(fresh.second, true);
    }
    polled_ = std::move(now);
}

void LibusbBackend::runEvents()
{
    auto nextPoll = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPollIntervalMs);
    while (!stop_) {
        timeval slice{0, kEventSliceUs};
        libusb_handle_events_timeout_completed(context_, &slice, nullptr);
        if (!hotplugNative_ && std::chrono::steady_clock::now() >= nextPoll) {
            pollForChanges();
            nextPoll = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPollIntervalMs);
        }
    }
}

std::unique_ptr<UsbBackend> createLibusbBackend()
{
    return LibusbBackend::create();
}

} // namespace platform
