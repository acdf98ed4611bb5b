#pragma once

#include <functional>
#include <mutex>

namespace TWG {
namespace Core {

// Runs its callback once; callers that come while it runs wait until it has finished.
class Once {
public:
    explicit Once(std::function<void()> callback) : callback_(std::move(callback)) {}
    virtual ~Once() = default;

    Once(const Once&) = delete;
    Once& operator=(const Once&) = delete;

    // Always 0.
    int execute();

private:
    std::mutex mutex_;
    bool done_ = false;
    std::function<void()> callback_;
};

} // namespace Core
} // namespace TWG
