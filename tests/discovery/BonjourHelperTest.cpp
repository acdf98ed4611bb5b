#include "FakeDnsSdEngine.h"

#include "discovery/BonjourHelper.h"
#include "discovery/BonjourHelperLookup.h"
#include "discovery/BonjourHelperResolver.h"
#include "discovery/BonjourOneShots.h"
#include "discovery/DiscoveryEngine.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QThread>

#include <arpa/inet.h>

#include <memory>
#include <optional>
#include <thread>

using namespace TWG;
using Kind = FakeDnsSdEngine::Kind;

namespace {

const BonjourDevice kBox{"Box 1", "_tarnwright._tcp.", "local.", 2};

struct Resolved {
    DNSServiceErrorType error;
    std::string host;
    quint16 port;
    qint64 afterMs;
    bool onGuiThread;
};

struct LookedUp {
    DNSServiceErrorType error;
    std::string address;
    qint64 afterMs;
};

class OneShotTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeDnsSdEngine::install(&log);
        clock.start();
    }
    void TearDown() override
    {
        // The one-shot objects go with deleteLater; their engine use with them.
        ASSERT_TRUE(QTest::qWaitFor([] { return !discoveryEngineRunning(); }, 2000));
        FakeDnsSdEngine::uninstall();
    }

    void resolve(const BonjourDevice& device)
    {
        BonjourHelperResolver::resolve(device, [this](DNSServiceErrorType error, std::string host, quint16 port) {
            EXPECT_FALSE(resolved) << "called twice";
            resolved = Resolved{error, host, port, clock.elapsed(), QThread::currentThread() == qApp->thread()};
        });
    }
    void lookup(const std::string& host, quint16 port)
    {
        BonjourHelperLookup::lookup(host, [this](DNSServiceErrorType error, std::string address) {
            EXPECT_FALSE(lookedUp) << "called twice";
            lookedUp = LookedUp{error, address, clock.elapsed()};
        }, port);
    }

    // Replies come on the engine's thread, never the GUI's.
    template <typename F>
    static void onOtherThread(F f)
    {
        std::thread t(f);
        t.join();
    }

    FakeDnsSdEngine& engine() { return *log.current.load(); }

    FakeDnsSdEngine::Log log;
    QElapsedTimer clock;
    std::optional<Resolved> resolved;
    std::optional<LookedUp> lookedUp;
};

} // namespace

// Port in host order once: a double conversion would give 10275 for 9000.
TEST_F(OneShotTest, ResolverGivesHostAndPortOnTheGuiThread)
{
    resolve(kBox);
    const int r = engine().find(Kind::Resolve, "Box 1");
    ASSERT_GE(r, 0);
    EXPECT_EQ(engine().operations()[r].interfaceIndex, 2u);
    onOtherThread([&] {
        engine().fireResolve(r, DnsSd::kNoError, "box.local.", htons(9000));
        engine().fireResolve(r, DnsSd::kNoError, "other.local.", htons(1));
    });
    EXPECT_FALSE(resolved);
    ASSERT_TRUE(QTest::qWaitFor([&] { return resolved.has_value(); }, 2000));
    EXPECT_EQ(resolved->error, 0);
    EXPECT_EQ(resolved->host, "box.local.");
    EXPECT_EQ(resolved->port, 9000);
    EXPECT_TRUE(resolved->onGuiThread);
    QTest::qWait(50);
}

// The error crosses threads by a queued call by name: an unregistered argument type would drop
// it with a warning and turn it into the time-out.
TEST_F(OneShotTest, ResolverErrorCrossesThreadsUnchanged)
{
    resolve(kBox);
    onOtherThread([&] { engine().fireResolve(engine().find(Kind::Resolve, "Box 1"), DnsSd::kErrUnknown, "", 0); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return resolved.has_value(); }, 2000));
    EXPECT_EQ(resolved->error, DnsSd::kErrUnknown);
    EXPECT_EQ(resolved->host, "");
    EXPECT_EQ(resolved->port, 0);
    EXPECT_LT(resolved->afterMs, 1000);
}

TEST_F(OneShotTest, ResolverTimesOutAtFiveSeconds)
{
    resolve(kBox);
    ASSERT_TRUE(QTest::qWaitFor([&] { return resolved.has_value(); }, 7000));
    EXPECT_EQ(resolved->error, DnsSd::kErrTimeout);
    EXPECT_GE(resolved->afterMs, 4900);
    EXPECT_LT(resolved->afterMs, 6000);
}

// A refused start answers before the call returns, with the time-out code.
TEST_F(OneShotTest, RefusedStartsCallBackAtOnce)
{
    log.refuseOpen = true;
    resolve(kBox);
    ASSERT_TRUE(resolved);
    EXPECT_EQ(resolved->error, DnsSd::kErrTimeout);
    EXPECT_EQ(resolved->host, "");
    lookup("box.local.", 0);
    ASSERT_TRUE(lookedUp);
    EXPECT_EQ(lookedUp->error, DnsSd::kErrTimeout);
    EXPECT_EQ(lookedUp->address, "");
    QTest::qWait(20);
    EXPECT_EQ(log.opens, 0);
}

TEST_F(OneShotTest, LookupWithoutPortGivesTheAddress)
{
    lookup("box.local.", 0);
    const int a = engine().find(Kind::Record, "box.local.");
    ASSERT_GE(a, 0);
    EXPECT_EQ(engine().operations()[a].rrtype, 1);
    onOtherThread([&] { engine().fireRecord(a, DnsSd::kFlagsAdd, 1, {10, 0, 0, 7}); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return lookedUp.has_value(); }, 2000));
    EXPECT_EQ(lookedUp->error, 0);
    EXPECT_EQ(lookedUp->address, "10.0.0.7");
}

// The engine's error reply carries no Add; it fails the look-up at once, not at its limit.
TEST_F(OneShotTest, LookupErrorCrossesThreadsAtOnce)
{
    lookup("box.local.", 0);
    onOtherThread([&] { engine().fireRecord(engine().find(Kind::Record, "box.local."), 0, 1, {}, DnsSd::kErrUnknown); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return lookedUp.has_value(); }, 2000));
    EXPECT_EQ(lookedUp->error, DnsSd::kErrUnknown);
    EXPECT_EQ(lookedUp->address, "");
    EXPECT_LT(lookedUp->afterMs, 500);
}

TEST_F(OneShotTest, LookupConfirmedByAConnectionToThePort)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    lookup("box.local.", server.serverPort());
    onOtherThread([&] { engine().fireRecord(engine().find(Kind::Record, "box.local."), DnsSd::kFlagsAdd, 1, {127, 0, 0, 1}); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return lookedUp.has_value(); }, 2000));
    EXPECT_EQ(lookedUp->error, 0);
    EXPECT_EQ(lookedUp->address, "127.0.0.1");
    EXPECT_TRUE(server.hasPendingConnections() || server.waitForNewConnection(1000));
}

// Each leg has its own limit: no address in 1000 ms, or no connection 1000 ms after it.
TEST_F(OneShotTest, LookupTimesOutPerLeg)
{
    lookup("box.local.", 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return lookedUp.has_value(); }, 3000));
    EXPECT_EQ(lookedUp->error, DnsSd::kErrTimeout);
    EXPECT_GE(lookedUp->afterMs, 950);
    EXPECT_LT(lookedUp->afterMs, 1600);

    lookedUp.reset();
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    const qint64 start = clock.elapsed();
    lookup("box2.local.", port);
    QTest::qWait(600);
    onOtherThread([&] { engine().fireRecord(engine().find(Kind::Record, "box2.local."), DnsSd::kFlagsAdd, 1, {127, 0, 0, 1}); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return lookedUp.has_value(); }, 3000));
    EXPECT_EQ(lookedUp->error, DnsSd::kErrTimeout);
    EXPECT_GE(lookedUp->afterMs - start, 1550) << "the connection leg did not get its own limit";
    EXPECT_LT(lookedUp->afterMs - start, 2300);
}

// At the application's end every one-shot goes at once and gives its engine use back, so the
// engine stops before the program's statics: pending ones, one whose answer is queued but not
// delivered, and one that finished and waits for a deferred delete that no event loop will run.
// None calls back any more, and none is left (each callback holds a share of `alive`).
TEST_F(OneShotTest, EndingTheOneShotsStopsTheEngineWithoutACallback)
{
    auto share = std::make_shared<int>(0);
    const std::weak_ptr<int> alive = share;
    std::vector<std::string> calls;
    const auto resolveBox = [&](const std::string& name) {
        BonjourHelperResolver::resolve(BonjourDevice{name, "_tarnwright._tcp.", "local.", 2},
                                       [&calls, name, share](DNSServiceErrorType, std::string, quint16) {
                                           calls.push_back("resolved " + name);
                                       });
    };
    resolveBox("Finished");
    onOtherThread([&] { engine().fireResolve(engine().find(Kind::Resolve, "Finished"), DnsSd::kNoError, "f.local.", 1); });
    // Delivers the answer but leaves the deferred delete it posts.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    ASSERT_EQ(calls, std::vector<std::string>{"resolved Finished"});

    resolveBox("Pending");
    BonjourHelperLookup::lookup("box.local.", [&calls, share](DNSServiceErrorType, std::string) { calls.push_back("looked up"); }, 0);
    resolveBox("Queued");
    onOtherThread([&] { engine().fireResolve(engine().find(Kind::Resolve, "Queued"), DnsSd::kNoError, "q.local.", 1); });
    share.reset();
    ASSERT_TRUE(discoveryEngineRunning());

    endBonjourOneShots();
    EXPECT_FALSE(discoveryEngineRunning()) << "a one-shot kept its use of the engine";
    EXPECT_EQ(log.closes.load(), 1);
    EXPECT_TRUE(alive.expired()) << "a one-shot was left behind";
    QTest::qWait(50);
    EXPECT_EQ(calls, std::vector<std::string>{"resolved Finished"});
}

TEST_F(OneShotTest, HelperBrowsesTheDefaultTypeAndRelaysOnItsSignals)
{
    auto helper = std::make_unique<BonjourHelper>(QString());
    BonjourHelper other(QStringLiteral("_x._tcp"));
    EXPECT_EQ(engine().count(Kind::Browse, "_tarnwright._tcp"), 1);
    EXPECT_EQ(engine().count(Kind::Browse, "_x._tcp"), 1);
    QSignalSpy arrived(helper.get(), &BonjourHelper::deviceArrived);
    QSignalSpy removed(helper.get(), &BonjourHelper::deviceRemoved);
    const int browser = engine().find(Kind::Browse, "_tarnwright._tcp");
    onOtherThread([&] { engine().fireBrowse(browser, DnsSd::kFlagsAdd, "Box 1", "_tarnwright._tcp."); });
    int q = -1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (q = engine().find(Kind::Record, "Box 1._tarnwright._tcp.local.")) >= 0; }, 2000));
    onOtherThread([&] {
        engine().fireRecord(q, DnsSd::kFlagsAdd, 16, {3, 'a', '=', '1'});
        engine().fireBrowse(browser, 0, "Box 1", "_tarnwright._tcp.");
    });
    ASSERT_EQ(arrived.size(), 1);
    ASSERT_EQ(removed.size(), 1);
    const auto info = arrived.at(0).at(0).value<BonjourInfo>();
    EXPECT_EQ(info.name, "Box 1");
    EXPECT_EQ(info.txt, (std::map<std::string, std::string>{{"a", "1"}}));
    EXPECT_TRUE(info.announced);
    helper.reset();
}
