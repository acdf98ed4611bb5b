#include "platform/sim/SimBackend.h"

#include "protocol/UsbChapter9.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

namespace platform {

namespace {
constexpr char kPathPrefix[] = "sim:";

std::string pathOf(unsigned number)
{
    return kPathPrefix + std::to_string(number);
}
} // namespace

struct SimBackend::Bus : SimBusLink, std::enable_shared_from_this<SimBackend::Bus> {
    struct Attached {
        std::shared_ptr<SimDevice> device;
        UsbDeviceInfo info;
        bool open = false;
    };
    struct Open {
        std::string path;
        std::shared_ptr<SimDevice> device; // null once the device has left
        std::map<std::uint8_t, int> claims;
    };
    struct Pending {
        UsbHandle handle = 0;
        std::uint8_t endpoint = 0;
        std::uint8_t* data = nullptr;
        std::uint32_t length = 0;
        UsbCompletion done;
    };
    struct FaultState {
        SimFault rule;
        int seen = 0;
        bool fired = false;
    };

    // Everything of the bus is guarded by one recursive mutex: device models run under it and
    // may call back (queueIn, reenumerate). Callbacks to the outside (completions, hot-plug)
    // are queued and run once the outermost holder has unlocked.
    mutable std::recursive_mutex mutex;
    int depth = 0;
    std::vector<std::function<void()>> deferred;

    std::map<unsigned, Attached> devices;
    unsigned nextNumber = 1;
    std::map<UsbHandle, Open> handles;
    UsbHandle nextHandle = 1;
    std::map<UsbTransferId, Pending> pending;
    UsbTransferId nextTransfer = 1;
    std::vector<FaultState> faults;
    std::vector<SimRequest> transcript;

    std::mutex listenerMutex; // held while listeners run, so removal waits for them
    std::map<UsbListenerId, UsbHotplugCallback> listeners;
    UsbListenerId nextListener = 1;

    class Locked {
    public:
        explicit Locked(const Bus& bus)
            : bus_(const_cast<Bus&>(bus))
        {
            bus_.mutex.lock();
            ++bus_.depth;
        }
        ~Locked()
        {
            std::vector<std::function<void()>> run;
            if (--bus_.depth == 0)
                run.swap(bus_.deferred);
            bus_.mutex.unlock();
            for (std::function<void()>& fn : run)
                fn();
        }
        Locked(const Locked&) = delete;
        Locked& operator=(const Locked&) = delete;

    private:
        Bus& bus_;
    };

    static bool parsePath(const std::string& path, unsigned* number)
    {
        const std::size_t prefix = sizeof(kPathPrefix) - 1;
        if (path.compare(0, prefix, kPathPrefix) != 0 || path.size() == prefix)
            return false;
        unsigned value = 0;
        for (std::size_t i = prefix; i < path.size(); ++i) {
            if (path[i] < '0' || path[i] > '9' || value > 100000000)
                return false;
            value = value * 10 + static_cast<unsigned>(path[i] - '0');
        }
        *number = value;
        return true;
    }

    Attached* attachedAt(const std::string& path)
    {
        unsigned number = 0;
        if (!parsePath(path, &number))
            return nullptr;
        auto found = devices.find(number);
        return found == devices.end() ? nullptr : &found->second;
    }

    // The handle's open record and its present device, or the status that refuses it.
    UsbStatus lookup(UsbHandle handle, Open** open)
    {
        auto found = handles.find(handle);
        if (found == handles.end())
            return UsbStatus::BadArgument;
        *open = &found->second;
        return found->second.device ? UsbStatus::Success : UsbStatus::Gone;
    }

    void notify(const UsbDeviceInfo& info, bool arrived)
    {
        std::weak_ptr<Bus> weak = weak_from_this();
        deferred.push_back([weak, info, arrived] {
            std::shared_ptr<Bus> self = weak.lock();
            if (!self)
                return;
            std::lock_guard<std::mutex> guard(self->listenerMutex);
            for (auto& entry : self->listeners)
                entry.second(info, arrived);
        });
    }

    void complete(UsbTransferId id, UsbStatus status, std::uint32_t transferred)
    {
        auto found = pending.find(id);
        if (found == pending.end())
            return;
        UsbCompletion done = std::move(found->second.done);
        pending.erase(found);
        deferred.push_back([done = std::move(done), status, transferred] { done(status, transferred); });
    }

    void attachAs(unsigned number, std::shared_ptr<SimDevice> device)
    {
        Locked lock(*this);
        Attached entry;
        entry.info.path = pathOf(number);
        entry.info.descriptor = device->descriptors().device;
        entry.device = device;
        device->attachTo(weak_from_this(), entry.info.path);
        devices[number] = entry;
        notify(entry.info, true);
    }

    bool detachNumber(unsigned number)
    {
        Locked lock(*this);
        auto found = devices.find(number);
        if (found == devices.end())
            return false;
        const Attached gone = found->second;
        devices.erase(found);
        gone.device->detached();
        for (auto& h : handles) {
            if (h.second.device != gone.device)
                continue;
            h.second.device.reset();
            std::vector<UsbTransferId> ids;
            for (const auto& p : pending)
                if (p.second.handle == h.first)
                    ids.push_back(p.first);
            for (UsbTransferId id : ids)
                complete(id, UsbStatus::Gone, 0);
        }
        notify(gone.info, false);
        return true;
    }

    unsigned numberOf(const SimDevice* device) const
    {
        for (const auto& d : devices)
            if (d.second.device.get() == device)
                return d.first;
        return 0;
    }

    void scheduleArrival(unsigned number, std::shared_ptr<SimDevice> persona, Clock::Duration delay)
    {
        if (!persona)
            return;
        std::weak_ptr<Bus> weak = weak_from_this();
        clock().callAfter(delay, [weak, number, persona] {
            if (std::shared_ptr<Bus> self = weak.lock())
                self->attachAs(number, persona);
        });
    }

    void requestReenumeration(SimDevice* device, std::shared_ptr<SimDevice> persona, Clock::Duration delay) override
    {
        Locked lock(*this);
        const unsigned number = numberOf(device);
        if (number == 0)
            return;
        const unsigned next = nextNumber++;
        std::weak_ptr<Bus> weak = weak_from_this();
        // The request that asked for it is answered first, as a device answers before it
        // drops off the bus.
        deferred.push_back([weak, number, next, persona, delay] {
            if (std::shared_ptr<Bus> self = weak.lock()) {
                self->detachNumber(number);
                self->scheduleArrival(next, persona, delay);
            }
        });
    }

    void callAfter(SimDevice* device, Clock::Duration delay, std::function<void()> fn) override
    {
        Locked lock(*this);
        const unsigned number = numberOf(device);
        if (number == 0)
            return;
        std::weak_ptr<Bus> weak = weak_from_this();
        clock().callAfter(delay, [weak, number, device, fn = std::move(fn)] {
            std::shared_ptr<Bus> self = weak.lock();
            if (!self)
                return;
            Locked relock(*self);
            const auto found = self->devices.find(number);
            if (found != self->devices.end() && found->second.device.get() == device)
                fn();
        });
    }

    void queueIn(SimDevice* device, std::uint8_t endpoint, std::vector<std::uint8_t> data) override
    {
        Locked lock(*this);
        device->enqueueIn(endpoint, std::move(data));
        serveReads(device);
    }

    // Hands newly available IN data to pending reads, oldest first.
    void serveReads(SimDevice* device)
    {
        std::vector<UsbTransferId> ids;
        for (const auto& p : pending) {
            const auto h = handles.find(p.second.handle);
            if (h != handles.end() && h->second.device.get() == device && (p.second.endpoint & 0x80))
                ids.push_back(p.first);
        }
        for (UsbTransferId id : ids) {
            Pending& p = pending[id];
            std::vector<std::uint8_t> answer;
            const UsbStatus status = device->bulkIn(p.endpoint, p.length, &answer);
            if (status == UsbStatus::Timeout)
                continue;
            const std::uint32_t n = static_cast<std::uint32_t>(std::min<std::size_t>(answer.size(), p.length));
            if (n)
                std::memcpy(p.data, answer.data(), n);
            record(handles[p.handle].path, SimRequestKind::In, {}, p.endpoint, p.length, true, answer, status);
            complete(id, status, status == UsbStatus::Success ? n : 0);
        }
    }

    void record(const std::string& path, SimRequestKind kind, const UsbSetup& setup, std::uint8_t endpoint,
                std::uint32_t length, bool async, std::vector<std::uint8_t> data, UsbStatus status)
    {
        SimRequest r;
        r.path = path;
        r.kind = kind;
        r.setup = setup;
        r.endpoint = endpoint;
        r.length = length;
        r.async = async;
        r.data = std::move(data);
        r.status = status;
        r.time = clock().now();
        transcript.push_back(std::move(r));
    }

    // The fault that this request triggers, if any.
    const SimFault* fault(const SimRequest& r)
    {
        for (FaultState& f : faults) {
            const SimFault& rule = f.rule;
            if (f.fired)
                continue;
            if (rule.kind != SimRequestKind::Any && rule.kind != r.kind)
                continue;
            if (!rule.path.empty() && rule.path != r.path)
                continue;
            if (rule.bmRequestType >= 0 && (r.kind != SimRequestKind::Control || rule.bmRequestType != r.setup.bmRequestType))
                continue;
            if (rule.bRequest >= 0 && (r.kind != SimRequestKind::Control || rule.bRequest != r.setup.bRequest))
                continue;
            if (rule.endpoint >= 0 && rule.endpoint != r.endpoint)
                continue;
            if (rule.match && !rule.match(r))
                continue;
            if (++f.seen < rule.nth)
                continue;
            f.fired = true;
            return &f.rule;
        }
        return nullptr;
    }

    void unplugNow(const std::string& path)
    {
        unsigned number = 0;
        if (parsePath(path, &number))
            detachNumber(number);
    }
};

SimBackend::SimBackend()
    : bus_(std::make_shared<Bus>())
{
}

SimBackend::~SimBackend()
{
    // Completions owed to callers still run; devices leave without notice.
    std::vector<UsbHandle> open;
    {
        Bus::Locked lock(*bus_);
        for (const auto& h : bus_->handles)
            open.push_back(h.first);
    }
    for (UsbHandle h : open)
        close(h);
    std::lock_guard<std::mutex> guard(bus_->listenerMutex);
    bus_->listeners.clear();
}

std::string SimBackend::attach(std::shared_ptr<SimDevice> device)
{
    if (!device)
        return {};
    unsigned number = 0;
    {
        Bus::Locked lock(*bus_);
        number = bus_->nextNumber++;
    }
    bus_->attachAs(number, std::move(device));
    return pathOf(number);
}

bool SimBackend::detach(const std::string& path)
{
    unsigned number = 0;
    return Bus::parsePath(path, &number) && bus_->detachNumber(number);
}

std::string SimBackend::reenumerate(const std::string& path, std::shared_ptr<SimDevice> persona,
                                    Clock::Duration delay)
{
    unsigned next = 0;
    {
        Bus::Locked lock(*bus_);
        unsigned number = 0;
        if (!Bus::parsePath(path, &number) || !bus_->detachNumber(number))
            return {};
        next = bus_->nextNumber++;
        bus_->scheduleArrival(next, std::move(persona), delay);
    }
    return pathOf(next);
}

std::shared_ptr<SimDevice> SimBackend::device(const std::string& path) const
{
    Bus::Locked lock(*bus_);
    Bus::Attached* a = bus_->attachedAt(path);
    return a ? a->device : nullptr;
}

void SimBackend::addFault(SimFault fault)
{
    Bus::Locked lock(*bus_);
    bus_->faults.push_back({std::move(fault), 0, false});
}

void SimBackend::clearFaults()
{
    Bus::Locked lock(*bus_);
    bus_->faults.clear();
}

std::vector<SimRequest> SimBackend::transcript() const
{
    Bus::Locked lock(*bus_);
    return bus_->transcript;
}

void SimBackend::clearTranscript()
{
    Bus::Locked lock(*bus_);
    bus_->transcript.clear();
}

int SimBackend::liveObjects() const
{
    Bus::Locked lock(*bus_);
    int count = static_cast<int>(bus_->handles.size() + bus_->pending.size());
    for (const auto& h : bus_->handles)
        for (const auto& c : h.second.claims)
            count += c.second;
    return count;
}

std::vector<UsbDeviceInfo> SimBackend::listDevices()
{
    Bus::Locked lock(*bus_);
    std::vector<UsbDeviceInfo> list;
    for (const auto& d : bus_->devices)
        list.push_back(d.second.info);
    return list;
}

UsbStatus SimBackend::describe(const std::string& path, UsbDeviceDescriptor* descriptor)
{
    if (!descriptor)
        return UsbStatus::BadArgument;
    Bus::Locked lock(*bus_);
    const Bus::Attached* a = bus_->attachedAt(path);
    if (!a)
        return UsbStatus::NotFound;
    *descriptor = a->info.descriptor;
    return UsbStatus::Success;
}

UsbStatus SimBackend::open(const std::string& path, UsbHandle* handle)
{
    if (!handle)
        return UsbStatus::BadArgument;
    Bus::Locked lock(*bus_);
    Bus::Attached* a = bus_->attachedAt(path);
    if (!a)
        return UsbStatus::NotFound;
    for (const auto& h : bus_->handles)
        if (h.second.device == a->device)
            return UsbStatus::AccessDenied;
    *handle = bus_->nextHandle++;
    bus_->handles[*handle] = Bus::Open{path, a->device, {}};
    return UsbStatus::Success;
}

void SimBackend::close(UsbHandle handle)
{
    Bus::Locked lock(*bus_);
    if (!bus_->handles.count(handle))
        return;
    std::vector<UsbTransferId> ids;
    for (const auto& p : bus_->pending)
        if (p.second.handle == handle)
            ids.push_back(p.first);
    for (UsbTransferId id : ids)
        bus_->complete(id, UsbStatus::Cancelled, 0);
    bus_->handles.erase(handle);
}

UsbStatus SimBackend::deviceDescriptor(UsbHandle handle, UsbDeviceDescriptor* descriptor)
{
    Bus::Locked lock(*bus_);
    Bus::Open* open = nullptr;
    const UsbStatus status = bus_->lookup(handle, &open);
    if (status == UsbStatus::Success && descriptor)
        *descriptor = open->device->descriptors().device;
    return descriptor ? status : UsbStatus::BadArgument;
}

UsbStatus SimBackend::configDescriptor(UsbHandle handle, std::uint8_t index, std::vector<std::uint8_t>* bytes)
{
    Bus::Locked lock(*bus_);
    Bus::Open* open = nullptr;
    const UsbStatus status = bus_->lookup(handle, &open);
    if (status != UsbStatus::Success)
        return status;
    const auto& configurations = open->device->descriptors().configurations;
    if (!bytes || index >= configurations.size())
        return UsbStatus::BadArgument;
    *bytes = encodeConfiguration(configurations[index]);
    return UsbStatus::Success;
}

UsbStatus SimBackend::setConfiguration(UsbHandle handle, std::uint8_t configurationValue)
{
    {
        Bus::Locked lock(*bus_);
        Bus::Open* open = nullptr;
        const UsbStatus status = bus_->lookup(handle, &open);
        if (status != UsbStatus::Success)
            return status;
        if (open->device->activeConfiguration() == configurationValue)
            return UsbStatus::Success;
    }
    UsbSetup setup;
    setup.bmRequestType = usbch9::kStandardDeviceOut;
    setup.bRequest = usbch9::kSetConfiguration;
    setup.wValue = configurationValue;
    std::uint32_t transferred = 0;
    return controlTransfer(handle, setup, nullptr, 1000, &transferred);
}

UsbStatus SimBackend::claimInterface(UsbHandle handle, std::uint8_t interfaceNumber)
{
    Bus::Locked lock(*bus_);
    Bus::Open* open = nullptr;
    const UsbStatus status = bus_->lookup(handle, &open);
    if (status != UsbStatus::Success)
        return status;
    if (!open->device->hasInterface(interfaceNumber))
        return UsbStatus::BadArgument;
    ++open->claims[interfaceNumber];
    return UsbStatus::Success;
}

UsbStatus SimBackend::releaseInterface(UsbHandle handle, std::uint8_t interfaceNumber)
{
    Bus::Locked lock(*bus_);
    auto found = bus_->handles.find(handle);
    if (found == bus_->handles.end())
        return UsbStatus::BadArgument;
    auto claim = found->second.claims.find(interfaceNumber);
    if (claim == found->second.claims.end())
        return UsbStatus::BadArgument;
    if (--claim->second == 0)
        found->second.claims.erase(claim);
    return UsbStatus::Success;
}

UsbStatus SimBackend::controlTransfer(UsbHandle handle, const UsbSetup& setup, std::uint8_t* data,
                                      UsbTimeoutMs timeout, std::uint32_t* transferred)
{
    if (transferred)
        *transferred = 0;
    if (!transferred || (setup.wLength && !data) || setup.wLength > driver::kMaxControlData)
        return UsbStatus::BadArgument;
    UsbStatus status = UsbStatus::Success;
    std::string unplug;
    Clock::Duration answerTime{0};
    {
        Bus::Locked lock(*bus_);
        Bus::Open* open = nullptr;
        status = bus_->lookup(handle, &open);
        if (status != UsbStatus::Success)
            return status;
        std::vector<std::uint8_t> stage;
        if (!setup.isIn())
            stage.assign(data, data + setup.wLength);
        SimRequest probe;
        probe.path = open->path;
        probe.kind = SimRequestKind::Control;
        probe.setup = setup;
        probe.length = setup.wLength;
        probe.data = stage;
        const SimFault* f = bus_->fault(probe);
        if (f && f->action == SimFaultAction::Stall) {
            status = UsbStatus::Stall;
        } else if (f && f->action == SimFaultAction::Timeout) {
            status = UsbStatus::Timeout;
        } else if (f && f->action == SimFaultAction::Unplug) {
            status = UsbStatus::Gone;
            unplug = open->path;
        } else {
            std::shared_ptr<SimDevice> device = open->device;
            status = device->control(setup, stage);
            answerTime = device->takeAnswerTime();
            if (status == UsbStatus::Success) {
                if (setup.isIn()) {
                    std::size_t n = std::min<std::size_t>(stage.size(), setup.wLength);
                    if (f && f->action == SimFaultAction::Short)
                        n = std::min<std::size_t>(n, f->shortLength);
                    stage.resize(n);
                    if (n)
                        std::memcpy(data, stage.data(), n);
                    *transferred = static_cast<std::uint32_t>(n);
                } else {
                    *transferred = f && f->action == SimFaultAction::Short
                                       ? std::min<std::uint32_t>(setup.wLength, f->shortLength)
                                       : setup.wLength;
                }
            } else if (setup.isIn()) {
                stage.clear();
            }
            bus_->serveReads(device.get());
        }
        bus_->record(open->path, SimRequestKind::Control, setup, 0, setup.wLength, false, std::move(stage), status);
        if (!unplug.empty())
            bus_->unplugNow(unplug);
    }
    if (status == UsbStatus::Timeout && timeout)
        clock().sleepFor(Clock::Duration(timeout));
    else if (answerTime.count() > 0)
        clock().sleepFor(answerTime);
    return status;
}

UsbStatus SimBackend::transfer(UsbHandle handle, std::uint8_t endpoint, UsbTransferType, std::uint8_t* data,
                               std::uint32_t length, UsbTimeoutMs timeout, std::uint32_t* transferred)
{
    if (!transferred || (length && !data))
        return UsbStatus::BadArgument;
    *transferred = 0;
    const bool in = (endpoint & 0x80) != 0;
    bool retried = false;
    for (;;) {
        UsbStatus status = UsbStatus::Success;
        bool waitForData = false;
        {
            Bus::Locked lock(*bus_);
            Bus::Open* open = nullptr;
            status = bus_->lookup(handle, &open);
            if (status != UsbStatus::Success)
                return status;
            std::shared_ptr<SimDevice> device = open->device;
            std::uint8_t interfaceNumber = 0;
            if (!device->findEndpoint(endpoint, &interfaceNumber) || !open->claims.count(interfaceNumber))
                return UsbStatus::BadArgument;
            SimRequest probe;
            probe.path = open->path;
            probe.kind = in ? SimRequestKind::In : SimRequestKind::Out;
            probe.endpoint = endpoint;
            probe.length = length;
            if (!in)
                probe.data.assign(data, data + length);
            const SimFault* f = retried ? nullptr : bus_->fault(probe);
            std::vector<std::uint8_t> recorded = in ? std::vector<std::uint8_t>{} : probe.data;
            std::string unplug;
            if (f && f->action == SimFaultAction::Stall) {
                status = UsbStatus::Stall;
            } else if (f && f->action == SimFaultAction::Timeout) {
                status = UsbStatus::Timeout;
            } else if (f && f->action == SimFaultAction::Unplug) {
                status = UsbStatus::Gone;
                unplug = open->path;
            } else if (in) {
                std::vector<std::uint8_t> answer;
                status = device->bulkIn(endpoint, length, &answer);
                if (status == UsbStatus::Timeout && !retried && timeout) {
                    waitForData = true;
                } else if (status == UsbStatus::Success) {
                    std::size_t n = std::min<std::size_t>(answer.size(), length);
                    if (f && f->action == SimFaultAction::Short)
                        n = std::min<std::size_t>(n, f->shortLength);
                    answer.resize(n);
                    if (n)
                        std::memcpy(data, answer.data(), n);
                    *transferred = static_cast<std::uint32_t>(n);
                    recorded = std::move(answer);
                }
            } else {
                std::vector<std::uint8_t> offered = probe.data;
                if (f && f->action == SimFaultAction::Short && offered.size() > f->shortLength)
                    offered.resize(f->shortLength);
                std::uint32_t taken = 0;
                status = device->bulkOut(endpoint, offered, &taken);
                *transferred = std::min<std::uint32_t>(taken, static_cast<std::uint32_t>(offered.size()));
            }
            if (!waitForData) {
                bus_->serveReads(device.get());
                bus_->record(open->path, probe.kind, {}, endpoint, length, false, std::move(recorded), status);
                if (!unplug.empty())
                    bus_->unplugNow(unplug);
            }
        }
        if (waitForData) {
            // Nothing to read yet: let the time-out pass (events of the device may fire
            // meanwhile) and look once more.
            clock().sleepFor(Clock::Duration(timeout));
            retried = true;
            continue;
        }
        if (status == UsbStatus::Timeout && timeout && !retried)
            clock().sleepFor(Clock::Duration(timeout));
        return status;
    }
}

UsbStatus SimBackend::submit(UsbHandle handle, std::uint8_t endpoint, UsbTransferType, std::uint8_t* data,
                             std::uint32_t length, UsbTimeoutMs timeout, UsbCompletion done, UsbTransferId* id)
{
    if (!id || !done || (length && !data))
        return UsbStatus::BadArgument;
    const bool in = (endpoint & 0x80) != 0;
    Bus::Locked lock(*bus_);
    Bus::Open* open = nullptr;
    const UsbStatus lookedUp = bus_->lookup(handle, &open);
    if (lookedUp != UsbStatus::Success)
        return lookedUp;
    std::shared_ptr<SimDevice> device = open->device;
    std::uint8_t interfaceNumber = 0;
    if (!device->findEndpoint(endpoint, &interfaceNumber) || !open->claims.count(interfaceNumber))
        return UsbStatus::BadArgument;

    *id = bus_->nextTransfer++;
    bus_->pending[*id] = Bus::Pending{handle, endpoint, data, length, std::move(done)};

    SimRequest probe;
    probe.path = open->path;
    probe.kind = in ? SimRequestKind::In : SimRequestKind::Out;
    probe.endpoint = endpoint;
    probe.length = length;
    probe.async = true;
    if (!in)
        probe.data.assign(data, data + length);
    const SimFault* f = bus_->fault(probe);
    const std::string path = open->path;
    if (f && f->action == SimFaultAction::Stall) {
        bus_->record(path, probe.kind, {}, endpoint, length, true, {}, UsbStatus::Stall);
        bus_->complete(*id, UsbStatus::Stall, 0);
    } else if (f && f->action == SimFaultAction::Unplug) {
        bus_->record(path, probe.kind, {}, endpoint, length, true, {}, UsbStatus::Gone);
        bus_->unplugNow(path);
    } else if (f && f->action == SimFaultAction::Timeout) {
        bus_->record(path, probe.kind, {}, endpoint, length, true, {}, UsbStatus::Timeout);
        // Stays pending: the time-out (if any) or a cancel ends it.
    } else if (in) {
        if (f && f->action == SimFaultAction::Short)
            bus_->pending[*id].length = std::min(length, f->shortLength);
        bus_->serveReads(device.get());
    } else {
        std::vector<std::uint8_t> offered = probe.data;
        if (f && f->action == SimFaultAction::Short && offered.size() > f->shortLength)
            offered.resize(f->shortLength);
        std::uint32_t taken = 0;
        const UsbStatus status = device->bulkOut(endpoint, offered, &taken);
        taken = std::min<std::uint32_t>(taken, static_cast<std::uint32_t>(offered.size()));
        bus_->record(path, probe.kind, {}, endpoint, length, true, offered, status);
        bus_->complete(*id, status, status == UsbStatus::Success ? taken : 0);
        bus_->serveReads(device.get());
    }
    if (timeout && bus_->pending.count(*id)) {
        std::weak_ptr<Bus> weak = bus_;
        const UsbTransferId transfer = *id;
        clock().callAfter(Clock::Duration(timeout), [weak, transfer] {
            if (std::shared_ptr<Bus> self = weak.lock()) {
                Bus::Locked relock(*self);
                self->complete(transfer, UsbStatus::Timeout, 0);
            }
        });
    }
    return UsbStatus::Success;
}

UsbStatus SimBackend::cancel(UsbHandle handle, UsbTransferId id)
{
    Bus::Locked lock(*bus_);
    auto found = bus_->pending.find(id);
    if (found == bus_->pending.end() || found->second.handle != handle)
        return UsbStatus::BadArgument;
    bus_->complete(id, UsbStatus::Cancelled, 0);
    return UsbStatus::Success;
}

UsbStatus SimBackend::reset(UsbHandle handle)
{
    Bus::Locked lock(*bus_);
    Bus::Open* open = nullptr;
    UsbStatus status = bus_->lookup(handle, &open);
    if (status != UsbStatus::Success)
        return status;
    SimRequest probe;
    probe.path = open->path;
    probe.kind = SimRequestKind::Reset;
    const SimFault* f = bus_->fault(probe);
    const std::string path = open->path;
    if (f && f->action == SimFaultAction::Stall)
        status = UsbStatus::Stall;
    else if (f && f->action == SimFaultAction::Timeout)
        status = UsbStatus::Timeout;
    else if (f && f->action == SimFaultAction::Unplug)
        status = UsbStatus::Gone;
    else
        status = open->device->resetPort();
    bus_->record(path, SimRequestKind::Reset, {}, 0, 0, false, {}, status);
    if (f && f->action == SimFaultAction::Unplug)
        bus_->unplugNow(path);
    return status;
}

UsbListenerId SimBackend::addHotplugListener(UsbHotplugCallback callback)
{
    if (!callback)
        return 0;
    std::lock_guard<std::mutex> guard(bus_->listenerMutex);
    const UsbListenerId id = bus_->nextListener++;
    bus_->listeners[id] = std::move(callback);
    return id;
}

void SimBackend::removeHotplugListener(UsbListenerId id)
{
    std::lock_guard<std::mutex> guard(bus_->listenerMutex);
    bus_->listeners.erase(id);
}

} // namespace platform
