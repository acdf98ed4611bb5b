#include "platform/Clock.h"
#include "platform/Messages.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

namespace {

class Recorder : public QObject {
public:
    std::vector<platform::MSG> received;
    std::vector<std::thread::id> threads;

protected:
    bool event(QEvent* e) override
    {
        if (platform::MSG* m = platform::messageOf(e)) {
            received.push_back(*m);
            threads.push_back(std::this_thread::get_id());
            return true;
        }
        return QObject::event(e);
    }
};

} // namespace

TEST(Messages, QtTargetReceivesInOrderOnItsThread)
{
    Recorder target;
    platform::WindowId id = platform::registerQtTarget(&target);
    ASSERT_NE(id, platform::kNoWindow);

    std::thread poster([id] {
        for (int i = 0; i < 50; ++i)
            EXPECT_TRUE(platform::postMessage(id, platform::WM_DEVICECHANGE, platform::DBT_DEVICEARRIVAL, i));
    });
    poster.join();
    QCoreApplication::sendPostedEvents(&target);

    ASSERT_EQ(target.received.size(), 50u);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(target.received[i].lParam, i);
        EXPECT_EQ(target.received[i].hwnd, id);
        EXPECT_EQ(target.threads[i], std::this_thread::get_id());
    }
}

TEST(Messages, PayloadLivesUntilHandledAndBecomesLParam)
{
    Recorder target;
    platform::WindowId id = platform::registerQtTarget(&target);
    auto payload = std::make_shared<int>(42);
    std::weak_ptr<int> watch = payload;
    ASSERT_TRUE(platform::postMessage(id, platform::WM_DEVICECHANGE, 0, 0, payload));
    payload.reset();
    EXPECT_FALSE(watch.expired());
    QCoreApplication::sendPostedEvents(&target);
    ASSERT_EQ(target.received.size(), 1u);
    EXPECT_EQ(*reinterpret_cast<const int*>(target.received[0].lParam), 42);
    target.received.clear();
    EXPECT_TRUE(watch.expired());
}

TEST(Messages, StaleTargetsDropMessages)
{
    platform::WindowId id;
    {
        Recorder target;
        id = platform::registerQtTarget(&target);
        EXPECT_TRUE(platform::isWindow(id));
    }
    EXPECT_FALSE(platform::isWindow(id));
    EXPECT_FALSE(platform::postMessage(id, platform::WM_DEVICECHANGE));

    Recorder kept;
    platform::WindowId unregistered = platform::registerQtTarget(&kept);
    platform::unregisterTarget(unregistered);
    EXPECT_FALSE(platform::postMessage(unregistered, platform::WM_DEVICECHANGE));
    EXPECT_FALSE(platform::postMessage(platform::kNoWindow, platform::WM_DEVICECHANGE));
    QCoreApplication::sendPostedEvents(&kept);
    EXPECT_TRUE(kept.received.empty());
}

TEST(Messages, ThreadWindowGetsDispatchesAndQuits)
{
    std::vector<platform::LPARAM> seen;
    platform::WindowId id = platform::createMessageWindow([&](const platform::MSG& m) {
        seen.push_back(m.lParam);
        return platform::LRESULT(7);
    });
    std::vector<platform::LRESULT> results;
    std::thread loop([&] {
        platform::MSG m;
        while (platform::getMessage(id, &m))
            results.push_back(platform::dispatchMessage(m));
    });
    for (int i = 1; i <= 3; ++i)
        platform::postMessage(id, platform::WM_APP, 0, i);
    platform::postMessage(id, platform::WM_QUIT);
    loop.join();
    platform::destroyMessageWindow(id);
    EXPECT_EQ(seen, (std::vector<platform::LPARAM>{1, 2, 3}));
    EXPECT_EQ(results, (std::vector<platform::LRESULT>{7, 7, 7}));
    EXPECT_FALSE(platform::postMessage(id, platform::WM_APP));
}

TEST(Messages, DestroyingAThreadWindowWakesItsLoop)
{
    using namespace std::chrono_literals;
    platform::WindowId id = platform::createMessageWindow({});
    // Shared with the loop: a loop that never wakes is left behind, still holding it.
    auto ended = std::make_shared<std::promise<int>>();
    std::future<int> messages = ended->get_future();
    std::thread loop([id, ended] {
        int count = 0;
        platform::MSG m;
        while (platform::getMessage(id, &m))
            ++count;
        ended->set_value(count);
    });
    std::this_thread::sleep_for(20ms); // most runs destroy the window under a waiting loop
    platform::destroyMessageWindow(id);
    if (messages.wait_for(5s) != std::future_status::ready) {
        loop.detach(); // joining would hang the run until CTest's time-out
        FAIL() << "the loop still waits 5 s after its window was destroyed";
    }
    loop.join();
    EXPECT_EQ(messages.get(), 0);
}

TEST(Clock, VirtualClockFiresDueCallbacksInOrderWhileSleeping)
{
    platform::VirtualClock clock;
    platform::ClockOverride guard(&clock);
    std::vector<int> order;
    auto start = platform::clock().now();
    clock.callAfter(std::chrono::milliseconds(300), [&] { order.push_back(3); });
    clock.callAfter(std::chrono::milliseconds(100), [&] {
        order.push_back(1);
        clock.callAfter(std::chrono::milliseconds(100), [&] { order.push_back(2); });
    });
    platform::clock().sleepFor(std::chrono::milliseconds(250));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(platform::clock().elapsedMs(start), 250);
    EXPECT_TRUE(clock.runNext());
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(platform::clock().elapsedMs(start), 300);
    EXPECT_FALSE(clock.runNext());
}
