#include "Fx2SimFixture.h"

#include "protocol/At90Protocol.h"

using namespace fx2test;
using TWG::Converters::AtmelAT90HardwareAccess;
using TWG::Converters::ConverterInstance;
namespace at90 = TWG::Converters::at90;

namespace {

class At90 : public Fx2SimFixture {
protected:
    AtmelAT90HardwareAccess* attach(platform::SimAt90::Options a = {})
    {
        platform::SimFx2Running::Options o;
        o.at90 = a;
        ConverterInstance* d = attachRunning(kProductWithAt90, o, &model);
        return d ? d->at90Programmer() : nullptr;
    }
    std::shared_ptr<platform::SimFx2Running> model;
};

} // namespace

TEST_F(At90, OnlyTheBoardsThatCarryOneHaveAProgrammer)
{
    for (std::uint16_t id : {0xBD2E, 0xBD2F, 0xBD32, 0xBD33, 0xBD34, 0xBD53, 0xBDCF, 0xBD15, 0xBD30, 0xBD69}) {
        ConverterInstance* d = attachRunning(id, {});
        ASSERT_TRUE(d);
        const bool expected = id == 0xBD2E || id == 0xBD2F || id == 0xBD32 || id == 0xBD33 || id == 0xBD34 ||
                              id == 0xBD53 || id == 0xBDCF;
        EXPECT_EQ(d->at90Programmer() != nullptr, expected) << std::hex << id;
    }
}

TEST_F(At90, SignatureDecidesWhetherProgrammingStarts)
{
    struct Case {
        std::array<std::uint8_t, 3> signature;
        bool accepted;
    };
    const Case cases[] = {
        {{{0x1E, 0x97, 0x81}}, true},
        {{{0xFF, 0xFF, 0xFF}}, true},
        {{{0x1E, 0x97, 0x82}}, false},
        {{{0x00, 0x97, 0x81}}, false},
        {{{0x1E, 0x97, 0xFF}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.signature[0]) << " " << int(c.signature[2]));
        platform::SimAt90::Options a;
        a.signature = c.signature;
        AtmelAT90HardwareAccess* p = attach(a);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->enterProgramming(), c.accepted);
        bus.detach(path);
    }
}

TEST_F(At90, EnableIsPolledWhileBusyAndGivesUpAfterFiftyRounds)
{
    platform::SimAt90::Options busy;
    busy.busyPolls = 7;
    AtmelAT90HardwareAccess* p = attach(busy);
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->enterProgramming());
    EXPECT_EQ(requests(at90::kRequestPollEnable).size(), 8u);
    bus.detach(path);

    bus.clearTranscript();
    platform::SimAt90::Options never;
    never.busyForever = true;
    p = attach(never);
    ASSERT_TRUE(p);
    const auto start = clock.now();
    EXPECT_FALSE(p->enterProgramming());
    EXPECT_EQ(requests(at90::kRequestEnable).size(), std::size_t(at90::kEnableRounds));
    EXPECT_LE(clock.elapsedMs(start), at90::kEnableRounds * at90::kEnablePauseMs + 1000);
}

TEST_F(At90, FusesAreWrittenAndReadBack)
{
    AtmelAT90HardwareAccess* p = attach();
    ASSERT_TRUE(p);
    ASSERT_TRUE(p->enterProgramming());
    EXPECT_TRUE(p->writeFuses());
    EXPECT_EQ(model->at90Fuses(), (std::array<std::uint8_t, 3>{{0xCF, 0x9F, 0xF1}}));

    // A read-back that does not arrive fails that fuse, and so the whole write.
    platform::SimFault shortRead;
    shortRead.action = platform::SimFaultAction::Short;
    shortRead.bRequest = at90::kRequestReadFuse;
    shortRead.nth = 2;
    bus.addFault(shortRead);
    EXPECT_FALSE(p->writeFuses());
    EXPECT_EQ(requests(at90::kRequestWriteFuse).size(), 6u) << "every fuse is still written";
}

TEST_F(At90, PageWriteVerifiesOneByteChosenFromTheData)
{
    struct Case {
        const char* name;
        Bytes data;
        std::uint32_t count;
        int verifiedOffset; // -1: nothing read back
    };
    Bytes allErased(256, 0xFF);
    Bytes lateByte(256, 0xFF);
    lateByte[0] = 0x11;
    lateByte[200] = 0x22;
    Bytes early = pattern(256, 4);
    Bytes shortTail(300, 0xFF);
    shortTail[7] = 0x01;
    const Case cases[] = {
        {"all 0xFF verifies byte 0", allErased, 256, 0},
        {"first programmed byte from offset 5", lateByte, 256, 200},
        {"offset 5 itself", early, 256, 5},
        {"more than a page takes the first 256", shortTail, 300, 7},
        {"five bytes verify byte 0", {1, 2, 3, 4, 5}, 5, 0},
        {"three bytes are not verified", {1, 2, 3}, 3, -1},
    };
    AtmelAT90HardwareAccess* p = attach();
    ASSERT_TRUE(p);
    ASSERT_TRUE(p->enterProgramming());
    std::uint32_t page = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bus.clearTranscript();
        std::uint32_t written = 0;
        ASSERT_TRUE(p->writePage(page, c.data.data(), c.count, &written));
        EXPECT_EQ(written, std::min<std::uint32_t>(c.count, 256));
        const auto reads = requests(at90::kRequestReadFlash);
        if (c.verifiedOffset < 0) {
            EXPECT_TRUE(reads.empty());
        } else {
            ASSERT_EQ(reads.size(), 1u);
            const std::uint32_t address = std::uint32_t(reads[0].setup.wValue) << 16 | reads[0].setup.wIndex;
            EXPECT_EQ(address, page * 256 + std::uint32_t(c.verifiedOffset));
        }
        const Bytes flash = model->at90Flash();
        EXPECT_TRUE(std::equal(c.data.begin(), c.data.begin() + written, flash.begin() + page * 256));
        ++page;
    }
    std::uint32_t written = 0;
    EXPECT_FALSE(p->writePage(512, early.data(), 256, &written));
    EXPECT_FALSE(p->writePage(0, early.data(), 0, &written));
    EXPECT_TRUE(p->writePage(511, early.data(), 256, &written)) << "the last page";
    EXPECT_TRUE(model->violations().empty());
}

TEST_F(At90, VerifyReadsAgainWhileTheByteStillReadsErased)
{
    struct Case {
        int erasedReads;
        bool ok;
        std::size_t reads;
    };
    for (const Case& c : {Case{2, true, 3}, Case{4, true, 5}, Case{5, false, 5}}) {
        platform::SimAt90::Options a;
        a.erasedReadsAfterProgram = c.erasedReads;
        AtmelAT90HardwareAccess* p = attach(a);
        ASSERT_TRUE(p);
        ASSERT_TRUE(p->enterProgramming());
        bus.clearTranscript();
        const Bytes data = pattern(256, 9);
        std::uint32_t written = 0;
        EXPECT_EQ(p->writePage(3, data.data(), 256, &written), c.ok);
        EXPECT_EQ(requests(at90::kRequestReadFlash).size(), c.reads);
        bus.detach(path);
    }
}

TEST_F(At90, AVerifyAnswerThatNeverArrivesFailsThePage)
{
    AtmelAT90HardwareAccess* p = attach();
    ASSERT_TRUE(p);
    ASSERT_TRUE(p->enterProgramming());
    Bytes data(256, 0xFF);
    data[9] = 0x00; // the verified byte; an empty answer must not pass for it
    for (int i = 0; i < 1 + at90::kVerifyRereads; ++i) {
        platform::SimFault f;
        f.action = platform::SimFaultAction::Short;
        f.bRequest = at90::kRequestReadFlash;
        bus.addFault(f);
    }
    std::uint32_t written = 0;
    EXPECT_FALSE(p->writePage(4, data.data(), 256, &written));
}
