#pragma once

#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace TWG {

// One worker thread that runs queued tasks one at a time, in queue order. Tasks queued after
// stop, and tasks not yet started at stop, are dropped. Stop and destruction may come from a
// task itself: the worker then ends after that task, and its state outlives the executor.
class SerialExecutor {
public:
    SerialExecutor();
    virtual ~SerialExecutor();

    SerialExecutor(const SerialExecutor&) = delete;
    SerialExecutor& operator=(const SerialExecutor&) = delete;

    void post(std::function<void()> task);
    void stop();

private:
    struct State {
        std::mutex mutex;
        bool stopping = false;
        std::condition_variable wake;
        std::list<std::function<void()>> tasks;
    };

    static void work(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state_;
    std::mutex joinMutex_; // one joiner at a time
    std::thread worker_;
};

} // namespace TWG
