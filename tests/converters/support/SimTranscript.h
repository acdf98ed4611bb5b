#pragma once

#include "platform/sim/SimBackend.h"

#include <vector>

namespace convtest {

// The control requests with this bRequest (and bmRequestType, unless -1) in the bus's transcript.
inline std::vector<platform::SimRequest> controls(const platform::SimBackend& bus, int request, int requestType = -1)
{
    std::vector<platform::SimRequest> out;
    for (const platform::SimRequest& r : bus.transcript())
        if (r.kind == platform::SimRequestKind::Control && r.setup.bRequest == request &&
            (requestType < 0 || r.setup.bmRequestType == requestType))
            out.push_back(r);
    return out;
}

inline std::vector<platform::SimRequest> bulkOuts(const platform::SimBackend& bus)
{
    std::vector<platform::SimRequest> out;
    for (const platform::SimRequest& r : bus.transcript())
        if (r.kind == platform::SimRequestKind::Out)
            out.push_back(r);
    return out;
}

} // namespace convtest
