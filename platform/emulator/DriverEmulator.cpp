#include "platform/emulator/DriverEmulator.h"

#include "platform/backend/BackendLog.h"
#include "platform/emulator/ConfigLayout.h"
#include "platform/driver/DriverCodes.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <thread>

namespace platform {

namespace {

void put16(std::uint8_t* at, std::uint32_t value)
{
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint16_t get16(const std::uint8_t* at)
{
    return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

std::uint32_t get32(const std::uint8_t* at)
{
    return std::uint32_t(at[0]) | (std::uint32_t(at[1]) << 8) | (std::uint32_t(at[2]) << 16)
           | (std::uint32_t(at[3]) << 24);
}

std::uint32_t errorOf(UsbStatus status)
{
    switch (status) {
    case UsbStatus::Success: return ERROR_SUCCESS;
    case UsbStatus::Timeout: return ERROR_SEM_TIMEOUT;
    case UsbStatus::Gone:
    case UsbStatus::NotFound: return ERROR_DEVICE_NOT_CONNECTED;
    case UsbStatus::BadArgument: return ERROR_INVALID_PARAMETER;
    case UsbStatus::NoMemory: return ERROR_NOT_ENOUGH_MEMORY;
    case UsbStatus::Cancelled: return ERROR_OPERATION_ABORTED;
    case UsbStatus::AccessDenied: return ERROR_ACCESS_DENIED;
    case UsbStatus::Stall:
    case UsbStatus::NotResponding: return ERROR_GEN_FAILURE;
    }
    return ERROR_GEN_FAILURE;
}

// The first non-zero time-out word; a synchronous request always ends.
UsbTimeoutMs timeoutOf(std::uint32_t a, std::uint32_t b, bool synchronous)
{
    if (a)
        return a;
    if (b)
        return b;
    return synchronous ? driver::kDefaultSyncTimeoutMs : 0;
}

bool isPipeCode(std::uint32_t code)
{
    return code == driver::kPipeWrite || code == driver::kPipeRead || code == driver::kPipeWriteAsync
           || code == driver::kPipeReadAsync;
}

bool isWriteCode(std::uint32_t code)
{
    return code == driver::kPipeWrite || code == driver::kPipeWriteAsync;
}

} // namespace

// What a failed code leaves behind: the USB status for 0x22205C and the thread's last error.
struct DriverEmulator::Outcome {
    std::uint32_t usbd = usbd::kSuccess;
    std::uint32_t error = ERROR_SUCCESS;
    bool touchesStatus = true;

    bool fail(UsbStatus status)
    {
        usbd = usbdStatusOf(status);
        error = errorOf(status);
        return false;
    }
    bool fail(std::uint32_t status, std::uint32_t lastError)
    {
        usbd = status;
        error = lastError;
        return false;
    }
    bool tooSmall() { return fail(usbd::kBadArgument, ERROR_INSUFFICIENT_BUFFER); }
    bool badArgument() { return fail(usbd::kBadArgument, ERROR_INVALID_PARAMETER); }
    bool badPipe() { return fail(usbd::kInvalidPipe, ERROR_INVALID_PARAMETER); }
    bool noInterface() { return fail(usbd::kInterfaceNotFound, ERROR_INVALID_PARAMETER); }
};

struct DriverEmulator::Pipe {
    std::uint8_t interfaceNumber = 0;
    LayoutEndpoint endpoint;
    std::uint32_t length = 0;
    UsbTransferType type = UsbTransferType::Bulk;
    std::uint32_t timeoutA = 0;
    std::uint32_t timeoutB = 0;
};

struct DriverEmulator::Request {
    std::uint64_t token = 0;
    UsbTransferId transfer = 0;
    Overlapped* overlapped = nullptr;
    EventHandle event;
    std::vector<std::uint8_t> data; // a write's data, ours until it completes
    bool done = false;
};

struct DriverEmulator::Connection {
    ConnectionId id = kInvalidConnection;
    std::string path;
    UsbHandle handle = kNoUsbHandle;

    std::mutex io;     // transfers to the device, one at a time
    std::mutex submit; // starting overlapped requests against cancelling them
    std::mutex claims; // claimed, held while the backend claims
    std::set<std::uint8_t> claimed;
    std::mutex state;  // everything below; never held while calling the backend
    std::map<std::thread::id, std::uint32_t> lastStatus;
    std::map<std::uint8_t, std::vector<std::uint8_t>> configs;
    bool layoutLoaded = false;
    ConfigLayout layout;
    std::map<std::uint64_t, std::shared_ptr<Request>> pending;

    void setStatus(std::uint32_t usbd)
    {
        std::lock_guard<std::mutex> lock(state);
        lastStatus[std::this_thread::get_id()] = usbd;
    }
};

DriverEmulator::DriverEmulator(UsbBackend& backend)
    : backend_(backend)
{
    listener_ = backend_.addHotplugListener(
        [this](const UsbDeviceInfo& device, bool arrived) { hotplug(device, arrived); });
}

DriverEmulator::~DriverEmulator()
{
    if (listener_)
        backend_.removeHotplugListener(listener_);
    std::vector<ConnectionId> open;
    {
        std::lock_guard<std::mutex> lock(connectionsMutex_);
        for (const auto& c : connections_)
            open.push_back(c.first);
    }
    for (ConnectionId id : open)
        close(id);
}

std::shared_ptr<DriverEmulator::Connection> DriverEmulator::find(ConnectionId id)
{
    std::lock_guard<std::mutex> lock(connectionsMutex_);
    auto found = connections_.find(id);
    return found == connections_.end() ? nullptr : found->second;
}

std::vector<std::string> DriverEmulator::enumerateInterfaces(const Guid& interfaceClass)
{
    std::vector<std::string> paths;
    if (interfaceClass == kDriverInterfaceGuid)
        for (const UsbDeviceInfo& device : backend_.listDevices())
            paths.push_back(device.path);
    setLastError(ERROR_SUCCESS);
    return paths;
}

bool DriverEmulator::deviceIds(const std::string& path, std::uint16_t* vendorId, std::uint16_t* productId)
{
    if (!vendorId || !productId) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    UsbDeviceDescriptor descriptor;
    if (backend_.describe(path, &descriptor) != UsbStatus::Success) {
        setLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    *vendorId = descriptor.idVendor;
    *productId = descriptor.idProduct;
    setLastError(ERROR_SUCCESS);
    return true;
}

ConnectionId DriverEmulator::open(const std::string& path)
{
    UsbHandle handle = kNoUsbHandle;
    const UsbStatus status = backend_.open(path, &handle);
    if (status != UsbStatus::Success) {
        setLastError(status == UsbStatus::AccessDenied ? ERROR_ACCESS_DENIED
                     : status == UsbStatus::NoMemory   ? ERROR_NOT_ENOUGH_MEMORY
                                                       : ERROR_FILE_NOT_FOUND);
        return kInvalidConnection;
    }
    auto connection = std::make_shared<Connection>();
    connection->id = nextConnection_++;
    connection->path = path;
    connection->handle = handle;
    {
        std::lock_guard<std::mutex> lock(connectionsMutex_);
        connections_[connection->id] = connection;
    }
    setLastError(ERROR_SUCCESS);
    return connection->id;
}

void DriverEmulator::close(ConnectionId id)
{
    std::shared_ptr<Connection> c;
    {
        std::lock_guard<std::mutex> lock(connectionsMutex_);
        auto found = connections_.find(id);
        if (found == connections_.end()) {
            setLastError(ERROR_INVALID_HANDLE);
            return;
        }
        c = found->second;
        connections_.erase(found);
    }
    std::lock_guard<std::mutex> submitLock(c->submit);
    std::set<std::uint8_t> claimed;
    {
        std::lock_guard<std::mutex> lock(c->claims);
        claimed.swap(c->claimed);
    }
    for (std::uint8_t number : claimed)
        backend_.releaseInterface(c->handle, number);
    // Completes whatever is still pending (aborted) before it returns.
    backend_.close(c->handle);
    setLastError(ERROR_SUCCESS);
}

bool DriverEmulator::ioctl(ConnectionId id, std::uint32_t code, const void* in, std::uint32_t inLength, void* out,
                           std::uint32_t outLength, std::uint32_t* returned)
{
    if (returned)
        *returned = 0;
    std::shared_ptr<Connection> c = find(id);
    if (!c) {
        setLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if ((inLength && !in) || (outLength && !out)) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::uint32_t count = 0;
    Outcome outcome;
    const bool ok = dispatch(*c, code, static_cast<const std::uint8_t*>(in), inLength,
                             static_cast<std::uint8_t*>(out), outLength, &count, outcome);
    if (outcome.touchesStatus)
        c->setStatus(ok ? usbd::kSuccess : outcome.usbd);
    if (returned)
        *returned = ok ? count : 0;
    setLastError(ok ? ERROR_SUCCESS : outcome.error);
    return ok;
}

bool DriverEmulator::dispatch(Connection& c, std::uint32_t code, const std::uint8_t* in, std::uint32_t inLength,
                              std::uint8_t* out, std::uint32_t outLength, std::uint32_t* returned, Outcome& o)
{
    using namespace driver;

    auto answerWord = [&](std::uint32_t value, std::uint32_t length) {
        if (outLength < length)
            return o.tooSmall();
        std::uint8_t word[kWordLength];
        put32(word, value);
        std::memcpy(out, word, length);
        *returned = length;
        return true;
    };
    auto deviceField = [&](auto pick, std::uint32_t length) {
        UsbDeviceDescriptor d;
        const UsbStatus s = backend_.deviceDescriptor(c.handle, &d);
        if (s != UsbStatus::Success)
            return o.fail(s);
        return answerWord(pick(d), length);
    };
    auto interfaceAt = [&](const LayoutInterface** result) {
        if (inLength < kWordLength)
            return o.badArgument();
        const ConfigLayout* l = nullptr;
        if (!layout(c, &l, o))
            return false;
        *result = l->interface(get32(in));
        return *result ? true : o.noInterface();
    };
    auto endpointAt = [&](const LayoutInterface** interface, const LayoutEndpoint** endpoint) {
        if (inLength < kEntryEndpointLength)
            return o.badArgument();
        if (!interfaceAt(interface))
            return false;
        const std::uint32_t index = get32(in + 4);
        if (index == 0 || index > (*interface)->endpoints.size())
            return o.badPipe();
        *endpoint = &(*interface)->endpoints[index - 1];
        return true;
    };

    switch (code) {
    case kGetVersion:
        o.touchesStatus = false;
        if (outLength < kVersionLength)
            return o.tooSmall();
        put32(out, kVersionA);
        put32(out + 4, kVersionB);
        *returned = kVersionLength;
        return true;
    case kGetLastUsbStatus: {
        o.touchesStatus = false;
        std::uint32_t value = usbd::kSuccess;
        {
            std::lock_guard<std::mutex> lock(c.state);
            auto found = c.lastStatus.find(std::this_thread::get_id());
            if (found != c.lastStatus.end())
                value = found->second;
        }
        return answerWord(value, kWordLength);
    }
    case kControlTransfer:
        return controlTransfer(c, in, inLength, out, outLength, returned, o);
    case kGetDeviceClass:
        return deviceField([](const UsbDeviceDescriptor& d) { return d.bDeviceClass; }, kWordLength);
    case kGetDeviceSubClass:
        return deviceField([](const UsbDeviceDescriptor& d) { return d.bDeviceSubClass; }, kWordLength);
    case kGetDeviceProtocol:
        return deviceField([](const UsbDeviceDescriptor& d) { return d.bDeviceProtocol; }, kWordLength);
    case kGetMaxPacketSize0:
        return deviceField([](const UsbDeviceDescriptor& d) { return d.bMaxPacketSize0; }, kWordLength);
    case kGetProductId:
        return deviceField([](const UsbDeviceDescriptor& d) { return d.idProduct; }, kWordLength);
    case kGetDeviceRelease:
        return deviceField([](const UsbDeviceDescriptor& d) { return d.bcdDevice; }, kWordLength);
    case kGetVendorId:
        return deviceField([](const UsbDeviceDescriptor& d) { return d.idVendor; }, kWordLength);
    case kGetConfigurationCount:
        return deviceField([](const UsbDeviceDescriptor& d) { return d.bNumConfigurations; }, kWordLength);
    case kGetSerialNumberIndex:
        return deviceField([](const UsbDeviceDescriptor& d) { return d.iSerialNumber; }, kSerialIndexLength);
    case kGetConfigDescriptor: {
        if (inLength < kWordLength)
            return o.badArgument();
        if (outLength < kWordLength)
            return o.tooSmall();
        const std::uint32_t index = get32(in);
        if (index > 0xFF)
            return o.badArgument();
        std::vector<std::uint8_t> bytes;
        bool cached = false;
        {
            std::lock_guard<std::mutex> lock(c.state);
            auto found = c.configs.find(static_cast<std::uint8_t>(index));
            if (found != c.configs.end()) {
                bytes = found->second;
                cached = true;
            }
        }
        if (!cached) {
            UsbStatus s;
            {
                std::lock_guard<std::mutex> ioLock(c.io);
                s = backend_.configDescriptor(c.handle, static_cast<std::uint8_t>(index), &bytes);
            }
            if (s != UsbStatus::Success)
                return o.fail(s);
            std::lock_guard<std::mutex> lock(c.state);
            c.configs[static_cast<std::uint8_t>(index)] = bytes;
        }
        const std::uint32_t total = kWordLength + static_cast<std::uint32_t>(bytes.size());
        put32(out, total);
        if (outLength < total) {
            *returned = kWordLength;
            return true;
        }
        std::memcpy(out + kWordLength, bytes.data(), bytes.size());
        *returned = total;
        return true;
    }
    case kSelectConfiguration: {
        if (inLength < kWordLength)
            return o.badArgument();
        const std::uint32_t index = get32(in);
        std::vector<std::uint8_t> bytes;
        std::lock_guard<std::mutex> ioLock(c.io);
        UsbStatus s = index > 0xFF ? UsbStatus::BadArgument
                                   : backend_.configDescriptor(c.handle, static_cast<std::uint8_t>(index), &bytes);
        if (s == UsbStatus::Success && bytes.size() < 6)
            s = UsbStatus::BadArgument;
        if (s == UsbStatus::Success)
            s = backend_.setConfiguration(c.handle, bytes[5]);
        return s == UsbStatus::Success ? true : o.fail(s);
    }
    case kGetInterfaceList: {
        if (inLength < kFilterLength)
            return o.badArgument();
        if (outLength < kWordLength)
            return o.tooSmall();
        const ConfigLayout* l = nullptr;
        if (!layout(c, &l, o))
            return false;
        const std::vector<std::uint32_t> entries = l->select(get32(in), get32(in + 4));
        if (entries.empty())
            qCDebug(lcUsbBackend, "%s: no interface matches the filter %08x %08x", c.path.c_str(), get32(in),
                    get32(in + 4));
        const std::uint32_t count = static_cast<std::uint32_t>(entries.size());
        put32(out, count);
        const std::uint32_t total = kWordLength + 4 * count;
        if (outLength < total) {
            *returned = kWordLength;
            return true;
        }
        for (std::uint32_t i = 0; i < count; ++i)
            put32(out + kWordLength + 4 * i, entries[i]);
        *returned = total;
        return true;
    }
    case kGetInterfaceClass:
    case kGetInterfaceNumber:
    case kGetInterfaceSubClass:
    case kGetInterfaceProtocol:
    case kGetEndpointCount: {
        const LayoutInterface* i = nullptr;
        if (!interfaceAt(&i))
            return false;
        const std::uint32_t value = code == kGetInterfaceClass      ? i->interfaceClass
                                    : code == kGetInterfaceNumber   ? i->number
                                    : code == kGetInterfaceSubClass ? i->interfaceSubClass
                                    : code == kGetInterfaceProtocol ? i->interfaceProtocol
                                                                    : std::uint32_t(i->endpoints.size());
        return answerWord(value, kWordLength);
    }
    case kGetEndpointInfo: {
        const LayoutInterface* i = nullptr;
        const LayoutEndpoint* e = nullptr;
        if (!endpointAt(&i, &e))
            return false;
        if (outLength < kEndpointInfoLength)
            return o.tooSmall();
        out[0] = (e->address & 0x80) ? 1 : 0;
        out[1] = e->attributes & 0x03;
        put16(out + 2, e->maxPacketSize);
        out[4] = e->interval;
        out[5] = 0;
        *returned = kEndpointInfoLength;
        return true;
    }
    case kEnablePipe: {
        const LayoutInterface* i = nullptr;
        const LayoutEndpoint* e = nullptr;
        if (!endpointAt(&i, &e))
            return false;
        if (!claim(c, i->number, o))
            return false;
        return true;
    }
    case kPipeWrite:
    case kPipeRead:
    case kPipeWriteAsync:
    case kPipeReadAsync:
        // An overlapped code asked for synchronously runs to its end.
        return pipeTransfer(c, isWriteCode(code), in, inLength, out, outLength, returned, o);
    case kResetPort: {
        UsbStatus s;
        {
            std::lock_guard<std::mutex> ioLock(c.io);
            s = backend_.reset(c.handle);
        }
        return s == UsbStatus::Success ? true : o.fail(s);
    }
    default:
        return o.badArgument();
    }
}

bool DriverEmulator::controlTransfer(Connection& c, const std::uint8_t* in, std::uint32_t inLength,
                                     std::uint8_t* out, std::uint32_t outLength, std::uint32_t* returned,
                                     Outcome& o)
{
    using namespace driver;
    if (inLength < kControlHeaderLength)
        return o.badArgument();
    UsbSetup setup;
    setup.bmRequestType = static_cast<std::uint8_t>(((in[kCtlDirection] & 1) << 7) | ((in[kCtlType] & 3) << 5)
                                                    | (in[kCtlRecipient] & 0x1F));
    setup.bRequest = in[kCtlRequest];
    setup.wValue = get16(in + kCtlValue);
    setup.wIndex = get16(in + kCtlIndex);
    setup.wLength = get16(in + kCtlLength);
    const std::uint32_t total = kControlHeaderLength + setup.wLength;
    if (setup.wLength > kMaxControlData || inLength < total)
        return o.badArgument();
    if (outLength < total)
        return o.tooSmall();

    // A request to an interface needs it claimed from any kernel driver, as a pipe does.
    if ((setup.bmRequestType & 0x1F) == kRecipientInterface) {
        const ConfigLayout* l = nullptr;
        Outcome ignored;
        const std::uint8_t number = static_cast<std::uint8_t>(setup.wIndex & 0xFF);
        if (layout(c, &l, ignored)
            && std::any_of(l->interfaces.begin(), l->interfaces.end(),
                           [number](const LayoutInterface& i) { return i.number == number; }))
            claim(c, number, ignored);
    }

    // The data stage travels in a buffer of its own: in and out are often the same memory.
    std::vector<std::uint8_t> stage(in + kControlHeaderLength, in + total);
    std::uint32_t transferred = 0;
    UsbStatus s;
    {
        std::lock_guard<std::mutex> ioLock(c.io);
        s = backend_.controlTransfer(c.handle, setup, stage.data(),
                                     timeoutOf(get32(in + kCtlTimeoutA), get32(in + kCtlTimeoutB), true),
                                     &transferred);
    }
    if (s != UsbStatus::Success)
        return o.fail(s);
    if (out != in)
        std::memmove(out, in, total);
    if (setup.isIn()) {
        // A short answer keeps the caller's bytes behind it: the caller asks for exactly
        // 20 + wLength back.
        const std::uint32_t n = std::min<std::uint32_t>(transferred, setup.wLength);
        if (n < setup.wLength)
            qCDebug(lcUsbBackend, "%s: request %02x/%02x answered %u of %u bytes", c.path.c_str(),
                    setup.bmRequestType, setup.bRequest, n, setup.wLength);
        std::memcpy(out + kControlHeaderLength, stage.data(), n);
    }
    *returned = total;
    return true;
}

bool DriverEmulator::layout(Connection& c, const ConfigLayout** result, Outcome& o)
{
    {
        std::lock_guard<std::mutex> lock(c.state);
        if (c.layoutLoaded) {
            *result = &c.layout;
            return true;
        }
    }
    std::vector<std::uint8_t> bytes;
    UsbStatus s;
    {
        std::lock_guard<std::mutex> ioLock(c.io);
        s = backend_.configDescriptor(c.handle, 0, &bytes);
    }
    if (s != UsbStatus::Success)
        return o.fail(s);
    std::lock_guard<std::mutex> lock(c.state);
    if (!c.layoutLoaded) {
        c.layout = ConfigLayout::parse(bytes);
        c.layoutLoaded = true;
        c.configs[0] = std::move(bytes);
    }
    *result = &c.layout;
    return true;
}

// Interfaces are claimed when a pipe is first used and released when the connection closes.
bool DriverEmulator::claim(Connection& c, std::uint8_t interfaceNumber, Outcome& o)
{
    std::lock_guard<std::mutex> lock(c.claims);
    if (c.claimed.count(interfaceNumber))
        return true;
    const UsbStatus s = backend_.claimInterface(c.handle, interfaceNumber);
    if (s != UsbStatus::Success)
        return o.fail(s);
    c.claimed.insert(interfaceNumber);
    return true;
}

bool DriverEmulator::resolvePipe(Connection& c, bool write, const std::uint8_t* in, std::uint32_t inLength,
                                 Pipe* pipe, Outcome& o)
{
    using namespace driver;
    if (inLength < kPipeHeaderLength)
        return o.badArgument();
    const ConfigLayout* l = nullptr;
    if (!layout(c, &l, o))
        return false;
    const LayoutInterface* i = l->interface(in[kPipeInterface]);
    if (!i)
        return o.noInterface();
    const std::uint8_t index = in[kPipeIndex];
    if (index == 0 || index > i->endpoints.size())
        return o.badPipe();
    pipe->interfaceNumber = i->number;
    pipe->endpoint = i->endpoints[index - 1];
    const std::uint8_t kind = pipe->endpoint.attributes & 0x03;
    if (kind != 2 && kind != 3)
        return o.badPipe();
    pipe->type = kind == 2 ? UsbTransferType::Bulk : UsbTransferType::Interrupt;
    if (((pipe->endpoint.address & 0x80) != 0) == write)
        return o.badPipe();
    pipe->length = get32(in + kPipeLength);
    pipe->timeoutA = get32(in + kPipeTimeoutA);
    pipe->timeoutB = get32(in + kPipeTimeoutB);
    if (write && pipe->length > inLength - kPipeHeaderLength)
        return o.badArgument();
    return claim(c, pipe->interfaceNumber, o);
}

bool DriverEmulator::pipeTransfer(Connection& c, bool write, const std::uint8_t* in, std::uint32_t inLength,
                                  std::uint8_t* out, std::uint32_t outLength, std::uint32_t* returned, Outcome& o)
{
    Pipe pipe;
    if (!resolvePipe(c, write, in, inLength, &pipe, o))
        return false;
    if (!write && outLength < pipe.length)
        return o.tooSmall();
    std::vector<std::uint8_t> data;
    if (write)
        data.assign(in + driver::kPipeHeaderLength, in + driver::kPipeHeaderLength + pipe.length);
    std::uint32_t transferred = 0;
    UsbStatus s;
    {
        std::lock_guard<std::mutex> ioLock(c.io);
        s = backend_.transfer(c.handle, pipe.endpoint.address, pipe.type, write ? data.data() : out, pipe.length,
                              timeoutOf(pipe.timeoutA, pipe.timeoutB, true), &transferred);
    }
    if (s != UsbStatus::Success)
        return o.fail(s);
    *returned = transferred;
    return true;
}

bool DriverEmulator::startPipeTransfer(Connection& c, bool write, const std::uint8_t* in, std::uint32_t inLength,
                                       std::uint8_t* out, std::uint32_t outLength, Overlapped* overlapped,
                                       bool* completed, Outcome& o)
{
    Pipe pipe;
    if (!resolvePipe(c, write, in, inLength, &pipe, o))
        return false;
    if (!write && outLength < pipe.length)
        return o.tooSmall();
    auto request = std::make_shared<Request>();
    request->token = nextToken_++;
    request->overlapped = overlapped;
    request->event = overlapped->event;
    if (write)
        request->data.assign(in + driver::kPipeHeaderLength, in + driver::kPipeHeaderLength + pipe.length);
    overlapped->token = request->token;
    overlapped->transferred = 0;
    overlapped->error = ERROR_IO_PENDING;
    if (overlapped->event)
        overlapped->event->reset();

    std::lock_guard<std::mutex> submitLock(c.submit);
    {
        std::lock_guard<std::mutex> lock(c.state);
        c.pending[request->token] = request;
    }
    Connection* connection = &c;
    std::weak_ptr<Request> weak = request;
    // The completion owns the request's last moments: it fills the Overlapped, drops the
    // request from the pending list and only then sets the event, after which the caller may
    // free the Overlapped.
    UsbCompletion done = [connection, weak](UsbStatus status, std::uint32_t transferred) {
        std::shared_ptr<Request> r = weak.lock();
        if (!r)
            return;
        EventHandle event = r->event;
        {
            std::lock_guard<std::mutex> lock(connection->state);
            r->overlapped->transferred = status == UsbStatus::Success ? transferred : 0;
            r->overlapped->error = errorOf(status);
            r->done = true;
            connection->pending.erase(r->token);
        }
        if (event)
            event->set();
    };
    UsbTransferId id = 0;
    const UsbStatus s = backend_.submit(c.handle, pipe.endpoint.address, pipe.type,
                                        write ? request->data.data() : out, pipe.length,
                                        timeoutOf(pipe.timeoutA, pipe.timeoutB, false), std::move(done), &id);
    std::lock_guard<std::mutex> lock(c.state);
    if (s != UsbStatus::Success) {
        c.pending.erase(request->token);
        overlapped->error = errorOf(s);
        return o.fail(s);
    }
    request->transfer = id;
    *completed = request->done && overlapped->error == ERROR_SUCCESS;
    return true;
}

bool DriverEmulator::ioctlOverlapped(ConnectionId id, std::uint32_t code, const void* in, std::uint32_t inLength,
                                     void* out, std::uint32_t outLength, Overlapped* overlapped)
{
    std::shared_ptr<Connection> c = find(id);
    if (!c) {
        setLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (!overlapped || !overlapped->event || (inLength && !in) || (outLength && !out)) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    Outcome o;
    if (!isPipeCode(code)) {
        // Codes that are synchronous by nature complete at once.
        std::uint32_t returned = 0;
        const bool ok = ioctl(id, code, in, inLength, out, outLength, &returned);
        overlapped->transferred = returned;
        overlapped->error = lastError();
        overlapped->event->set();
        return ok;
    }
    bool completed = false;
    const bool started = startPipeTransfer(*c, isWriteCode(code), static_cast<const std::uint8_t*>(in), inLength,
                                           static_cast<std::uint8_t*>(out), outLength, overlapped, &completed, o);
    c->setStatus(started ? usbd::kSuccess : o.usbd);
    if (!started) {
        setLastError(o.error);
        return false;
    }
    setLastError(completed ? ERROR_SUCCESS : ERROR_IO_PENDING);
    return completed;
}

bool DriverEmulator::getOverlappedResult(ConnectionId id, Overlapped* overlapped, std::uint32_t* transferred,
                                         bool wait)
{
    if (!overlapped) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    // A request still on the pending list runs on; once off it, the Overlapped holds its
    // result (the listener may have reset the event meanwhile).
    std::shared_ptr<Connection> c = find(id);
    for (;;) {
        bool pending = false;
        if (c) {
            std::lock_guard<std::mutex> lock(c->state);
            pending = c->pending.count(overlapped->token) != 0;
        }
        if (!pending)
            break;
        if (!wait) {
            setLastError(ERROR_IO_INCOMPLETE);
            return false;
        }
        overlapped->event->wait();
    }
    std::uint32_t error;
    {
        std::unique_lock<std::mutex> lock;
        if (c)
            lock = std::unique_lock<std::mutex>(c->state);
        if (transferred)
            *transferred = overlapped->transferred;
        error = overlapped->error;
    }
    setLastError(error);
    return error == ERROR_SUCCESS;
}

bool DriverEmulator::cancelIo(ConnectionId id)
{
    std::shared_ptr<Connection> c = find(id);
    if (!c) {
        setLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    std::lock_guard<std::mutex> submitLock(c->submit);
    std::vector<UsbTransferId> transfers;
    {
        std::lock_guard<std::mutex> lock(c->state);
        for (const auto& p : c->pending)
            transfers.push_back(p.second->transfer);
    }
    for (UsbTransferId transfer : transfers)
        backend_.cancel(c->handle, transfer);
    setLastError(ERROR_SUCCESS);
    return true;
}

bool DriverEmulator::cancelIoEx(ConnectionId id, Overlapped* overlapped)
{
    std::shared_ptr<Connection> c = find(id);
    if (!c) {
        setLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (!overlapped) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::lock_guard<std::mutex> submitLock(c->submit);
    UsbTransferId transfer = 0;
    {
        std::lock_guard<std::mutex> lock(c->state);
        auto found = c->pending.find(overlapped->token);
        if (found != c->pending.end() && found->second->overlapped == overlapped)
            transfer = found->second->transfer;
    }
    // A backend that finished the transfer meanwhile refuses the cancel: nothing was pending.
    if (!transfer || backend_.cancel(c->handle, transfer) != UsbStatus::Success) {
        setLastError(ERROR_NOT_FOUND);
        return false;
    }
    setLastError(ERROR_SUCCESS);
    return true;
}

NotificationId DriverEmulator::registerDeviceInterfaceNotification(WindowId window, const Guid& interfaceClass,
                                                                   std::uint32_t)
{
    const NotificationId id = notifications_.addInterface(window, interfaceClass);
    setLastError(id ? ERROR_SUCCESS : ERROR_INVALID_HANDLE);
    return id;
}

NotificationId DriverEmulator::registerHandleNotification(WindowId window, ConnectionId connection, std::uint32_t)
{
    const NotificationId id = find(connection) ? notifications_.addHandle(window, connection) : 0;
    setLastError(id ? ERROR_SUCCESS : ERROR_INVALID_HANDLE);
    return id;
}

bool DriverEmulator::unregisterNotification(NotificationId id)
{
    const bool removed = notifications_.remove(id);
    setLastError(removed ? ERROR_SUCCESS : ERROR_INVALID_HANDLE);
    return removed;
}

void DriverEmulator::hotplug(const UsbDeviceInfo& device, bool arrived)
{
    if (arrived) {
        notifications_.arrived(device.path);
        return;
    }
    std::vector<ConnectionId> affected;
    {
        std::lock_guard<std::mutex> lock(connectionsMutex_);
        for (const auto& c : connections_)
            if (c.second->path == device.path)
                affected.push_back(c.first);
    }
    notifications_.removed(device.path, affected);
}

DriverPort& defaultDriverPort()
{
    static DriverEmulator port(usbBackend());
    return port;
}

} // namespace platform
