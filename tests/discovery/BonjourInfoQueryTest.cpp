#include "discovery/BonjourInfoQuery.h"
#include "tests/discovery/UnicastResponder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using TWG::BonjourInfoQuery;
using Clock = std::chrono::steady_clock;

namespace {

struct Completion {
    long atMs;
    bool ok;
    BonjourInfo info;
};

// Records every completion of a query with its time since the query was sent.
class Recorder {
public:
    explicit Recorder(BonjourInfoQuery& query)
    {
        query.finished.connect([this](bool ok, const BonjourInfo& info) {
            std::lock_guard<std::mutex> lock(mutex_);
            completions_.push_back({msSinceStart(), ok, info});
        });
    }
    void started() { start_ = Clock::now(); }
    std::vector<Completion> completions()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return completions_;
    }
    // Waits until there are at least count completions or the time is up.
    bool waitFor(std::size_t count, int ms)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < deadline) {
            if (completions().size() >= count)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return completions().size() >= count;
    }
    long msSinceStart() const
    {
        return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count());
    }

private:
    std::mutex mutex_;
    Clock::time_point start_ = Clock::now();
    std::vector<Completion> completions_;
};

} // namespace

TEST(BonjourInfoQueryLoopback, DeviceReplyGivesOneTrueCompletionWithTheDevice)
{
    UnicastResponder responder({"--address", "127.0.0.2", "--txt", "model=X1", "--txt", "serial=42", "--srv-port",
                                "9000", "--a-record", "10.9.9.9"});
    ASSERT_EQ(responder.error(), QString());
    BonjourInfoQuery query;
    Recorder recorder(query);
    recorder.started();
    query.query("127.0.0.2", 2000, "_tarnwright._tcp.local");
    ASSERT_TRUE(recorder.waitFor(1, 1500));
    // Past the time-out: the reply stopped the timer, so nothing follows.
    std::this_thread::sleep_for(std::chrono::milliseconds(2300));
    const auto completions = recorder.completions();
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_TRUE(completions[0].ok);
    EXPECT_LT(completions[0].atMs, 1000);
    BonjourInfo expected;
    expected.name = "Box 1";
    expected.type = "_tarnwright._tcp.";
    expected.domain = "local.";
    expected.txt = {{"model", "X1"}, {"serial", "42"}};
    expected.host = "127.0.0.2";
    expected.port = 9000;
    EXPECT_EQ(completions[0].info, expected);
    EXPECT_EQ(query.result(), expected);
    EXPECT_EQ(responder.queries(), QStringList{"_tarnwright._tcp.local"});
}

TEST(BonjourInfoQueryLoopback, WrongIdFailsAtOnceNotAtTheTimeOut)
{
    UnicastResponder responder({"--address", "127.0.0.3", "--mode", "wrong-id"});
    ASSERT_EQ(responder.error(), QString());
    BonjourInfoQuery query;
    Recorder recorder(query);
    recorder.started();
    query.query("127.0.0.3", 2000, "_tarnwright._tcp.local");
    ASSERT_TRUE(recorder.waitFor(1, 1500));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto completions = recorder.completions();
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_FALSE(completions[0].ok);
    EXPECT_LT(completions[0].atMs, 300);
    EXPECT_EQ(completions[0].info, BonjourInfo());
    EXPECT_EQ(query.result(), BonjourInfo());
}

// Nobody listens there: the refusal counts as nothing received.
TEST(BonjourInfoQueryLoopback, SilenceFailsAtEveryTimeOut)
{
    BonjourInfoQuery query;
    Recorder recorder(query);
    recorder.started();
    query.query("127.0.0.4", 2000, "_tarnwright._tcp.local");
    ASSERT_TRUE(recorder.waitFor(2, 4600));
    const auto completions = recorder.completions();
    ASSERT_EQ(completions.size(), 2u);
    EXPECT_FALSE(completions[0].ok);
    EXPECT_FALSE(completions[1].ok);
    EXPECT_GE(completions[0].atMs, 1990);
    EXPECT_LT(completions[0].atMs, 2400);
    EXPECT_GE(completions[1].atMs, 3990);
    EXPECT_LT(completions[1].atMs, 4600);
}

TEST(BonjourInfoQueryLoopback, DestructionWhileTheReceiveBlocksIsPrompt)
{
    UnicastResponder responder({"--address", "127.0.0.5", "--mode", "silent"});
    ASSERT_EQ(responder.error(), QString());
    auto query = std::make_unique<BonjourInfoQuery>();
    Recorder recorder(*query);
    query->query("127.0.0.5", 2000, "_tarnwright._tcp.local");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(responder.queries(), QStringList{"_tarnwright._tcp.local"}); // it was asked, and is silent
    const auto before = Clock::now();
    query.reset();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - before).count(), 200);
}

// A refused address sends nothing: only the time-outs report.
TEST(BonjourInfoQueryLoopback, UnsendableAddressOnlyTimesOut)
{
    for (const char* address : {"0.0.0.0", "256.1.1.1", "1.2.3"}) {
        BonjourInfoQuery query;
        Recorder recorder(query);
        recorder.started();
        query.query(address, 100, "_tarnwright._tcp.local");
        ASSERT_TRUE(recorder.waitFor(1, 1000)) << address;
        EXPECT_FALSE(recorder.completions()[0].ok) << address;
        EXPECT_GE(recorder.completions()[0].atMs, 95) << address;
    }
}
