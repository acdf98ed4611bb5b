#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace TWG {

// The DNS-SD engine's client calls in the shape the discovery layer uses: errors are the usual
// DNS-SD numbers, a reply handler gets its operation's context back, and strings are never null.
using DNSServiceErrorType = std::int32_t;
using DNSServiceFlags = std::uint32_t;
struct DnsSdOperation;
using DNSServiceRef = DnsSdOperation*;

namespace DnsSd {
constexpr DNSServiceFlags kFlagsAdd = 0x2;

constexpr DNSServiceErrorType kNoError = 0;
constexpr DNSServiceErrorType kErrUnknown = -65537;
constexpr DNSServiceErrorType kErrNoMemory = -65539;
constexpr DNSServiceErrorType kErrBadParam = -65540;
constexpr DNSServiceErrorType kErrTimeout = -65568;

// Interface 0 asks on every interface.
constexpr std::uint32_t kAllInterfaces = 0;
constexpr unsigned kCacheRecords = 512;
} // namespace DnsSd

// Browse: Add in the flags for an instance found, none for one gone.
using DNSServiceBrowseReply = void (*)(DNSServiceRef, DNSServiceFlags, std::uint32_t interfaceIndex,
                                       DNSServiceErrorType, const char* name, const char* type,
                                       const char* domain, void* context);
// Resolve: the port in network order.
using DNSServiceResolveReply = void (*)(DNSServiceRef, DNSServiceFlags, std::uint32_t interfaceIndex,
                                        DNSServiceErrorType, const char* fullName, const char* hostTarget,
                                        std::uint16_t portNetworkOrder, std::uint16_t txtLength,
                                        const unsigned char* txtRecord, void* context);
// Record query: the record's data as it was on the wire.
using DNSServiceQueryRecordReply = void (*)(DNSServiceRef, DNSServiceFlags, std::uint32_t interfaceIndex,
                                            DNSServiceErrorType, const char* fullName, std::uint16_t rrtype,
                                            std::uint16_t rrclass, std::uint16_t rdlen, const void* rdata,
                                            std::uint32_t ttl, void* context);

// One engine instance from start to stop. The host (DiscoveryEngine.h) drives it from one event
// thread: open, then runOnce while running, then close after that thread ended. Every reply
// handler runs on the event thread inside runOnce. The operations and deallocate may be called
// from any thread while the engine is open; once deallocate returns, that operation's handler
// is not running and never runs again.
class DnsSdEngine {
public:
    virtual ~DnsSdEngine() = default;

    // Creates everything the engine needs; on failure tears down what it created and returns
    // false. onStop runs on the event thread when the stop request is seen.
    virtual bool open(std::function<void()> onStop) = 0;
    // Waits until the engine has due work, a wake or the stop request, and handles it.
    virtual void runOnce() = 0;
    // Any thread: ends the current or next wait at once.
    virtual void wake() = 0;
    // Any thread: onStop runs on the event thread.
    virtual void requestStop() = 0;
    // After the event thread ended: frees what open created.
    virtual void close() = 0;

    virtual DNSServiceErrorType browse(DNSServiceRef* ref, DNSServiceFlags flags, std::uint32_t interfaceIndex,
                                       const char* type, const char* domain, DNSServiceBrowseReply reply,
                                       void* context) = 0;
    virtual DNSServiceErrorType resolve(DNSServiceRef* ref, DNSServiceFlags flags, std::uint32_t interfaceIndex,
                                        const char* name, const char* type, const char* domain,
                                        DNSServiceResolveReply reply, void* context) = 0;
    virtual DNSServiceErrorType queryRecord(DNSServiceRef* ref, DNSServiceFlags flags, std::uint32_t interfaceIndex,
                                            const char* fullName, std::uint16_t rrtype, std::uint16_t rrclass,
                                            DNSServiceQueryRecordReply reply, void* context) = 0;
    // The escaped "instance.type.domain" name of a service instance.
    virtual DNSServiceErrorType constructFullName(std::string* fullName, const char* name, const char* type,
                                                  const char* domain) = 0;
    virtual void deallocate(DNSServiceRef ref) = 0;
};

// The engine of the program: avahi-core, in this process.
std::unique_ptr<DnsSdEngine> makeAvahiEngine();

} // namespace TWG
