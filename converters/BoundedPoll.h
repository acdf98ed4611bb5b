#pragma once

#include "platform/Clock.h"

namespace TWG {
namespace Converters {

// A poll bounded both by its number of tries and by the time those tries may take on the
// process clock, so a device whose requests each wait out their time-out cannot stretch it.
class BoundedPoll {
public:
    BoundedPoll(int tries, int intervalMs, int slackMs = 1000)
        : tries_(tries),
          intervalMs_(intervalMs),
          start_(platform::clock().now()),
          budgetMs_(static_cast<std::int64_t>(tries) * intervalMs + slackMs)
    {
    }

    // True while another try may start; counts it.
    bool next()
    {
        if (done_ >= tries_ || platform::clock().elapsedMs(start_) > budgetMs_)
            return false;
        ++done_;
        return true;
    }
    // The pause between tries (none after the last).
    void pause()
    {
        if (done_ < tries_)
            platform::clock().sleepFor(platform::Clock::Duration(intervalMs_));
    }

private:
    int tries_;
    int intervalMs_;
    platform::Clock::TimePoint start_;
    std::int64_t budgetMs_;
    int done_ = 0;
};

} // namespace Converters
} // namespace TWG
