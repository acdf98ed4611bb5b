#include "discovery/BonjourInfoQuery.h"
#include "discovery/DnsMessage.h"
#include "discovery/TxtRecord.h"
#include "tests/support/Bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

using namespace TWG;

namespace {

constexpr std::uint16_t kId = 0x1234;

void put16(Bytes* b, unsigned v)
{
    b->push_back(static_cast<std::uint8_t>(v >> 8));
    b->push_back(static_cast<std::uint8_t>(v));
}

Bytes txtStrings(std::initializer_list<std::string> entries)
{
    Bytes b;
    for (const std::string& e : entries) {
        b.push_back(static_cast<std::uint8_t>(e.size()));
        b.insert(b.end(), e.begin(), e.end());
    }
    return b;
}

struct Record {
    unsigned type;
    Bytes rdata;
    int rdLength = -1; // -1: the rdata's size
};

Record aRecord(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d)
{
    return {1, {a, b, c, d}};
}
Record txtRecord(std::initializer_list<std::string> entries)
{
    return {16, txtStrings(entries)};
}
Record srvRecord(unsigned port)
{
    Bytes rdata;
    put16(&rdata, 0);
    put16(&rdata, 0);
    put16(&rdata, port);
    const Bytes target = txtStrings({"box", "local"});
    rdata.insert(rdata.end(), target.begin(), target.end());
    rdata.push_back(0);
    return {33, rdata};
}

// A reply in the device's shape, built here byte by byte.
struct Reply {
    unsigned id = kId;
    unsigned answers = 1;
    unsigned questions = 1;
    std::string instance = "Box 1";
    int answerRdLength = -1;
    std::vector<Record> records;

    Bytes bytes() const
    {
        Bytes b;
        put16(&b, id);
        put16(&b, 0x8400);
        put16(&b, questions);
        put16(&b, answers);
        put16(&b, 0);
        put16(&b, static_cast<unsigned>(records.size()));
        const Bytes question = txtStrings({"_tarnwright", "_tcp", "local"});
        b.insert(b.end(), question.begin(), question.end());
        b.push_back(0);
        put16(&b, 12);
        put16(&b, 1);
        Bytes rdata = txtStrings({instance});
        rdata.push_back(0xC0);
        rdata.push_back(0x0C);
        put16(&b, 0xC00C);
        put16(&b, 12);
        put16(&b, 1);
        put16(&b, 0);
        put16(&b, 4500);
        put16(&b, answerRdLength < 0 ? static_cast<unsigned>(rdata.size()) : static_cast<unsigned>(answerRdLength));
        b.insert(b.end(), rdata.begin(), rdata.end());
        for (const Record& r : records) {
            put16(&b, 0xC02E);
            put16(&b, r.type);
            put16(&b, 0x8001);
            put16(&b, 0);
            put16(&b, 120);
            put16(&b, r.rdLength < 0 ? static_cast<unsigned>(r.rdata.size()) : static_cast<unsigned>(r.rdLength));
            b.insert(b.end(), r.rdata.begin(), r.rdata.end());
        }
        return b;
    }
};

bool read(const Bytes& b, BonjourInfo* info)
{
    return bonjourInfoFromReply(b.data(), b.size(), kId, "192.168.1.10", info);
}

const std::map<std::string, std::string> kTxt{{"model", "X1"}, {"serial", "42"}};

} // namespace

TEST(DnsQuery, GoldenServiceQuery)
{
    const Bytes expected = {
        0xAB, 0xCD,                                                 // ID
        0x01, 0x00,                                                 // RD only
        0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,             // QD 1, AN, NS, AR 0
        11, '_', 't', 'a', 'r', 'n', 'w', 'r', 'i', 'g', 'h', 't',  // labels 11, 4, 5
        4, '_', 't', 'c', 'p',
        5, 'l', 'o', 'c', 'a', 'l',
        0,
        0x00, 0x0C, // PTR
        0x00, 0x01, // IN
    };
    EXPECT_EQ(buildServiceQuery(0xABCD, "_tarnwright._tcp.local"), expected);
    EXPECT_EQ(expected.size(), 40u);
    EXPECT_TRUE(buildServiceQuery(1, "a..local").empty());
    EXPECT_TRUE(buildServiceQuery(1, "").empty());
    EXPECT_TRUE(buildServiceQuery(1, std::string(64, 'x') + ".local").empty());
    EXPECT_EQ(buildServiceQuery(1, std::string(63, 'x') + ".local").size(), 12u + 64 + 6 + 1 + 4);
}

TEST(DnsReply, GoodRepliesInAnyRecordOrder)
{
    const Record a = aRecord(10, 1, 2, 3);
    const Record txt = txtRecord({"model=X1", "serial=42"});
    const Record srv = srvRecord(9000);
    const std::vector<std::vector<Record>> orders = {
        {a, txt, srv}, {a, srv, txt}, {txt, a, srv}, {txt, srv, a}, {srv, a, txt}, {srv, txt, a},
    };
    for (const auto& order : orders) {
        Reply reply;
        reply.records = order;
        BonjourInfo info;
        ASSERT_TRUE(read(reply.bytes(), &info));
        EXPECT_EQ(info.name, "Box 1");
        EXPECT_EQ(info.type, "_tarnwright._tcp.");
        EXPECT_EQ(info.domain, "local.");
        EXPECT_EQ(info.interfaceIndex, 0);
        EXPECT_EQ(info.host, "192.168.1.10"); // the typed text, not the A record
        EXPECT_EQ(info.txt, kTxt);
        EXPECT_EQ(info.port, 9000);
        EXPECT_FALSE(info.announced);
    }
}

TEST(DnsReply, TableOfCases)
{
    struct Row {
        const char* name;
        Reply reply;
        bool ok;
        std::map<std::string, std::string> txt;
        std::uint16_t port;
    };
    auto with = [](std::vector<Record> records) {
        Reply r;
        r.records = std::move(records);
        return r;
    };
    Reply twoAnswers = with({txtRecord({"model=X1", "serial=42"})});
    twoAnswers.answers = 2;
    Reply wrongId = with({txtRecord({"model=X1"})});
    wrongId.id = kId + 1;
    Reply twoQuestions = with({});
    twoQuestions.questions = 2;
    Reply answerTooShort = with({});
    answerTooShort.answerRdLength = 1;
    Reply answerPastEnd = with({});
    answerPastEnd.answerRdLength = 200;
    Reply emptyInstance = with({});
    emptyInstance.instance = "";
    const Record unknown{99, {1, 2, 3, 4, 5}};
    const Record shortA{1, {10, 1, 2}};
    const Record longA{1, {10, 1, 2, 3, 4}};
    const Record shortSrv{33, {0, 0, 0, 0, 0x23}};
    Record pastEnd = txtRecord({"model=X1"});
    pastEnd.rdLength = 300;
    Record runOnTxt{16, {8, 'm', 'o', 'd', 'e', 'l', '=', 'X', '1', 4, 'a', '=', 'b'}}; // the last string runs past

    const Row rows[] = {
        {"no records", with({}), true, {}, 0},
        {"first TXT wins", with({txtRecord({"model=X1", "serial=42"}), txtRecord({"model=Y"})}), true, kTxt, 0},
        {"first SRV wins", with({srvRecord(9000), srvRecord(81)}), true, {}, 9000},
        {"unknown type skipped", with({unknown, txtRecord({"model=X1", "serial=42"}), srvRecord(9000)}), true, kTxt, 9000},
        {"TXT string past its data ends the run", with({runOnTxt}), true, {{"model", "X1"}}, 0},
        {"empty instance label", emptyInstance, true, {}, 0},
        {"ANCOUNT 2", twoAnswers, false, {}, 0},
        {"QDCOUNT 2", twoQuestions, false, {}, 0},
        {"wrong ID", wrongId, false, {}, 0},
        {"answer RDLENGTH 1", answerTooShort, false, {}, 0},
        {"answer RDLENGTH past the end", answerPastEnd, false, {}, 0},
        {"A of 3 bytes", with({shortA, srvRecord(9000)}), false, {}, 0},
        {"A of 5 bytes", with({longA, srvRecord(9000)}), false, {}, 0},
        {"SRV of 5 bytes", with({shortSrv, txtRecord({"model=X1"})}), false, {}, 0},
        {"record RDLENGTH past the end", with({pastEnd}), false, {}, 0},
    };
    for (const Row& row : rows) {
        BonjourInfo info;
        info.name = "untouched";
        EXPECT_EQ(read(row.reply.bytes(), &info), row.ok) << row.name;
        if (row.ok) {
            EXPECT_EQ(info.txt, row.txt) << row.name;
            EXPECT_EQ(info.port, row.port) << row.name;
        } else {
            EXPECT_EQ(info.name, "untouched") << row.name;
        }
    }
}

// A long A record used to be read as 4 bytes, and its fifth byte as the next record's start.
TEST(DnsReply, AfterASkippedOrLongRecordTheNextStartsAfterItsRdlength)
{
    Reply reply;
    Record big{99, Bytes(40, 0xC0)}; // bytes that look like pointers and record heads
    reply.records = {big, srvRecord(9000), txtRecord({"model=X1", "serial=42"})};
    BonjourInfo info;
    ASSERT_TRUE(read(reply.bytes(), &info));
    EXPECT_EQ(info.port, 9000);
    EXPECT_EQ(info.txt, kTxt);
}

TEST(DnsReply, EveryCutOfAGoodReplyIsBadAndReadsNothingPastIt)
{
    Reply reply;
    reply.records = {aRecord(10, 1, 2, 3), txtRecord({"model=X1", "serial=42"}), srvRecord(9000)};
    const Bytes full = reply.bytes();
    BonjourInfo info;
    ASSERT_TRUE(read(full, &info));
    for (std::size_t length = 0; length < full.size(); ++length) {
        // A buffer of exactly the cut length, so the sanitizer sees any read past it.
        Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
        cut.shrink_to_fit();
        EXPECT_FALSE(bonjourInfoFromReply(cut.empty() ? nullptr : cut.data(), cut.size(), kId, "x", &info))
            << "cut at " << length;
    }
    const Bytes eleven(full.begin(), full.begin() + 11);
    EXPECT_FALSE(read(eleven, &info));
}

TEST(TxtRule, TableOfRecords)
{
    struct Row {
        const char* name;
        Bytes data;
        std::map<std::string, std::string> expected;
    };
    const Row rows[] = {
        {"empty", {}, {}},
        {"pairs", txtStrings({"a=1", "b=2"}), {{"a", "1"}, {"b", "2"}}},
        {"key only", txtStrings({"flag"}), {{"flag", ""}}},
        {"value with =", txtStrings({"url=a=b"}), {{"url", "a=b"}}},
        {"empty value", txtStrings({"a="}), {{"a", ""}}},
        {"later key wins", txtStrings({"a=1", "a=2"}), {{"a", "2"}}},
        {"zero length ends", [] { Bytes b = txtStrings({"a=1"}); b.push_back(0); Bytes c = txtStrings({"b=2"}); b.insert(b.end(), c.begin(), c.end()); return b; }(), {{"a", "1"}}},
        {"string past the end", Bytes{3, 'a', '=', '1', 5, 'b', '='}, {{"a", "1"}}},
    };
    for (const Row& row : rows) {
        std::map<std::string, std::string> txt{{"stale", "x"}};
        Bytes exact = row.data;
        exact.shrink_to_fit();
        applyTxtRecord(&txt, exact.empty() ? nullptr : exact.data(), exact.size());
        EXPECT_EQ(txt, row.expected) << row.name;
    }
}
