#include "platform/Messages.h"

#include "platform/ThreadHandOff.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <unordered_map>

namespace platform {

const char kMessageEventType[] = "twg_platform_MSG";

namespace {

class MessageEvent : public QEvent {
public:
    explicit MessageEvent(MSG m) : QEvent(static_cast<QEvent::Type>(messageEventType())), msg(std::move(m)) {}
    // An event dropped undelivered (its target went) is deleted without passing messageOf.
    ~MessageEvent() override { takeOver(this); }
    MSG msg;
};

struct ThreadWindow {
    WindowProc proc;
    std::deque<MSG> queue;
    std::condition_variable ready;
    bool destroyed = false;
    bool inHand = false; // a message taken and not yet dispatched to its end
};

struct Target {
    QPointer<QObject> qtObject;              // set for a Qt target
    std::shared_ptr<ThreadWindow> thread;    // set for a thread message window
};

class Registry {
public:
    static Registry& instance()
    {
        static Registry registry;
        return registry;
    }

    WindowId add(Target target)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        WindowId id = ++lastId_;
        targets_.emplace(id, std::move(target));
        return id;
    }

    void remove(WindowId id)
    {
        std::shared_ptr<ThreadWindow> thread;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = targets_.find(id);
            if (it == targets_.end())
                return;
            thread = it->second.thread;
            targets_.erase(it);
        }
        if (thread) {
            std::lock_guard<std::mutex> lock(mutex_);
            thread->destroyed = true;
            thread->ready.notify_all();
        }
    }

    bool contains(WindowId id)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return targets_.count(id) != 0;
    }

    bool post(MSG msg)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        auto it = targets_.find(msg.hwnd);
        if (it == targets_.end())
            return false;
        if (it->second.thread) {
            it->second.thread->queue.push_back(std::move(msg));
            it->second.thread->ready.notify_one();
            return true;
        }
        QPointer<QObject> object = it->second.qtObject;
        if (!object)
            return false;
        // postEvent under the lock keeps the FIFO order of concurrent posters.
        auto* event = new MessageEvent(std::move(msg));
        handOver(event);
        QCoreApplication::postEvent(object.data(), event);
        return true;
    }

    std::shared_ptr<ThreadWindow> thread(WindowId id)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = targets_.find(id);
        return it == targets_.end() ? nullptr : it->second.thread;
    }

    bool take(WindowId id, MSG* out, bool wait)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        auto it = targets_.find(id);
        if (it == targets_.end() || !it->second.thread)
            return false;
        std::shared_ptr<ThreadWindow> window = it->second.thread;
        if (wait)
            window->ready.wait(lock, [&] { return window->destroyed || !window->queue.empty(); });
        if (window->queue.empty())
            return false;
        *out = std::move(window->queue.front());
        window->queue.pop_front();
        window->inHand = out->message != WM_QUIT;
        return true;
    }

    void dispatched(const std::shared_ptr<ThreadWindow>& window)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        window->inHand = false;
        ++handled_;
    }

    int inFlight()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        int n = 0;
        for (const auto& t : targets_)
            if (t.second.thread)
                n += static_cast<int>(t.second.thread->queue.size()) + (t.second.thread->inHand ? 1 : 0);
        return n;
    }

    std::uint64_t handled()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return handled_;
    }

private:
    std::mutex mutex_;
    WindowId lastId_ = 0;
    std::uint64_t handled_ = 0;
    std::unordered_map<WindowId, Target> targets_;
};

} // namespace

int messageEventType()
{
    static const int type = QEvent::registerEventType();
    return type;
}

MSG* messageOf(QEvent* event)
{
    takeOver(event);
    if (!event || event->type() != messageEventType())
        return nullptr;
    return &static_cast<MessageEvent*>(event)->msg;
}

bool postMessage(WindowId target, UINT message, WPARAM wParam, LPARAM lParam, std::shared_ptr<const void> payload)
{
    MSG msg;
    msg.hwnd = target;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = (lParam == 0 && payload) ? reinterpret_cast<LPARAM>(payload.get()) : lParam;
    msg.payload = std::move(payload);
    return Registry::instance().post(std::move(msg));
}

bool isWindow(WindowId id)
{
    return id != kNoWindow && Registry::instance().contains(id);
}

WindowId registerQtTarget(QObject* target)
{
    if (!target)
        return kNoWindow;
    Target t;
    t.qtObject = target;
    WindowId id = Registry::instance().add(std::move(t));
    QObject::connect(target, &QObject::destroyed, [id] { Registry::instance().remove(id); });
    return id;
}

void unregisterTarget(WindowId id)
{
    Registry::instance().remove(id);
}

WindowId createMessageWindow(WindowProc proc)
{
    Target t;
    t.thread = std::make_shared<ThreadWindow>();
    t.thread->proc = std::move(proc);
    return Registry::instance().add(std::move(t));
}

void destroyMessageWindow(WindowId id)
{
    Registry::instance().remove(id);
}

bool getMessage(WindowId id, MSG* out)
{
    if (!out || !Registry::instance().take(id, out, true))
        return false;
    return out->message != WM_QUIT;
}

bool peekMessage(WindowId id, MSG* out)
{
    return out && Registry::instance().take(id, out, false);
}

LRESULT dispatchMessage(const MSG& message)
{
    std::shared_ptr<ThreadWindow> window = Registry::instance().thread(message.hwnd);
    if (!window)
        return 0;
    const LRESULT result = window->proc ? window->proc(message) : 0;
    Registry::instance().dispatched(window);
    return result;
}

int threadMessagesInFlight()
{
    return Registry::instance().inFlight();
}

std::uint64_t threadMessagesHandled()
{
    return Registry::instance().handled();
}

} // namespace platform
