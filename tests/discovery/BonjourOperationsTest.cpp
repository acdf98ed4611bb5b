#include "FakeDnsSdEngine.h"

#include "discovery/BonjourOperations.h"
#include "discovery/DiscoveryEngine.h"

#include <gtest/gtest.h>

#include <QTest>

#include <arpa/inet.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <memory>
#include <thread>

using namespace TWG;
using Kind = FakeDnsSdEngine::Kind;

namespace {

class FakeEngineTest : public ::testing::Test {
protected:
    void SetUp() override { FakeDnsSdEngine::install(&log); }
    void TearDown() override
    {
        EXPECT_FALSE(discoveryEngineRunning()) << "a use of the engine was left behind";
        FakeDnsSdEngine::uninstall();
    }
    FakeDnsSdEngine& engine() { return *log.current.load(); }

    FakeDnsSdEngine::Log log;
};

const BonjourDevice kBox{"Box 1", "_tarnwright._tcp.", "local.", 2};

} // namespace

// Uses count objects, not starts: the first starts the engine, the last stops it, and a later
// first starts a new one.
TEST_F(FakeEngineTest, EngineStartsWithTheFirstUseStopsWithTheLastAndStartsAgain)
{
    acquireDiscoveryEngine();
    EXPECT_TRUE(discoveryEngineRunning());
    acquireDiscoveryEngine();
    releaseDiscoveryEngine();
    EXPECT_TRUE(discoveryEngineRunning());
    EXPECT_EQ(log.opens, 1);
    releaseDiscoveryEngine();
    EXPECT_FALSE(discoveryEngineRunning());
    EXPECT_EQ(log.closes, 1);

    releaseDiscoveryEngine(); // at 0: nothing
    EXPECT_EQ(log.closes, 1);

    {
        BonjourBrowser browser;
        EXPECT_TRUE(discoveryEngineRunning());
        EXPECT_EQ(log.opens, 2);
        BonjourQuery query;
        EXPECT_EQ(log.opens, 2);
    }
    EXPECT_FALSE(discoveryEngineRunning());
    EXPECT_EQ(log.closes, 2);
}

// A start that fails is not retried while a use is held: every operation refuses, and the last
// release has no thread to wait for.
TEST_F(FakeEngineTest, FailedStartRefusesEveryOperationUntilTheLastUseIsGone)
{
    log.refuseOpen = true;
    {
        BonjourBrowser browser;
        BonjourResolver resolver;
        BonjourHostnameLookup lookup;
        BonjourQuery query;
        EXPECT_FALSE(discoveryEngineRunning());
        EXPECT_FALSE(browser.browse("_tarnwright._tcp"));
        EXPECT_FALSE(resolver.resolve(kBox));
        EXPECT_FALSE(lookup.lookup("", "box.local."));
        EXPECT_FALSE(query.queryTxt(kBox));
        log.refuseOpen = false;
        BonjourBrowser later;
        EXPECT_FALSE(later.browse("_tarnwright._tcp"));
    }
    EXPECT_EQ(log.opens, 0);
    EXPECT_EQ(log.closes, 0);

    BonjourBrowser afterwards;
    EXPECT_TRUE(afterwards.browse("_tarnwright._tcp"));
}

// Each object starts once; the engine's refusal is a false start that does not wake the
// engine; a good start wakes it so the query goes out now.
TEST_F(FakeEngineTest, StartRuleAtMostOnceAndWakeOnlyOnSuccess)
{
    BonjourBrowser browser;
    ASSERT_TRUE(browser.browse("_tarnwright._tcp"));
    EXPECT_EQ(engine().wakes(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine().iterations() >= 1; }, 2000));
    EXPECT_FALSE(browser.browse("_tarnwright._tcp"));
    EXPECT_EQ(engine().count(Kind::Browse, "_tarnwright._tcp"), 1);

    log.startError = DnsSd::kErrUnknown;
    BonjourQuery refused;
    EXPECT_FALSE(refused.queryTxt(kBox));
    log.startError = DnsSd::kNoError;
    EXPECT_FALSE(refused.queryTxt(kBox)) << "a refused start still counts as the one start";
    EXPECT_EQ(engine().wakes(), 1);

    BonjourQuery query;
    ASSERT_TRUE(query.queryTxt(kBox));
    const auto ops = engine().operations();
    EXPECT_EQ(ops.back().name, "Box 1._tarnwright._tcp.local.");
    EXPECT_EQ(ops.back().rrtype, 16);
    EXPECT_EQ(ops.back().interfaceIndex, 2u);
    EXPECT_EQ(engine().wakes(), 2);
}

TEST_F(FakeEngineTest, RepliesReachTheirObjectAndAreTranslated)
{
    BonjourBrowser browser;
    BonjourResolver resolver;
    BonjourHostnameLookup lookup;
    ASSERT_TRUE(browser.browse("_tarnwright._tcp"));
    ASSERT_TRUE(resolver.resolve(kBox));
    ASSERT_TRUE(lookup.lookup("key", "box.local."));

    std::vector<std::string> seen;
    browser.added.connect([&](const BonjourDevice& d) { seen.push_back("added " + d.name + " " + d.type); });
    browser.removed.connect([&](const BonjourDevice& d) { seen.push_back("removed " + d.name); });
    resolver.resolved.connect([&](const BonjourDevice& d, std::string host, std::uint16_t port) {
        seen.push_back("resolved " + d.name + " " + host + " " + std::to_string(port));
    });
    resolver.failed.connect([&](const BonjourDevice&, DNSServiceErrorType e) { seen.push_back("resolve failed " + std::to_string(e)); });
    lookup.lookedUp.connect([&](const std::string& key, const std::string& a) { seen.push_back("address " + key + " " + a); });
    lookup.failed.connect([&](const std::string& host, DNSServiceErrorType e) {
        seen.push_back("lookup failed " + host + " " + std::to_string(e));
    });

    engine().fireBrowse(engine().find(Kind::Browse, "_tarnwright._tcp"), DnsSd::kFlagsAdd, "Box 1", "_tarnwright._tcp.");
    engine().fireBrowse(engine().find(Kind::Browse, "_tarnwright._tcp"), 0, "Box 1", "_tarnwright._tcp.");
    const int r = engine().find(Kind::Resolve, "Box 1");
    engine().fireResolve(r, DnsSd::kNoError, "box.local.", htons(9000));
    engine().fireResolve(r, DnsSd::kErrTimeout, "", 0);
    const int a = engine().find(Kind::Record, "box.local.");
    engine().fireRecord(a, 0, 1, {10, 0, 0, 7});                      // not an Add
    engine().fireRecord(a, DnsSd::kFlagsAdd, 1, {10, 0, 0});          // not four bytes
    engine().fireRecord(a, DnsSd::kFlagsAdd, 28, {1, 2, 3, 4});       // not an A record
    engine().fireRecord(a, DnsSd::kFlagsAdd, 1, {192, 168, 1, 10});
    // avahi-core reports an error without Add; it ends the look-up.
    engine().fireRecord(a, 0, 1, {}, DnsSd::kErrUnknown);
    engine().fireRecord(a, DnsSd::kFlagsAdd, 1, {192, 168, 1, 11});
    engine().fireRecord(a, 0, 1, {}, DnsSd::kErrTimeout);

    EXPECT_EQ(seen, (std::vector<std::string>{"added Box 1 _tarnwright._tcp.", "removed Box 1",
                                              "resolved Box 1 box.local. 9000", "resolve failed -65568",
                                              "address key 192.168.1.10", "lookup failed box.local. -65537"}));
}

// The answer of a TXT query is its first added record: removals and the older record that the
// engine delivers beside a new one for a while after a change are no answers.
TEST_F(FakeEngineTest, TxtQueryGivesOnlyItsFirstAddedRecord)
{
    BonjourQuery query;
    ASSERT_TRUE(query.queryTxt(kBox));
    std::vector<std::vector<std::uint8_t>> answers;
    std::vector<DNSServiceErrorType> errors;
    query.txtReceived.connect([&](const BonjourDevice& d, std::uint16_t length, const void* data) {
        EXPECT_EQ(d, kBox);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        answers.emplace_back(bytes, bytes + length);
    });
    query.failed.connect([&](const BonjourDevice&, DNSServiceErrorType e) { errors.push_back(e); });

    const int q = engine().find(Kind::Record, "Box 1._tarnwright._tcp.local.");
    engine().fireRecord(q, 0, 16, {3, 'a', '=', '0'});
    engine().fireRecord(q, DnsSd::kFlagsAdd, 16, {3, 'a', '=', '2'});
    engine().fireRecord(q, DnsSd::kFlagsAdd, 16, {3, 'a', '=', '1'});
    engine().fireRecord(q, 0, 16, {}, DnsSd::kErrUnknown);
    EXPECT_EQ(answers, (std::vector<std::vector<std::uint8_t>>{{3, 'a', '=', '2'}}));
    EXPECT_TRUE(errors.empty());

    BonjourQuery failing;
    ASSERT_TRUE(failing.queryTxt(kBox));
    failing.failed.connect([&](const BonjourDevice&, DNSServiceErrorType e) { errors.push_back(e); });
    engine().fireRecord(engine().find(Kind::Record, "Box 1._tarnwright._tcp.local."), 0, 16, {}, DnsSd::kErrUnknown);
    EXPECT_EQ(errors, std::vector<DNSServiceErrorType>{DnsSd::kErrUnknown});
}

// A reply whose context names a destroyed object, or an object of another kind, reaches
// nothing (and ASan sees no touch of freed memory).
TEST_F(FakeEngineTest, ReplyForADestroyedObjectOrAnotherKindIsDropped)
{
    BonjourBrowser keep;
    ASSERT_TRUE(keep.browse("_other._tcp"));
    int calls = 0;
    keep.added.connect([&](const BonjourDevice&) { ++calls; });

    auto browser = std::make_unique<BonjourBrowser>();
    ASSERT_TRUE(browser->browse("_tarnwright._tcp"));
    browser->added.connect([&](const BonjourDevice&) { ++calls; });
    const int index = engine().find(Kind::Browse, "_tarnwright._tcp");
    browser.reset();
    EXPECT_FALSE(engine().operations().at(index).live);
    engine().fireBrowse(index, DnsSd::kFlagsAdd, "Box 1", "_tarnwright._tcp.");
    EXPECT_EQ(calls, 0);

    BonjourQuery query;
    ASSERT_TRUE(query.queryTxt(kBox));
    query.txtReceived.connect([&](const BonjourDevice&, std::uint16_t, const void*) { ++calls; });
    // A browse reply carrying the query's context.
    FakeDnsSdEngine::Operation asBrowse = engine().operations().at(engine().find(Kind::Browse, "_other._tcp"));
    asBrowse.context = engine().operations().at(engine().find(Kind::Record, "Box 1._tarnwright._tcp.local.")).context;
    reinterpret_cast<DNSServiceBrowseReply>(asBrowse.reply)(nullptr, DnsSd::kFlagsAdd, 1, 0, "x", "_x._tcp.", "local.",
                                                            asBrowse.context);
    EXPECT_EQ(calls, 0);
}

// Ids are drawn one past the last, wrap past the largest, and skip ids still in use.
TEST_F(FakeEngineTest, CallbackIdsWrapAndSkipLiveOnes)
{
    detail::setLastCallbackId(std::numeric_limits<std::uint32_t>::max());
    BonjourQuery zero; // id 0
    ASSERT_TRUE(zero.queryTxt(BonjourDevice{"zero", "_t._tcp.", "local.", 1}));
    detail::setLastCallbackId(std::numeric_limits<std::uint32_t>::max() - 1);
    BonjourQuery last; // the largest id
    ASSERT_TRUE(last.queryTxt(BonjourDevice{"last", "_t._tcp.", "local.", 1}));
    BonjourQuery wrapped; // 0 is taken: 1
    ASSERT_TRUE(wrapped.queryTxt(BonjourDevice{"wrapped", "_t._tcp.", "local.", 1}));

    const auto contextOf = [&](const std::string& name) {
        return reinterpret_cast<std::uintptr_t>(engine().operations().at(engine().find(Kind::Record, name + "._t._tcp.local.")).context);
    };
    EXPECT_EQ(contextOf("zero"), 0u);
    EXPECT_EQ(contextOf("last"), std::numeric_limits<std::uint32_t>::max());
    EXPECT_EQ(contextOf("wrapped"), 1u);

    std::vector<std::string> got;
    for (BonjourQuery* q : {&zero, &last, &wrapped})
        q->txtReceived.connect([&](const BonjourDevice& d, std::uint16_t, const void*) { got.push_back(d.name); });
    for (const char* name : {"wrapped", "zero", "last"})
        engine().fireRecord(engine().find(Kind::Record, std::string(name) + "._t._tcp.local."), DnsSd::kFlagsAdd, 16, {});
    EXPECT_EQ(got, (std::vector<std::string>{"wrapped", "zero", "last"}));
}

// Ending an object waits for a reply of its kind being delivered to it.
TEST_F(FakeEngineTest, DestroyingWaitsForAReplyInFlight)
{
    auto browser = std::make_unique<BonjourBrowser>();
    ASSERT_TRUE(browser->browse("_tarnwright._tcp"));
    std::atomic<bool> inSlot{false};
    std::atomic<bool> slotDone{false};
    browser->added.connect([&](const BonjourDevice&) {
        inSlot = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        slotDone = true;
    });
    const int index = engine().find(Kind::Browse, "_tarnwright._tcp");
    std::thread eventThread([&] { engine().fireBrowse(index, DnsSd::kFlagsAdd, "Box 1", "_tarnwright._tcp."); });
    while (!inSlot)
        std::this_thread::yield();
    browser.reset();
    EXPECT_TRUE(slotDone);
    eventThread.join();
}
