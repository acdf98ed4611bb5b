#pragma once

#include "discovery/DnsWire.h"
#include "discovery/Signal.h"
#include "kit/framework/BonjourInfo.h"

#include <cstdint>
#include <memory>
#include <string>

namespace TWG {

class BonjourInfoQueryPrivate;

// Asks one address directly for the PTR record of a service name and turns its reply into a
// BonjourInfo: host is the address as given, the TXT pairs and the SRV port come from the reply.
class BonjourInfoQuery {
public:
    // The port is the peer's; tests move it.
    explicit BonjourInfoQuery(std::uint16_t port = Dns::kUnicastPort);
    virtual ~BonjourInfoQuery();

    BonjourInfoQuery(const BonjourInfoQuery&) = delete;
    BonjourInfoQuery& operator=(const BonjourInfoQuery&) = delete;

    // Each completion with its own result: true and the device after a good reply (on the
    // receive thread), false and an empty record after a bad one, and false at every time-out
    // (on the timer thread) until a reply came. Slots must not destroy the query.
    Signal<void(bool, const BonjourInfo&)> finished;

    // Sends nothing while an earlier query of this object is unanswered; the time-out runs anyway.
    void query(const std::string& address, int timeoutMs, const std::string& serviceName);
    BonjourInfo result() const;

private:
    std::unique_ptr<BonjourInfoQueryPrivate> d;
};

// What a reply says, with the queried address as the host; false when the reply is bad.
bool bonjourInfoFromReply(const std::uint8_t* data, std::size_t length, std::uint16_t expectedId,
                          const std::string& address, BonjourInfo* out);

} // namespace TWG
