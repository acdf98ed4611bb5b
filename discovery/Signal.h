#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace TWG {
namespace detail {

// Calls each slot at once on the emitting thread.
struct ImmediateExecutor {
    template <typename Function, typename... Args>
    static void run(const Function& slot, Args&&... args)
    {
        Function copy = slot;
        copy(std::forward<Args>(args)...);
    }
};

template <typename Executor, typename Function>
class SafeSignalRoot {
public:
    virtual ~SafeSignalRoot()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        index_.clear();
        slots_.clear();
    }

protected:
    using SlotList = std::list<std::pair<int, Function>>;

    SafeSignalRoot() { index_.max_load_factor(1.0f); }

    SlotList slots_;
    std::unordered_map<int, typename SlotList::iterator> index_{8};
    std::atomic<std::int32_t> nextId_{0};
    // Guards slots_ and index_, and is held through every emission.
    std::mutex mutex_;
};

template <typename Executor, typename... Args>
class SafeSignalBase : public SafeSignalRoot<Executor, std::function<void(Args...)>> {
    using Root = SafeSignalRoot<Executor, std::function<void(Args...)>>;

public:
    int connect(std::function<void(Args...)> slot)
    {
        std::lock_guard<std::mutex> lock(this->mutex_);
        const int id = this->nextId_.fetch_add(1);
        this->slots_.emplace_back(id, std::move(slot));
        this->index_.emplace(id, std::prev(this->slots_.end()));
        return id;
    }

    // Once this returns the slot is not running and never runs again: an emission in progress
    // holds the mutex. Unknown ids are ignored. A slot must not disconnect from its own signal.
    void disconnect(int id)
    {
        std::lock_guard<std::mutex> lock(this->mutex_);
        const auto found = this->index_.find(id);
        if (found == this->index_.end())
            return;
        this->slots_.erase(found->second);
        this->index_.erase(found);
    }

    // Slots run in connection order on this thread; a slot must not connect to or emit this signal.
    void operator()(Args... args)
    {
        std::lock_guard<std::mutex> lock(this->mutex_);
        for (const auto& entry : this->slots_)
            Executor::run(entry.second, args...);
    }
};

} // namespace detail

template <typename Signature>
class Signal;

// A thread-safe callback list for the discovery layer, which does not use Qt's signals.
template <typename... Args>
class Signal<void(Args...)> : public detail::SafeSignalBase<detail::ImmediateExecutor, Args...> {};

} // namespace TWG
