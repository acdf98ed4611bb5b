#pragma once

// Wire goldens: what a converter operation puts on the simulated bus, written as plain numbers.
// Host and simulator share the protocol headers, so only numbers spelt out here catch a wrong
// request code or byte layout in them. Nothing in the golden tests may name a header constant.

#include "platform/sim/SimBackend.h"
#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <iomanip>
#include <ostream>
#include <vector>

namespace convtest {

// One vendor control request (with its data stage: sent for OUT, answered for IN) or one bulk
// transfer (its endpoint in `request`, its data).
struct Wire {
    enum Kind { Control, BulkOut, BulkIn } kind = Control;
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;
    Bytes data;

    bool operator==(const Wire& o) const
    {
        return kind == o.kind && requestType == o.requestType && request == o.request && value == o.value &&
               index == o.index && length == o.length && data == o.data;
    }
};

inline Wire out(std::uint8_t type, std::uint8_t request, std::uint16_t value, std::uint16_t index, Bytes data = {})
{
    const auto length = static_cast<std::uint16_t>(data.size());
    return {Wire::Control, type, request, value, index, length, std::move(data)};
}

// An IN request asking for `length` bytes and the answer it got.
inline Wire in(std::uint8_t type, std::uint8_t request, std::uint16_t value, std::uint16_t index,
               std::uint16_t length, Bytes answer)
{
    return {Wire::Control, type, request, value, index, length, std::move(answer)};
}

inline Wire bulkOut(std::uint8_t endpoint, Bytes data)
{
    return {Wire::BulkOut, 0, endpoint, 0, 0, 0, std::move(data)};
}

inline void PrintTo(const Wire& w, std::ostream* os)
{
    std::ostream& o = *os;
    o << std::hex << std::uppercase << std::setfill('0');
    if (w.kind == Wire::Control)
        o << std::setw(2) << int(w.requestType) << "/" << std::setw(2) << int(w.request) << " v=" << std::setw(4)
          << w.value << " i=" << std::setw(4) << w.index << std::dec << " n=" << w.length;
    else
        o << (w.kind == Wire::BulkOut ? "bulk out " : "bulk in ") << std::setw(2) << int(w.request);
    o << std::dec << " [" << w.data.size() << ":" << std::hex;
    for (std::size_t i = 0; i < w.data.size() && i < 24; ++i)
        o << " " << std::setw(2) << int(w.data[i]);
    o << (w.data.size() > 24 ? " ..." : "") << "]" << std::dec << std::setfill(' ');
}

// The vendor requests and bulk transfers of the transcript, in order. Standard requests
// (descriptors, configuration) belong to the platform, not to the converter protocols.
inline std::vector<Wire> wireOf(const platform::SimBackend& bus)
{
    std::vector<Wire> wire;
    for (const platform::SimRequest& r : bus.transcript()) {
        if (r.kind == platform::SimRequestKind::Control) {
            if ((r.setup.bmRequestType & 0x60) != 0x40)
                continue;
            wire.push_back({Wire::Control, r.setup.bmRequestType, r.setup.bRequest, r.setup.wValue, r.setup.wIndex,
                            r.setup.wLength, r.data});
        } else if (r.kind == platform::SimRequestKind::Out || r.kind == platform::SimRequestKind::In) {
            wire.push_back({r.kind == platform::SimRequestKind::Out ? Wire::BulkOut : Wire::BulkIn, 0, r.endpoint, 0,
                            0, 0, r.data});
        }
    }
    return wire;
}

// n copies of the wire.
inline std::vector<Wire> repeated(int n, const Wire& w)
{
    return std::vector<Wire>(static_cast<std::size_t>(n), w);
}

inline std::vector<Wire> operator+(std::vector<Wire> a, const std::vector<Wire>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Compares the operation's wire with its golden request by request, naming the first that
// differs, then the whole sequence.
inline void expectWire(const std::vector<Wire>& seen, const std::vector<Wire>& golden)
{
    for (std::size_t i = 0; i < seen.size() && i < golden.size(); ++i) {
        if (!(seen[i] == golden[i])) {
            ADD_FAILURE() << "request " << i << " differs:\n  seen   " << ::testing::PrintToString(seen[i])
                          << "\n  golden " << ::testing::PrintToString(golden[i]);
            break;
        }
    }
    EXPECT_EQ(seen.size(), golden.size()) << "request count";
}

} // namespace convtest
