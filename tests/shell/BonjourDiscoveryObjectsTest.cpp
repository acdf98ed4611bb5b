#include "discovery/FakeDnsSdEngine.h"

#include "shell/BonjourDiscoveryObjects.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <arpa/inet.h>

#include <memory>
#include <optional>
#include <thread>

using Kind = FakeDnsSdEngine::Kind;

namespace {

class BonjourObjectsTest : public ::testing::Test {
protected:
    void SetUp() override { FakeDnsSdEngine::install(&log); }
    void TearDown() override
    {
        ASSERT_TRUE(QTest::qWaitFor([] { return !TWG::discoveryEngineRunning(); }, 2000));
        FakeDnsSdEngine::uninstall();
    }
    FakeDnsSdEngine::Log log;
};

BonjourInfo box()
{
    BonjourInfo info;
    info.name = "Box 1";
    info.type = "_tarnwright._tcp.";
    info.domain = "local.";
    info.interfaceIndex = 2;
    return info;
}

} // namespace

// The engine refuses and the one-shot answers at once; the window still hears of it only on a
// later turn of the event loop, and never once its context is gone.
TEST_F(BonjourObjectsTest, RefusedStartsCompleteOneTurnLaterAndNotAfterTheContext)
{
    log.refuseOpen = true;
    QObject context;
    std::optional<std::tuple<int, std::string, int>> resolved;
    std::optional<std::pair<int, QString>> address;
    resolveBonjourInstance(box(), &context, [&](int error, std::string host, int port) { resolved.emplace(error, host, port); });
    lookUpBonjourHost(QStringLiteral("box.local."), 0, &context, [&](int error, QString a) { address.emplace(error, a); });
    EXPECT_FALSE(resolved);
    EXPECT_FALSE(address);
    ASSERT_TRUE(QTest::qWaitFor([&] { return resolved && address; }, 1000));
    EXPECT_EQ(*resolved, std::make_tuple(-65568, std::string(), 0));
    EXPECT_EQ(*address, std::make_pair(-65568, QString()));

    int calls = 0;
    {
        QObject gone;
        resolveBonjourInstance(box(), &gone, [&](int, std::string, int) { ++calls; });
        lookUpBonjourHost(QStringLiteral("box.local."), 0, &gone, [&](int, QString) { ++calls; });
    }
    QTest::qWait(50);
    EXPECT_EQ(calls, 0);
}

TEST_F(BonjourObjectsTest, ResolveTakesTheInstanceFromTheRecord)
{
    QObject context;
    std::optional<std::tuple<int, std::string, int>> resolved;
    resolveBonjourInstance(box(), &context, [&](int error, std::string host, int port) { resolved.emplace(error, host, port); });
    FakeDnsSdEngine& engine = *log.current.load();
    const int r = engine.find(Kind::Resolve, "Box 1");
    ASSERT_GE(r, 0);
    EXPECT_EQ(engine.operations()[r].interfaceIndex, 2u);
    std::thread([&] { engine.fireResolve(r, 0, "box.local.", htons(9000)); }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return resolved.has_value(); }, 2000));
    EXPECT_EQ(*resolved, std::make_tuple(0, std::string("box.local."), 9000));
}

// Arrivals from the engine's thread reach the window's helper on the GUI thread.
TEST_F(BonjourObjectsTest, HelperRelaysOnTheGuiThread)
{
    auto helper = std::make_unique<BonjourDiscoveryHelper>(QString(), nullptr);
    FakeDnsSdEngine& engine = *log.current.load();
    QThread* seenOn = nullptr;
    std::vector<std::string> seen;
    QObject::connect(helper.get(), &DiscoveryHelper::deviceArrived, [&](BonjourInfo info) {
        seenOn = QThread::currentThread();
        seen.push_back("arrived " + info.txt["a"]);
    });
    QObject::connect(helper.get(), &DiscoveryHelper::deviceUpdated, [&](BonjourInfo info) { seen.push_back("updated " + info.txt["a"]); });
    QObject::connect(helper.get(), &DiscoveryHelper::deviceRemoved, [&](BonjourInfo) { seen.push_back("removed"); });
    const int browser = engine.find(Kind::Browse, "_tarnwright._tcp");
    ASSERT_GE(browser, 0);
    std::thread([&] { engine.fireBrowse(browser, TWG::DnsSd::kFlagsAdd, "Box 1", "_tarnwright._tcp."); }).join();
    int q = -1;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (q = engine.find(Kind::Record, "Box 1._tarnwright._tcp.local.")) >= 0; }, 2000));
    std::thread([&] {
        engine.fireRecord(q, TWG::DnsSd::kFlagsAdd, 16, {3, 'a', '=', '1'});
        engine.fireBrowse(browser, 0, "Box 1", "_tarnwright._tcp.");
    }).join();
    EXPECT_TRUE(seen.empty()) << "delivered on the engine's thread";
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.size() == 2; }, 2000));
    EXPECT_EQ(seen, (std::vector<std::string>{"arrived 1", "removed"}));
    EXPECT_EQ(seenOn, qApp->thread());
    helper.reset();
}
