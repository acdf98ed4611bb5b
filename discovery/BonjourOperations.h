#pragma once

#include "discovery/BonjourDevice.h"
#include "discovery/DnsSdEngine.h"
#include "discovery/Signal.h"

#include <cstdint>
#include <string>

namespace TWG {

class BonjourObjectPrivate;

// One engine operation. Each object holds a use of the engine for its whole life, starts at
// most once (from any thread) and ends when destroyed. Its signals are emitted on the engine's
// event thread with its kind's callback lock held: a slot must not start, end or wait for an
// operation of the same kind, nor destroy the object.
class BonjourObject {
public:
    virtual ~BonjourObject();

    BonjourObject(const BonjourObject&) = delete;
    BonjourObject& operator=(const BonjourObject&) = delete;

protected:
    explicit BonjourObject(BonjourObjectPrivate* d);
    // Once this returns no reply reaches the object; waits for one being delivered. Each
    // subclass calls it first in its destructor, before its signals go.
    void stop();

    BonjourObjectPrivate* d;
};

class BonjourBrowser : public BonjourObject {
public:
    BonjourBrowser();
    ~BonjourBrowser() override;

    Signal<void(const BonjourDevice&)> added;
    Signal<void(const BonjourDevice&)> removed;

    // All interfaces, the engine's default domain.
    bool browse(const std::string& type);
};

class BonjourResolver : public BonjourObject {
public:
    BonjourResolver();
    ~BonjourResolver() override;

    Signal<void(const BonjourDevice&, DNSServiceErrorType)> failed;
    Signal<void(const BonjourDevice&, std::string host, std::uint16_t port)> resolved;

    bool resolve(const BonjourDevice& device);
};

class BonjourHostnameLookup : public BonjourObject {
public:
    BonjourHostnameLookup();
    ~BonjourHostnameLookup() override;

    Signal<void(const std::string& hostName, DNSServiceErrorType)> failed;
    Signal<void(const std::string& key, const std::string& address)> lookedUp;

    // The A record of the host; the key comes back with the address.
    bool lookup(const std::string& key, const std::string& hostName);
};

// A TXT query gives one answer: the first record the engine adds. Removals, and the older
// records that the engine may still hold beside a new one, are not answers.
class BonjourQuery : public BonjourObject {
public:
    BonjourQuery();
    ~BonjourQuery() override;

    Signal<void(const BonjourDevice&, DNSServiceErrorType)> failed;
    Signal<void(const BonjourDevice&, std::uint16_t length, const void* data)> txtReceived;

    bool queryTxt(const BonjourDevice& device);
};

namespace detail {
// The next callback id is one past this, skipping live ones. For tests of the wrap.
void setLastCallbackId(std::uint32_t id);
} // namespace detail

} // namespace TWG
