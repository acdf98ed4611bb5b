// The engine on avahi-core. avahi-core is not thread-safe, so one recursive mutex guards it: the
// event thread holds it except inside poll(), and every client call takes it. Reply handlers
// therefore run with it held, and a deallocate waits for a handler that is running.
#include "discovery/DnsSdEngine.h"

#include <avahi-common/domain.h>
#include <avahi-common/error.h>
#include <avahi-common/simple-watch.h>
#include <avahi-core/core.h>
#include <avahi-core/log.h>
#include <avahi-core/lookup.h>
#include <avahi-core/rr.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <vector>

namespace TWG {

struct DnsSdOperation {
    enum class Kind { Browse, Resolve, Record };
    Kind kind;
    void* avahiObject = nullptr;
    void* reply = nullptr;
    void* context = nullptr;
    class AvahiEngine* engine = nullptr;
};

namespace {

void dropLog(AvahiLogLevel, const char*) {}

DNSServiceErrorType fromAvahi(int error)
{
    switch (error) {
    case AVAHI_OK:
        return DnsSd::kNoError;
    case AVAHI_ERR_TIMEOUT:
        return DnsSd::kErrTimeout;
    case AVAHI_ERR_NO_MEMORY:
        return DnsSd::kErrNoMemory;
    case AVAHI_ERR_INVALID_HOST_NAME:
    case AVAHI_ERR_INVALID_DOMAIN_NAME:
    case AVAHI_ERR_INVALID_SERVICE_NAME:
    case AVAHI_ERR_INVALID_SERVICE_TYPE:
    case AVAHI_ERR_INVALID_KEY:
    case AVAHI_ERR_INVALID_INTERFACE:
    case AVAHI_ERR_INVALID_PROTOCOL:
    case AVAHI_ERR_INVALID_FLAGS:
    case AVAHI_ERR_INVALID_ARGUMENT:
        return DnsSd::kErrBadParam;
    default:
        return DnsSd::kErrUnknown;
    }
}

// Names as DNS-SD reports them end in a dot: "_tarnwright._tcp.", "local.", "box.local.".
std::string withTrailingDot(const char* text)
{
    std::string out = text ? text : "";
    if (!out.empty() && out.back() != '.')
        out += '.';
    return out;
}

AvahiIfIndex toAvahiInterface(std::uint32_t interfaceIndex)
{
    return interfaceIndex == DnsSd::kAllInterfaces ? AVAHI_IF_UNSPEC : static_cast<AvahiIfIndex>(interfaceIndex);
}

std::uint32_t fromAvahiInterface(AvahiIfIndex interfaceIndex)
{
    return interfaceIndex < 0 ? DnsSd::kAllInterfaces : static_cast<std::uint32_t>(interfaceIndex);
}

} // namespace

class AvahiEngine : public DnsSdEngine {
public:
    ~AvahiEngine() override { close(); }

    bool open(std::function<void()> onStop) override
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        onStop_ = std::move(onStop);
        avahi_set_log_function(dropLog);
        poll_ = avahi_simple_poll_new();
        if (!poll_)
            return fail();
        avahi_simple_poll_set_func(poll_, &AvahiEngine::pollUnlocked, this);

        AvahiServerConfig config;
        avahi_server_config_init(&config);
        config.use_ipv4 = 1;
        config.use_ipv6 = 0;
        config.publish_hinfo = 0;
        config.publish_addresses = 0;
        config.publish_workstation = 0;
        config.publish_domain = 0;
        config.disable_publishing = 1;
        config.enable_wide_area = 0;
        config.n_cache_entries_max = DnsSd::kCacheRecords;
        int error = 0;
        server_ = avahi_server_new(avahi_simple_poll_get(poll_), &config, nullptr, nullptr, &error);
        avahi_server_config_free(&config);
        if (!server_)
            return fail();

        const AvahiPoll* api = avahi_simple_poll_get(poll_);
        wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wakeFd_ < 0)
            return fail();
        wakeWatch_ = api->watch_new(api, wakeFd_, AVAHI_WATCH_IN, &AvahiEngine::onWake, this);
        if (!wakeWatch_)
            return fail();
        stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (stopFd_ < 0)
            return fail();
        stopWatch_ = api->watch_new(api, stopFd_, AVAHI_WATCH_IN, &AvahiEngine::onStopRequest, this);
        if (!stopWatch_)
            return fail();
        return true;
    }

    void runOnce() override
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        avahi_simple_poll_iterate(poll_, -1);
    }

    void wake() override { signal(wakeFd_); }
    void requestStop() override { signal(stopFd_); }

    void close() override
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        const AvahiPoll* api = poll_ ? avahi_simple_poll_get(poll_) : nullptr;
        if (server_)
            avahi_server_free(server_);
        server_ = nullptr;
        if (stopWatch_)
            api->watch_free(stopWatch_);
        stopWatch_ = nullptr;
        if (wakeWatch_)
            api->watch_free(wakeWatch_);
        wakeWatch_ = nullptr;
        if (poll_)
            avahi_simple_poll_free(poll_);
        poll_ = nullptr;
        for (int* fd : {&stopFd_, &wakeFd_}) {
            if (*fd >= 0)
                ::close(*fd);
            *fd = -1;
        }
    }

    DNSServiceErrorType browse(DNSServiceRef* ref, DNSServiceFlags, std::uint32_t interfaceIndex, const char* type,
                               const char* domain, DNSServiceBrowseReply reply, void* context) override
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        auto* op = newOperation(DnsSdOperation::Kind::Browse, reinterpret_cast<void*>(reply), context);
        op->avahiObject = avahi_s_service_browser_new(server_, toAvahiInterface(interfaceIndex), AVAHI_PROTO_INET,
                                                      type, domain, AvahiLookupFlags(0), &AvahiEngine::onBrowse, op);
        return finishStart(op, ref);
    }

    DNSServiceErrorType resolve(DNSServiceRef* ref, DNSServiceFlags, std::uint32_t interfaceIndex, const char* name,
                                const char* type, const char* domain, DNSServiceResolveReply reply,
                                void* context) override
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        auto* op = newOperation(DnsSdOperation::Kind::Resolve, reinterpret_cast<void*>(reply), context);
        op->avahiObject = avahi_s_service_resolver_new(server_, toAvahiInterface(interfaceIndex), AVAHI_PROTO_INET,
                                                       name, type, domain, AVAHI_PROTO_INET, AVAHI_LOOKUP_NO_ADDRESS,
                                                       &AvahiEngine::onResolve, op);
        return finishStart(op, ref);
    }

    DNSServiceErrorType queryRecord(DNSServiceRef* ref, DNSServiceFlags, std::uint32_t interfaceIndex,
                                    const char* fullName, std::uint16_t rrtype, std::uint16_t rrclass,
                                    DNSServiceQueryRecordReply reply, void* context) override
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        AvahiKey* key = avahi_key_new(fullName, rrclass, rrtype);
        if (!key)
            return DnsSd::kErrBadParam;
        auto* op = newOperation(DnsSdOperation::Kind::Record, reinterpret_cast<void*>(reply), context);
        op->avahiObject = avahi_s_record_browser_new(server_, toAvahiInterface(interfaceIndex), AVAHI_PROTO_INET, key,
                                                     AVAHI_LOOKUP_USE_MULTICAST, &AvahiEngine::onRecord, op);
        avahi_key_unref(key);
        return finishStart(op, ref);
    }

    DNSServiceErrorType constructFullName(std::string* fullName, const char* name, const char* type,
                                          const char* domain) override
    {
        char buffer[AVAHI_DOMAIN_NAME_MAX];
        const int error = avahi_service_name_join(buffer, sizeof buffer, name, type, domain);
        if (error < 0)
            return fromAvahi(error);
        *fullName = withTrailingDot(buffer);
        return DnsSd::kNoError;
    }

    void deallocate(DNSServiceRef op) override
    {
        if (!op)
            return;
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        freeAvahiObject(op);
        delete op;
    }

private:
    bool fail()
    {
        close();
        return false;
    }

    static void signal(int fd)
    {
        const std::uint64_t one = 1;
        if (fd >= 0)
            (void)!::write(fd, &one, sizeof one);
    }

    static void drain(int fd)
    {
        std::uint64_t count = 0;
        (void)!::read(fd, &count, sizeof count);
    }

    static int pollUnlocked(struct pollfd* fds, unsigned int count, int timeout, void* self)
    {
        auto* engine = static_cast<AvahiEngine*>(self);
        engine->mutex_.unlock();
        const int result = ::poll(fds, count, timeout);
        engine->mutex_.lock();
        return result;
    }

    static void onWake(AvahiWatch*, int fd, AvahiWatchEvent, void*) { drain(fd); }

    static void onStopRequest(AvahiWatch*, int fd, AvahiWatchEvent, void* self)
    {
        drain(fd);
        static_cast<AvahiEngine*>(self)->onStop_();
    }

    DnsSdOperation* newOperation(DnsSdOperation::Kind kind, void* reply, void* context)
    {
        auto* op = new DnsSdOperation;
        op->kind = kind;
        op->reply = reply;
        op->context = context;
        op->engine = this;
        return op;
    }

    DNSServiceErrorType finishStart(DnsSdOperation* op, DNSServiceRef* ref)
    {
        if (!op->avahiObject) {
            delete op;
            return lastError();
        }
        *ref = op;
        return DnsSd::kNoError;
    }

    static void freeAvahiObject(DnsSdOperation* op)
    {
        switch (op->kind) {
        case DnsSdOperation::Kind::Browse:
            avahi_s_service_browser_free(static_cast<AvahiSServiceBrowser*>(op->avahiObject));
            break;
        case DnsSdOperation::Kind::Resolve:
            avahi_s_service_resolver_free(static_cast<AvahiSServiceResolver*>(op->avahiObject));
            break;
        case DnsSdOperation::Kind::Record:
            avahi_s_record_browser_free(static_cast<AvahiSRecordBrowser*>(op->avahiObject));
            break;
        }
    }

    DNSServiceErrorType lastError() const
    {
        const DNSServiceErrorType error = fromAvahi(avahi_server_errno(server_));
        return error == DnsSd::kNoError ? DnsSd::kErrUnknown : error;
    }

    // "All for now" and "cache exhausted" say nothing about an instance and are dropped.
    static void onBrowse(AvahiSServiceBrowser*, AvahiIfIndex interfaceIndex, AvahiProtocol, AvahiBrowserEvent event,
                         const char* name, const char* type, const char* domain, AvahiLookupResultFlags, void* data)
    {
        auto* op = static_cast<DnsSdOperation*>(data);
        auto reply = reinterpret_cast<DNSServiceBrowseReply>(op->reply);
        if (event == AVAHI_BROWSER_NEW || event == AVAHI_BROWSER_REMOVE) {
            const DNSServiceFlags flags = event == AVAHI_BROWSER_NEW ? DnsSd::kFlagsAdd : 0;
            reply(op, flags, fromAvahiInterface(interfaceIndex), DnsSd::kNoError, name ? name : "",
                  withTrailingDot(type).c_str(), withTrailingDot(domain).c_str(), op->context);
        } else if (event == AVAHI_BROWSER_FAILURE) {
            reply(op, 0, fromAvahiInterface(interfaceIndex), op->engine->lastError(), "", "", "", op->context);
        }
    }

    static void onResolve(AvahiSServiceResolver*, AvahiIfIndex interfaceIndex, AvahiProtocol, AvahiResolverEvent event,
                          const char* name, const char* type, const char* domain, const char* hostName,
                          const AvahiAddress*, std::uint16_t port, AvahiStringList*, AvahiLookupResultFlags, void* data)
    {
        auto* op = static_cast<DnsSdOperation*>(data);
        auto reply = reinterpret_cast<DNSServiceResolveReply>(op->reply);
        const std::uint32_t index = fromAvahiInterface(interfaceIndex);
        if (event != AVAHI_RESOLVER_FOUND) {
            reply(op, 0, index, op->engine->lastError(), "", "", 0, 0, nullptr, op->context);
            return;
        }
        std::string fullName;
        op->engine->constructFullName(&fullName, name ? name : "", type ? type : "", domain ? domain : "");
        reply(op, 0, index, DnsSd::kNoError, fullName.c_str(), withTrailingDot(hostName).c_str(), htons(port), 0,
              nullptr, op->context);
    }

    static void onRecord(AvahiSRecordBrowser*, AvahiIfIndex interfaceIndex, AvahiProtocol, AvahiBrowserEvent event,
                         AvahiRecord* record, AvahiLookupResultFlags, void* data)
    {
        auto* op = static_cast<DnsSdOperation*>(data);
        auto reply = reinterpret_cast<DNSServiceQueryRecordReply>(op->reply);
        const std::uint32_t index = fromAvahiInterface(interfaceIndex);
        if (event == AVAHI_BROWSER_FAILURE) {
            reply(op, 0, index, op->engine->lastError(), "", 0, 0, 0, nullptr, 0, op->context);
            return;
        }
        if ((event != AVAHI_BROWSER_NEW && event != AVAHI_BROWSER_REMOVE) || !record)
            return;
        std::vector<std::uint8_t> rdata(0xFFFF);
        const size_t length = avahi_rdata_serialize(record, rdata.data(), rdata.size());
        if (length == static_cast<size_t>(-1))
            return;
        const DNSServiceFlags flags = event == AVAHI_BROWSER_NEW ? DnsSd::kFlagsAdd : 0;
        reply(op, flags, index, DnsSd::kNoError, withTrailingDot(record->key->name).c_str(), record->key->type,
              record->key->clazz, static_cast<std::uint16_t>(length), rdata.data(), record->ttl, op->context);
    }

    std::recursive_mutex mutex_;
    std::function<void()> onStop_;
    AvahiSimplePoll* poll_ = nullptr;
    AvahiServer* server_ = nullptr;
    int wakeFd_ = -1;
    int stopFd_ = -1;
    AvahiWatch* wakeWatch_ = nullptr;
    AvahiWatch* stopWatch_ = nullptr;
};

std::unique_ptr<DnsSdEngine> makeAvahiEngine()
{
    return std::make_unique<AvahiEngine>();
}

} // namespace TWG
