#pragma once

// The fault-injection sweep both converter lines go through: a clean run's requests, which must
// come in the same order each time, then one run per request of it with that request faulted.
// What a run checks (its outcome, the device after it) is the caller's; the sweep only names,
// in the trace, the request each failure came from.

#include "platform/sim/SimBackend.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace faultsweep {

struct Fault {
    int index = 0; // of the request in the clean run's order
    platform::SimFaultAction action = platform::SimFaultAction::Stall;
};

// What the faulted request returns to the host.
inline platform::UsbStatus statusOf(platform::SimFaultAction action)
{
    switch (action) {
    case platform::SimFaultAction::Stall:
        return platform::UsbStatus::Stall;
    case platform::SimFaultAction::Timeout:
        return platform::UsbStatus::Timeout;
    default:
        return platform::UsbStatus::Gone;
    }
}

// For a case's name.
inline const char* nameOf(platform::SimFaultAction action)
{
    const char* names[] = {"Stall", "Timeout", "Short", "Unplug"};
    return names[int(action)];
}

inline std::string describe(const platform::SimRequest& r)
{
    char text[128];
    switch (r.kind) {
    case platform::SimRequestKind::Control:
        std::snprintf(text, sizeof text, "%s control %02X/%02X wValue %04X wIndex %04X wLength %u", r.path.c_str(),
                      r.setup.bmRequestType, r.setup.bRequest, r.setup.wValue, r.setup.wIndex, r.setup.wLength);
        break;
    case platform::SimRequestKind::Out:
    case platform::SimRequestKind::In:
        std::snprintf(text, sizeof text, "%s bulk %s %02X, %u bytes", r.path.c_str(),
                      r.kind == platform::SimRequestKind::Out ? "OUT" : "IN", r.endpoint, r.length);
        break;
    default:
        std::snprintf(text, sizeof text, "%s port reset", r.path.c_str());
    }
    return text;
}

// run(std::nullopt) is the clean run, run(fault) the faulted one; each returns the requests it
// made. Stops at the clean runs when they fail or differ.
template <typename Run>
void atEveryRequest(Run run, platform::SimFaultAction action)
{
    std::vector<platform::SimRequest> clean;
    {
        SCOPED_TRACE("clean run");
        clean = run(std::optional<Fault>());
    }
    ASSERT_FALSE(clean.empty());
    ::testing::Test::RecordProperty("requests", int(clean.size()));
    ASSERT_FALSE(::testing::Test::HasFailure());
    {
        SCOPED_TRACE("clean run, again");
        const std::vector<platform::SimRequest> again = run(std::optional<Fault>());
        std::vector<std::string> a, b;
        for (const platform::SimRequest& r : clean)
            a.push_back(describe(r));
        for (const platform::SimRequest& r : again)
            b.push_back(describe(r));
        ASSERT_EQ(a, b) << "a clean run's requests come in a fixed order";
    }
    for (std::size_t i = 0; i < clean.size(); ++i) {
        std::ostringstream where;
        where << "fault at request " << i << " of " << clean.size() << ": " << describe(clean[i]);
        SCOPED_TRACE(where.str());
        run(std::optional<Fault>(Fault{int(i), action}));
    }
}

} // namespace faultsweep
