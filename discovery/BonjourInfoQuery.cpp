#include "discovery/BonjourInfoQuery.h"

#include "discovery/DatagramChannel.h"
#include "discovery/DnsMessage.h"
#include "discovery/IntervalTimer.h"
#include "discovery/TxtRecord.h"

#include <cstdlib>
#include <mutex>

namespace TWG {

// The message, its ID and the channel; reports each parsed reply.
class InfoQueryEngine {
public:
    explicit InfoQueryEngine(std::uint16_t port) : port_(port)
    {
        channel_.received.connect([this] { onDatagramReceived(); });
    }

    Signal<void(bool, const BonjourInfo&)> replied;

    int send(const std::string& address, const std::string& serviceName)
    {
        // The ID only tells this query's reply from others; nothing seeds the generator.
        id_ = static_cast<std::uint16_t>(std::rand() & 0xFFFF);
        message_ = buildServiceQuery(id_, serviceName);
        address_ = address;
        if (message_.empty())
            return -1;
        return channel_.send(message_.data(), message_.size(), address, port_);
    }

private:
    void onDatagramReceived()
    {
        const std::vector<std::uint8_t> datagram = channel_.takeDatagram();
        BonjourInfo info;
        const bool ok = bonjourInfoFromReply(datagram.data(), datagram.size(), id_, address_, &info);
        replied(ok, ok ? info : BonjourInfo());
    }

    std::uint16_t port_;
    std::uint16_t id_ = 0;
    std::string address_;
    std::vector<std::uint8_t> message_;
    DatagramChannel channel_; // last: its thread ends before the fields it reads go
};

class BonjourInfoQueryPrivate {
public:
    BonjourInfoQueryPrivate(BonjourInfoQuery* q, std::uint16_t port) : q(q), engine(port) {}

    BonjourInfoQuery* q;
    mutable std::mutex resultMutex; // the receive thread writes result while the caller may read it
    BonjourInfo result;
    IntervalTimer timeout;
    InfoQueryEngine engine;
};

BonjourInfoQuery::BonjourInfoQuery(std::uint16_t port) : d(std::make_unique<BonjourInfoQueryPrivate>(this, port))
{
    // The private part, not d: d is already null while the receive thread is being joined.
    BonjourInfoQueryPrivate* p = d.get();
    p->timeout.tick.connect([this] { finished(false, BonjourInfo()); });
    p->engine.replied.connect([this, p](bool ok, const BonjourInfo& info) {
        // The destructor may stop it at the same time: the timer's stop allows that.
        p->timeout.stop();
        if (ok) {
            std::lock_guard<std::mutex> lock(p->resultMutex);
            p->result = info;
        }
        finished(ok, info);
    });
}

BonjourInfoQuery::~BonjourInfoQuery()
{
    d->timeout.stop();
    d.reset(); // the channel shuts its socket down and joins its receive thread
}

void BonjourInfoQuery::query(const std::string& address, int timeoutMs, const std::string& serviceName)
{
    d->timeout.start(timeoutMs);
    d->engine.send(address, serviceName);
}

BonjourInfo BonjourInfoQuery::result() const
{
    std::lock_guard<std::mutex> lock(d->resultMutex);
    return d->result;
}

bool bonjourInfoFromReply(const std::uint8_t* data, std::size_t length, std::uint16_t expectedId,
                          const std::string& address, BonjourInfo* out)
{
    ReplyRecords reply;
    if (!parseServiceReply(data, length, expectedId, &reply))
        return false;
    BonjourInfo info;
    info.name = reply.instanceName;
    const std::size_t lastDot = reply.questionName.rfind('.');
    if (lastDot != std::string::npos) {
        info.type = reply.questionName.substr(0, lastDot) + '.';
        info.domain = reply.questionName.substr(lastDot + 1) + '.';
    }
    info.interfaceIndex = 0;
    info.host = address;
    bool haveTxt = false;
    bool havePort = false;
    for (const auto& record : reply.additional) {
        if (!haveTxt && record->txtData()) {
            applyTxtRecord(&info.txt, record->txtData(), record->txtLength());
            haveTxt = true;
        }
        if (!havePort && record->type == Dns::kTypeSrv) {
            info.port = static_cast<const DNSSRVRecord&>(*record).port;
            havePort = true;
        }
    }
    info.announced = false;
    *out = info;
    return true;
}

} // namespace TWG
