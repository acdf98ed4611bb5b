#include "discovery/DiscoveryEngine.h"

#include <atomic>
#include <cassert>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>

namespace TWG {
namespace {

struct EngineHost {
    std::mutex startStopMutex; // guards everything but running and current
    std::int32_t useCount = 0;
    std::atomic<bool> running{false};
    std::atomic<DnsSdEngine*> current{nullptr};
    std::unique_ptr<DnsSdEngine> engine; // open while set
    std::thread eventThread;
    DnsSdEngineFactory factory;
};

EngineHost& host()
{
    static EngineHost instance;
    return instance;
}

void runDiscoveryEngine(DnsSdEngine* engine)
{
    EngineHost& h = host();
    while (h.running.load())
        engine->runOnce();
}

void start(EngineHost& h)
{
    std::unique_ptr<DnsSdEngine> engine = h.factory ? h.factory() : makeAvahiEngine();
    if (!engine || !engine->open([&h] { h.running.store(false); }))
        return;
    // Set before the thread starts: its loop tests it first.
    h.running.store(true);
    try {
        h.eventThread = std::thread(runDiscoveryEngine, engine.get());
    } catch (const std::system_error&) {
        h.running.store(false);
        engine->close();
        return;
    }
    h.engine = std::move(engine);
    h.current.store(h.engine.get());
}

void stop(EngineHost& h)
{
    if (!h.engine)
        return;
    assert(h.eventThread.get_id() != std::this_thread::get_id());
    h.current.store(nullptr);
    h.engine->requestStop();
    h.eventThread.join();
    h.engine->close();
    h.engine.reset();
}

} // namespace

void acquireDiscoveryEngine()
{
    EngineHost& h = host();
    std::lock_guard<std::mutex> lock(h.startStopMutex);
    if (h.useCount == 0)
        start(h);
    ++h.useCount;
}

void releaseDiscoveryEngine()
{
    EngineHost& h = host();
    std::lock_guard<std::mutex> lock(h.startStopMutex);
    if (h.useCount == 0)
        return;
    if (--h.useCount == 0)
        stop(h);
}

bool discoveryEngineRunning()
{
    return host().running.load();
}

void wakeDiscoveryEngine()
{
    if (DnsSdEngine* engine = host().current.load())
        engine->wake();
}

DnsSdEngine* discoveryEngine()
{
    return host().running.load() ? host().current.load() : nullptr;
}

void setDnsSdEngineFactory(DnsSdEngineFactory factory)
{
    EngineHost& h = host();
    std::lock_guard<std::mutex> lock(h.startStopMutex);
    h.factory = std::move(factory);
}

} // namespace TWG
