#include "FakeDnsSdEngine.h"

#include "discovery/BonjourDiscovery.h"
#include "discovery/DiscoveryEngine.h"

#include <gtest/gtest.h>

#include <QTest>

#include <mutex>
#include <string>
#include <vector>

using namespace TWG;
using Kind = FakeDnsSdEngine::Kind;

namespace {

const std::string kType = "_tarnwright._tcp";
const std::string kBoxQuery = "Box 1._tarnwright._tcp.local.";

std::vector<std::uint8_t> txt(const std::vector<std::string>& strings)
{
    std::vector<std::uint8_t> out;
    for (const std::string& s : strings) {
        out.push_back(static_cast<std::uint8_t>(s.size()));
        out.insert(out.end(), s.begin(), s.end());
    }
    return out;
}

// One scripted step, fired the way the engine would.
struct Step {
    enum What { Add, Remove, Txt, TxtNoAdd, TxtError, TxtThenStale, NextQuery } what;
    std::vector<std::string> record{};
};

struct ChainCase {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::string> expected; // "arrived a=1", "updated a=2", "removed a=2" ("removed -" for no TXT)
    int queriesStarted = -1;           // checked when not -1
};

std::string describe(const char* what, const BonjourInfo& info)
{
    std::string out = what;
    if (info.name != "Box 1")
        return out + " " + info.name;
    if (info.txt.empty())
        out += " -";
    for (const auto& pair : info.txt)
        out += " " + pair.first + "=" + pair.second;
    EXPECT_EQ(info.type, "_tarnwright._tcp.");
    EXPECT_EQ(info.domain, "local.");
    EXPECT_EQ(info.interfaceIndex, 1);
    EXPECT_TRUE(info.host.empty());
    EXPECT_EQ(info.port, 0);
    return out;
}

class DiscoveryChainTest : public ::testing::TestWithParam<ChainCase> {
protected:
    void SetUp() override { FakeDnsSdEngine::install(&log); }
    void TearDown() override { FakeDnsSdEngine::uninstall(); }
    FakeDnsSdEngine::Log log;
};

} // namespace

// The requery interval is short so that a new TXT query follows each answer at once.
TEST_P(DiscoveryChainTest, Events)
{
    const ChainCase& c = GetParam();
    std::mutex eventsMutex;
    std::vector<std::string> events;
    {
        BonjourDiscovery discovery(20);
        FakeDnsSdEngine& engine = *log.current.load();
        const auto record = [&](const char* what) {
            return [&, what](const BonjourInfo& info) {
                std::lock_guard<std::mutex> lock(eventsMutex);
                events.push_back(describe(what, info));
            };
        };
        discovery.arrived.connect(record("arrived"));
        discovery.updated.connect(record("updated"));
        discovery.removed.connect(record("removed"));
        discovery.resolved.connect(record("resolved"));
        discovery.browse(kType);
        discovery.browse("_second._tcp");
        ASSERT_EQ(engine.count(Kind::Browse, kType), 1);
        ASSERT_EQ(engine.count(Kind::Browse, "_second._tcp"), 0);
        const int browser = engine.find(Kind::Browse, kType);

        int answered = -1; // the query that last answered
        const auto liveQuery = [&] {
            int index = -1;
            EXPECT_TRUE(QTest::qWaitFor([&] {
                index = engine.find(Kind::Record, kBoxQuery);
                return index >= 0 && index != answered;
            }, 2000)) << "no TXT query running";
            return index;
        };
        for (const Step& step : c.steps) {
            switch (step.what) {
            case Step::Add:
                engine.fireBrowse(browser, DnsSd::kFlagsAdd, "Box 1", "_tarnwright._tcp.");
                break;
            case Step::Remove:
                engine.fireBrowse(browser, 0, "Box 1", "_tarnwright._tcp.");
                break;
            case Step::Txt:
                answered = liveQuery();
                engine.fireRecord(answered, DnsSd::kFlagsAdd, 16, txt(step.record));
                break;
            case Step::TxtNoAdd:
                engine.fireRecord(liveQuery(), 0, 16, txt(step.record));
                break;
            case Step::TxtError:
                answered = liveQuery();
                engine.fireRecord(answered, 0, 16, {}, DnsSd::kErrUnknown);
                break;
            case Step::TxtThenStale: {
                // The engine delivers the new record, then the old one beside it, then the new
                // one's removal, all before the answered query's stop can run: the task thread
                // is held inside another instance's query start.
                answered = liveQuery();
                engine.holdStarts(true);
                engine.fireBrowse(browser, DnsSd::kFlagsAdd, "Box 2", "_tarnwright._tcp.");
                EXPECT_TRUE(QTest::qWaitFor([&] { return engine.blockedStarts() == 1; }, 2000));
                engine.fireRecord(answered, DnsSd::kFlagsAdd, 16, txt({step.record[0]}));
                engine.fireRecord(answered, DnsSd::kFlagsAdd, 16, txt({step.record[1]}));
                engine.fireRecord(answered, 0, 16, txt({step.record[0]}));
                engine.holdStarts(false);
                break;
            }
            case Step::NextQuery:
                liveQuery();
                break;
            }
        }
        if (c.queriesStarted >= 0) {
            QTest::qWait(150);
            EXPECT_EQ(engine.count(Kind::Record, kBoxQuery), c.queriesStarted);
        }
    }
    std::lock_guard<std::mutex> lock(eventsMutex);
    EXPECT_EQ(events, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DiscoveryChainTest,
    ::testing::Values(
        ChainCase{"ArrivesOnlyWithItsFirstTxt",
                  {{Step::Add}, {Step::NextQuery}},
                  {}},
        ChainCase{"ArrivesWithTheMap",
                  {{Step::Add}, {Step::Txt, {"model=A", "ver=1", "flag"}}},
                  {"arrived flag= model=A ver=1"}},
        ChainCase{"SameMapAgainIsSilent",
                  {{Step::Add}, {Step::Txt, {"a=1"}}, {Step::Txt, {"a=1"}}, {Step::Txt, {"a=1"}}},
                  {"arrived a=1"}},
        ChainCase{"ChangedMapIsUpdatedWhole",
                  {{Step::Add}, {Step::Txt, {"a=1", "b=x"}}, {Step::Txt, {"a=2", "b=x"}}, {Step::Txt, {"a=2"}}},
                  {"arrived a=1 b=x", "updated a=2 b=x", "updated a=2"}},
        ChainCase{"GoodbyeCarriesTheLastMap",
                  {{Step::Add}, {Step::Txt, {"a=1"}}, {Step::Txt, {"a=2"}}, {Step::Remove}},
                  {"arrived a=1", "updated a=2", "removed a=2"}},
        ChainCase{"NoTxtMeansRemovalOnly",
                  {{Step::Add}, {Step::NextQuery}, {Step::Remove}},
                  {"removed -"}},
        ChainCase{"RemovalOfAnUnknownInstanceIsSilent",
                  {{Step::Remove}, {Step::Add}, {Step::Remove}, {Step::Remove}},
                  {"removed -"}},
        ChainCase{"DuplicateAddStartsOneQuery",
                  {{Step::Add}, {Step::Add}, {Step::NextQuery}, {Step::Add}},
                  {}, 1},
        ChainCase{"StaleRecordAfterTheAnswerIsNoUpdate",
                  {{Step::Add}, {Step::TxtThenStale, {"a=2", "a=1"}}, {Step::Txt, {"a=2"}}},
                  {"arrived a=2"}},
        ChainCase{"RecordWithoutAddIsNoAnswer",
                  {{Step::Add}, {Step::TxtNoAdd, {"a=0"}}, {Step::Txt, {"a=1"}}},
                  {"arrived a=1"}},
        ChainCase{"TxtErrorEndsTheQueryAndTheRequeryRetries",
                  {{Step::Add}, {Step::TxtError}, {Step::Txt, {"a=1"}}},
                  {"arrived a=1"}},
        ChainCase{"ComesBackAfterRemoval",
                  {{Step::Add}, {Step::Txt, {"a=1"}}, {Step::Remove}, {Step::Add}, {Step::Txt, {"a=1"}}},
                  {"arrived a=1", "removed a=1", "arrived a=1"}}),
    [](const ::testing::TestParamInfo<ChainCase>& info) { return std::string(info.param.name); });
