#pragma once

// A gate a simulated device's request waits at, on its own thread, until the test lets it go;
// opened at the latest when the test ends, so a failed check never leaves a worker held.

#include <atomic>
#include <future>

struct Gate {
    std::promise<void> promise;
    std::shared_future<void> future = promise.get_future().share();
    std::atomic<bool> open{false};
    void release()
    {
        if (!open.exchange(true))
            promise.set_value();
    }
    ~Gate() { release(); }
};
