#pragma once

#include <algorithm>
#include <chrono>
#include <functional>

namespace bench {

// The shortest of the runs in seconds, or -1 as soon as one of them fails.
inline double bestSeconds(int runs, const std::function<bool()>& once)
{
    using Clock = std::chrono::steady_clock;
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        if (!once())
            return -1;
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best;
}

} // namespace bench
