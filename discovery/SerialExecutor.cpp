#include "discovery/SerialExecutor.h"

namespace TWG {

SerialExecutor::SerialExecutor() : state_(std::make_shared<State>())
{
    worker_ = std::thread([state = state_] { work(state); });
}

SerialExecutor::~SerialExecutor()
{
    stop();
    std::lock_guard<std::mutex> lock(joinMutex_);
    // Destroyed by one of its own tasks: the worker ends on its own once the task returns.
    if (worker_.joinable())
        worker_.detach();
    std::lock_guard<std::mutex> stateLock(state_->mutex);
    state_->tasks.clear();
}

void SerialExecutor::post(std::function<void()> task)
{
    // Woken under the lock: once it is released a task may delete this executor, and with the
    // worker's end its state.
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->stopping)
        return;
    state_->tasks.push_back(std::move(task));
    state_->wake.notify_one();
}

void SerialExecutor::stop()
{
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->stopping = true;
        state_->tasks.clear();
    }
    state_->wake.notify_all();
    std::lock_guard<std::mutex> lock(joinMutex_);
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id())
        worker_.join();
}

void SerialExecutor::work(const std::shared_ptr<State>& state)
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(state->mutex);
            state->wake.wait(lock, [&] { return state->stopping || !state->tasks.empty(); });
            if (state->stopping)
                return;
            task = std::move(state->tasks.front());
            state->tasks.pop_front();
        }
        task();
    }
}

} // namespace TWG
