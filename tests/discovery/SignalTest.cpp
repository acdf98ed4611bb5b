#include "discovery/Signal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

using TWG::Signal;

TEST(Signal, NumbersConnectionsFromZeroAndCallsSlotsInOrder)
{
    Signal<void(int, const std::string&)> signal;
    signal(1, "nobody listens"); // no slots: nothing happens
    std::vector<std::string> calls;
    EXPECT_EQ(signal.connect([&](int n, const std::string& s) { calls.push_back("a" + std::to_string(n) + s); }), 0);
    EXPECT_EQ(signal.connect([&](int n, const std::string& s) { calls.push_back("b" + std::to_string(n) + s); }), 1);
    EXPECT_EQ(signal.connect([&](int n, const std::string& s) { calls.push_back("c" + std::to_string(n) + s); }), 2);
    signal(7, "x");
    EXPECT_EQ(calls, (std::vector<std::string>{"a7x", "b7x", "c7x"}));
}

TEST(Signal, DisconnectRemovesOnlyThatSlotAndIdsAreNotReused)
{
    Signal<void()> signal;
    std::string calls;
    signal.connect([&] { calls += 'a'; });
    const int b = signal.connect([&] { calls += 'b'; });
    signal.connect([&] { calls += 'c'; });
    signal.disconnect(b);
    signal.disconnect(b);  // twice: nothing more
    signal.disconnect(42); // unknown: nothing
    signal();
    EXPECT_EQ(calls, "ac");
    EXPECT_EQ(signal.connect([&] { calls += 'd'; }), 3);
    signal();
    EXPECT_EQ(calls, "acacd");
}

// disconnect waits for an emission that is running the slot, so a caller may free what the slot uses.
TEST(Signal, DisconnectReturnsOnlyOnceTheSlotHasStoppedRunning)
{
    Signal<void()> signal;
    std::atomic<bool> inSlot{false};
    std::atomic<bool> slotDone{false};
    const int id = signal.connect([&] {
        inSlot = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        slotDone = true;
    });
    std::thread emitter([&] { signal(); });
    while (!inSlot)
        std::this_thread::yield();
    signal.disconnect(id);
    EXPECT_TRUE(slotDone);
    emitter.join();
    slotDone = false;
    signal();
    EXPECT_FALSE(slotDone);
}

TEST(Signal, EmissionsFromTwoThreadsDoNotOverlap)
{
    Signal<void()> signal;
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    int calls = 0; // unguarded on purpose: the signal's lock serialises it
    signal.connect([&] {
        if (inside.fetch_add(1) != 0)
            ++overlaps;
        ++calls;
        std::this_thread::yield();
        inside.fetch_sub(1);
    });
    auto emitMany = [&] {
        for (int i = 0; i < 2000; ++i)
            signal();
    };
    std::thread a(emitMany);
    std::thread b(emitMany);
    a.join();
    b.join();
    EXPECT_EQ(overlaps, 0);
    EXPECT_EQ(calls, 4000);
}
