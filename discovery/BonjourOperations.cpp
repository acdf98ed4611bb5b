#include "discovery/BonjourOperations.h"

#include "discovery/DiscoveryEngine.h"
#include "discovery/DnsWire.h"

#include <arpa/inet.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace TWG {

enum class OperationKind { Browse, Resolve, Query, Lookup };

namespace {

// Reply handlers take their kind's lock, then the registry's; stop takes them in the same order.
struct Routing {
    std::mutex kindLocks[4];
    std::mutex registryMutex;
    std::map<std::uint32_t, BonjourObjectPrivate*> registry;
    std::uint32_t lastId = 0;
};

Routing& routing()
{
    static Routing instance;
    return instance;
}

std::mutex& kindLock(OperationKind kind)
{
    return routing().kindLocks[static_cast<int>(kind)];
}

void* contextOf(std::uint32_t id)
{
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(id));
}

} // namespace

class BonjourObjectPrivate {
public:
    BonjourObjectPrivate(BonjourObject* q, OperationKind kind) : q(q), kind(kind)
    {
        acquireDiscoveryEngine();
        Routing& r = routing();
        std::lock_guard<std::mutex> lock(r.registryMutex);
        std::uint32_t candidate = r.lastId + 1;
        while (r.registry.count(candidate))
            ++candidate;
        r.lastId = callbackId = candidate;
        r.registry.emplace(callbackId, this);
    }

    virtual ~BonjourObjectPrivate()
    {
        handle.reset();
        releaseDiscoveryEngine();
    }

    using EngineCall = std::function<DNSServiceErrorType(DnsSdEngine*, DNSServiceRef*, void* context)>;

    // At most once per object, and only while the engine runs.
    bool start(const std::function<bool(DnsSdEngine*)>& prepare, const EngineCall& call)
    {
        if (handle || !discoveryEngineRunning())
            return false;
        DnsSdEngine* engine = discoveryEngine();
        if (!engine || !prepare(engine))
            return false;
        handle = std::shared_ptr<DNSServiceRef>(new DNSServiceRef(nullptr), [engine](DNSServiceRef* slot) {
            if (*slot)
                engine->deallocate(*slot);
            delete slot;
        });
        if (call(engine, handle.get(), contextOf(callbackId)) != DnsSd::kNoError)
            return false;
        wakeDiscoveryEngine();
        return true;
    }

    // The live object of this kind that a reply's context names, or null. Called with the
    // kind's lock held.
    template <typename Private>
    static Private* find(OperationKind kind, void* context)
    {
        Routing& r = routing();
        std::lock_guard<std::mutex> lock(r.registryMutex);
        const auto found = r.registry.find(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(context)));
        if (found == r.registry.end() || found->second->kind != kind)
            return nullptr;
        return static_cast<Private*>(found->second);
    }

    void stop()
    {
        {
            std::lock_guard<std::mutex> kind(kindLock(this->kind));
            Routing& r = routing();
            std::lock_guard<std::mutex> lock(r.registryMutex);
            for (auto it = r.registry.begin(); it != r.registry.end();)
                it = it->second == this ? r.registry.erase(it) : std::next(it);
        }
        // Deallocating waits for a reply of another kind being delivered to this handle, so it
        // comes after both locks are released.
        handle.reset();
    }

    BonjourObject* q;
    const OperationKind kind;
    std::uint32_t callbackId = 0;
    std::shared_ptr<DNSServiceRef> handle;
};

namespace {

class BonjourResolverPrivate : public BonjourObjectPrivate {
public:
    using BonjourObjectPrivate::BonjourObjectPrivate;
    BonjourDevice device;
};

class BonjourHostnameLookupPrivate : public BonjourObjectPrivate {
public:
    using BonjourObjectPrivate::BonjourObjectPrivate;
    std::string key;
    std::string hostName;
    bool failed = false; // under the kind's lock
};

class BonjourQueryPrivate : public BonjourObjectPrivate {
public:
    using BonjourObjectPrivate::BonjourObjectPrivate;
    BonjourDevice device;
    bool answered = false; // under the kind's lock
};

const auto kNoPreparation = [](DnsSdEngine*) { return true; };

void browseReply(DNSServiceRef, DNSServiceFlags flags, std::uint32_t interfaceIndex, DNSServiceErrorType,
                 const char* name, const char* type, const char* domain, void* context)
{
    std::lock_guard<std::mutex> lock(kindLock(OperationKind::Browse));
    auto* d = BonjourObjectPrivate::find<BonjourObjectPrivate>(OperationKind::Browse, context);
    if (!d)
        return;
    const BonjourDevice device{name, type, domain, static_cast<std::int32_t>(interfaceIndex)};
    auto* browser = static_cast<BonjourBrowser*>(d->q);
    if (flags & DnsSd::kFlagsAdd)
        browser->added(device);
    else
        browser->removed(device);
}

void resolveReply(DNSServiceRef, DNSServiceFlags, std::uint32_t, DNSServiceErrorType error, const char*,
                  const char* hostTarget, std::uint16_t portNetworkOrder, std::uint16_t, const unsigned char*,
                  void* context)
{
    std::lock_guard<std::mutex> lock(kindLock(OperationKind::Resolve));
    auto* d = BonjourObjectPrivate::find<BonjourResolverPrivate>(OperationKind::Resolve, context);
    if (!d)
        return;
    auto* resolver = static_cast<BonjourResolver*>(d->q);
    if (error != DnsSd::kNoError)
        resolver->failed(d->device, error);
    else
        resolver->resolved(d->device, hostTarget, ntohs(portNetworkOrder));
}

// An error ends the look-up whatever its flags, as it ends a TXT query: the engine reports
// errors without Add.
void addressReply(DNSServiceRef, DNSServiceFlags flags, std::uint32_t, DNSServiceErrorType error, const char*,
                  std::uint16_t rrtype, std::uint16_t, std::uint16_t rdlen, const void* rdata, std::uint32_t,
                  void* context)
{
    std::lock_guard<std::mutex> lock(kindLock(OperationKind::Lookup));
    auto* d = BonjourObjectPrivate::find<BonjourHostnameLookupPrivate>(OperationKind::Lookup, context);
    if (!d || d->failed)
        return;
    auto* lookup = static_cast<BonjourHostnameLookup*>(d->q);
    if (error != DnsSd::kNoError) {
        d->failed = true;
        lookup->failed(d->hostName, error);
        return;
    }
    if (!(flags & DnsSd::kFlagsAdd))
        return;
    if (rrtype != Dns::kTypeA || rdlen != Dns::kARdataSize)
        return;
    const auto* bytes = static_cast<const std::uint8_t*>(rdata);
    const std::string address = std::to_string(bytes[0]) + '.' + std::to_string(bytes[1]) + '.'
                                + std::to_string(bytes[2]) + '.' + std::to_string(bytes[3]);
    lookup->lookedUp(d->key, address);
}

// An error ends the query whatever its flags: the engine reports errors without Add.
void txtReply(DNSServiceRef, DNSServiceFlags flags, std::uint32_t, DNSServiceErrorType error, const char*,
              std::uint16_t, std::uint16_t, std::uint16_t rdlen, const void* rdata, std::uint32_t, void* context)
{
    std::lock_guard<std::mutex> lock(kindLock(OperationKind::Query));
    auto* d = BonjourObjectPrivate::find<BonjourQueryPrivate>(OperationKind::Query, context);
    if (!d || d->answered)
        return;
    auto* query = static_cast<BonjourQuery*>(d->q);
    if (error != DnsSd::kNoError) {
        d->answered = true;
        query->failed(d->device, error);
        return;
    }
    if (!(flags & DnsSd::kFlagsAdd))
        return;
    d->answered = true;
    query->txtReceived(d->device, rdlen, rdata);
}

} // namespace

BonjourObject::BonjourObject(BonjourObjectPrivate* d) : d(d) {}

BonjourObject::~BonjourObject()
{
    stop();
    delete d;
}

void BonjourObject::stop()
{
    d->stop();
}

BonjourBrowser::BonjourBrowser() : BonjourObject(new BonjourObjectPrivate(this, OperationKind::Browse)) {}

BonjourBrowser::~BonjourBrowser()
{
    stop();
}

bool BonjourBrowser::browse(const std::string& type)
{
    return d->start(kNoPreparation, [&type](DnsSdEngine* engine, DNSServiceRef* ref, void* context) {
        return engine->browse(ref, 0, DnsSd::kAllInterfaces, type.c_str(), nullptr, browseReply, context);
    });
}

BonjourResolver::BonjourResolver() : BonjourObject(new BonjourResolverPrivate(this, OperationKind::Resolve)) {}

BonjourResolver::~BonjourResolver()
{
    stop();
}

bool BonjourResolver::resolve(const BonjourDevice& device)
{
    auto* p = static_cast<BonjourResolverPrivate*>(d);
    p->device = device;
    return d->start(kNoPreparation, [&device](DnsSdEngine* engine, DNSServiceRef* ref, void* context) {
        return engine->resolve(ref, 0, static_cast<std::uint32_t>(device.interfaceIndex), device.name.c_str(),
                               device.type.c_str(), device.domain.c_str(), resolveReply, context);
    });
}

BonjourHostnameLookup::BonjourHostnameLookup()
    : BonjourObject(new BonjourHostnameLookupPrivate(this, OperationKind::Lookup))
{
}

BonjourHostnameLookup::~BonjourHostnameLookup()
{
    stop();
}

bool BonjourHostnameLookup::lookup(const std::string& key, const std::string& hostName)
{
    auto* p = static_cast<BonjourHostnameLookupPrivate*>(d);
    p->key = key;
    p->hostName = hostName;
    return d->start(kNoPreparation, [&hostName](DnsSdEngine* engine, DNSServiceRef* ref, void* context) {
        return engine->queryRecord(ref, 0, DnsSd::kAllInterfaces, hostName.c_str(), Dns::kTypeA, Dns::kClassIn,
                                   addressReply, context);
    });
}

BonjourQuery::BonjourQuery() : BonjourObject(new BonjourQueryPrivate(this, OperationKind::Query)) {}

BonjourQuery::~BonjourQuery()
{
    stop();
}

bool BonjourQuery::queryTxt(const BonjourDevice& device)
{
    auto* p = static_cast<BonjourQueryPrivate*>(d);
    p->device = device;
    std::string fullName;
    const auto buildName = [&](DnsSdEngine* engine) {
        return engine->constructFullName(&fullName, device.name.c_str(), device.type.c_str(), device.domain.c_str())
               == DnsSd::kNoError;
    };
    return d->start(buildName, [&](DnsSdEngine* engine, DNSServiceRef* ref, void* context) {
        return engine->queryRecord(ref, 0, static_cast<std::uint32_t>(device.interfaceIndex), fullName.c_str(),
                                   Dns::kTypeTxt, Dns::kClassIn, txtReply, context);
    });
}

namespace detail {
void setLastCallbackId(std::uint32_t id)
{
    Routing& r = routing();
    std::lock_guard<std::mutex> lock(r.registryMutex);
    r.lastId = id;
}
} // namespace detail

} // namespace TWG
