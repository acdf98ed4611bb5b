// The window's real discovery objects, taken as the window takes them: through the program's
// factory, over a fake engine.
#include "Fakes.h"
#include "discovery/FakeDnsSdEngine.h"
#include "kit/branding/BrandingSettings.h"
#include "shell/DiscoveryHelper.h"
#include "shell/NetworkDiscoveryFactory.h"
#include "shell/VantorelWindow.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
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
    NetworkDiscoveryFactory factory;
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
    factory.resolve(box(), &context, [&](int error, std::string host, int port) { resolved.emplace(error, host, port); });
    factory.lookup(QStringLiteral("box.local."), 0, &context, [&](int error, QString a) { address.emplace(error, a); });
    EXPECT_FALSE(resolved);
    EXPECT_FALSE(address);
    ASSERT_TRUE(QTest::qWaitFor([&] { return resolved && address; }, 1000));
    EXPECT_EQ(*resolved, std::make_tuple(-65568, std::string(), 0));
    EXPECT_EQ(*address, std::make_pair(-65568, QString()));

    int calls = 0;
    {
        QObject gone;
        factory.resolve(box(), &gone, [&](int, std::string, int) { ++calls; });
        factory.lookup(QStringLiteral("box.local."), 0, &gone, [&](int, QString) { ++calls; });
    }
    QTest::qWait(50);
    EXPECT_EQ(calls, 0);
}

TEST_F(BonjourObjectsTest, ResolveTakesTheInstanceFromTheRecord)
{
    QObject context;
    std::optional<std::tuple<int, std::string, int>> resolved;
    factory.resolve(box(), &context, [&](int error, std::string host, int port) { resolved.emplace(error, host, port); });
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
    std::unique_ptr<DiscoveryHelper> helper(factory.createHelper(QString(), nullptr));
    ASSERT_NE(log.current.load(), nullptr) << "no engine started";
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

// An answer the engine gave while the context lived is not delivered once the context is gone.
TEST_F(BonjourObjectsTest, AnAnswerForAGoneContextIsDropped)
{
    int calls = 0;
    auto context = std::make_unique<QObject>();
    factory.resolve(box(), context.get(), [&](int, std::string, int) { ++calls; });
    FakeDnsSdEngine& engine = *log.current.load();
    const int r = engine.find(Kind::Resolve, "Box 1");
    ASSERT_GE(r, 0);
    std::thread([&] { engine.fireResolve(r, 0, "box.local.", htons(9000)); }).join();
    context.reset();
    // The one-shot has finished and gone once the engine, which served only it, has closed.
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.closes.load() == 1; }, 2000));
    QTest::qWait(50);
    EXPECT_EQ(calls, 0);
}

// The window with the program's factory: a helper browses each type the families ask for, a
// browsed instance reaches its family once its TXT record came, and a family's resolve request
// ends in the host's name, its address from the A record and the port.
TEST_F(BonjourObjectsTest, TheWindowBrowsesResolvesAndLooksUpThroughTheFactory)
{
    QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    BrandingSettings::instance().usesBonjour = true;
    QStringList calls;
    {
        VantorelWindow window(std::make_unique<NetworkDiscoveryFactory>());
        auto* family = new FakeFamily(&window, "F", &calls);
        family->usesBonjour_ = true;
        family->types_ = {QStringLiteral("_x._tcp")};
        family->answer_ = true;
        window.addFamily(family);
        QCoreApplication::processEvents();
        window.postShowStartup();

        ASSERT_NE(log.current.load(), nullptr) << "no engine started";
        FakeDnsSdEngine& engine = *log.current.load();
        EXPECT_GE(engine.find(Kind::Browse, "_tarnwright._tcp"), 0);
        const int browser = engine.find(Kind::Browse, "_x._tcp");
        ASSERT_GE(browser, 0);
        std::thread([&] { engine.fireBrowse(browser, TWG::DnsSd::kFlagsAdd, "Box 1", "_x._tcp.", 2); }).join();
        int q = -1;
        ASSERT_TRUE(QTest::qWaitFor([&] { return (q = engine.find(Kind::Record, "Box 1._x._tcp.local.")) >= 0; }, 2000));
        EXPECT_TRUE(calls.filter("added").isEmpty()) << "arrived before its TXT record";
        std::thread([&] { engine.fireRecord(q, TWG::DnsSd::kFlagsAdd, 16, {3, 'a', '=', '1'}); }).join();
        ASSERT_TRUE(QTest::qWaitFor([&] { return calls.contains("F added"); }, 2000)) << calls.join("; ").toStdString();

        BonjourInfo info = box();
        info.type = "_x._tcp.";
        family->emitResolveWithPort(info, 9100);
        int r = -1;
        ASSERT_TRUE(QTest::qWaitFor([&] { return (r = engine.find(Kind::Resolve, "Box 1")) >= 0; }, 2000));
        std::thread([&] { engine.fireResolve(r, 0, "box.local.", htons(9000)); }).join();
        int a = -1;
        ASSERT_TRUE(QTest::qWaitFor([&] { return (a = engine.find(Kind::Record, "box.local.")) >= 0; }, 2000));
        EXPECT_EQ(engine.operations()[a].rrtype, 1);
        std::thread([&] { engine.fireRecord(a, TWG::DnsSd::kFlagsAdd, 1, {10, 0, 0, 7}); }).join();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !calls.filter("resolved").isEmpty(); }, 2000));
        EXPECT_EQ(calls.filter("resolved"), QStringList{"F resolved Box 1 1 box.local. 10.0.0.7 9100"});
    }
    BrandingSettings::instance().usesBonjour = false;
}
