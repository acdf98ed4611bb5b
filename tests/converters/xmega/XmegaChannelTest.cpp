#include "XmegaSimFixture.h"

#include "converters/xmega/Progress.h"
#include "protocol/XmegaProtocol.h"

#include <algorithm>

using namespace TWG::Converters;
using namespace xmegatest;

namespace {

constexpr int kOut = xmega::kVendorInterfaceOut;
constexpr int kIn = xmega::kVendorInterfaceIn;

class XmegaChannel : public XmegaSimFixture {};

} // namespace

TEST_F(XmegaChannel, MemoryWalkSelectsEachSegmentOnceAndSplitsAtTheBoundary)
{
    attach();
    for (std::uint32_t a = 0x1FFFC; a < 0x20004; ++a)
        state->memory[a] = static_cast<std::uint8_t>(a);
    auto device = open();
    ASSERT_TRUE(device);
    bus.clearTranscript();

    std::uint8_t b[8] = {};
    ASSERT_TRUE(device->readMemory(0x1FFFC, 8, b));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(b[i], static_cast<std::uint8_t>(0x1FFFC + i));
    auto t = bus.transcript();
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].setup.bRequest, xmega::kSelectSegment);
    EXPECT_EQ(t[0].setup.wValue, 1);
    EXPECT_EQ(t[1].setup.bRequest, xmega::kReadMemory);
    EXPECT_EQ(t[1].setup.wValue, 0xFFFC);
    EXPECT_EQ(t[1].setup.wLength, 4);
    EXPECT_EQ(t[2].setup.bRequest, xmega::kSelectSegment);
    EXPECT_EQ(t[2].setup.wValue, 2);
    EXPECT_EQ(t[3].setup.wValue, 0);
    EXPECT_EQ(t[3].setup.wLength, 4);

    bus.clearTranscript();
    ASSERT_TRUE(device->readMemory(0x20010, 4, b));
    t = bus.transcript();
    ASSERT_EQ(t.size(), 1u) << "no second selection within segment 2";
    EXPECT_EQ(t[0].setup.bRequest, xmega::kReadMemory);
}

TEST_F(XmegaChannel, MemoryPiecesNeverExceed4096BytesAndRoundTrip)
{
    attach();
    auto device = open();
    ASSERT_TRUE(device);
    const auto data = pattern(0x10000); // a whole segment: one piece would wrap wLength to 0
    bus.clearTranscript();
    ASSERT_TRUE(device->writeMemory(0x10000, static_cast<std::uint32_t>(data.size()), data.data()));
    std::vector<std::uint8_t> back(data.size());
    ASSERT_TRUE(device->readMemory(0x10000, static_cast<std::uint32_t>(back.size()), back.data()));
    EXPECT_EQ(back, data);
    for (const auto& r : controls(xmega::kWriteMemory))
        EXPECT_TRUE(r.setup.wLength > 0 && r.setup.wLength <= 4096);
    EXPECT_EQ(controls(xmega::kWriteMemory).size(), 16u);
    EXPECT_EQ(controls(xmega::kSelectSegment).size(), 1u);
}

TEST_F(XmegaChannel, ApplicationWriteSendsWholeBlocksAtTheirFirstPage)
{
    struct Row {
        std::uint16_t page;
        std::uint32_t length;
        std::vector<std::uint16_t> values;
        std::uint16_t block;
    };
    const Row rows[] = {
        {256, 5000, {0, 8, 16}, 2048},
        {96, 4100, {0, 21, 42}, 2016},
        {2048, 2048, {0}, 2048},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.page);
        bus.clearTranscript();
        state->pageSize = row.page;
        state->pageCount = 64;
        state->application.assign(static_cast<std::size_t>(row.page) * 64, 0x00); // erase must clear it
        attach(true);
        auto device = open();
        ASSERT_TRUE(device);
        const auto image = pattern(row.length);
        ASSERT_TRUE(device->writeApplication(row.length, image.data()));
        const auto writes = controls(xmega::kWriteApplication, kOut);
        ASSERT_EQ(writes.size(), row.values.size() + 1);
        for (std::size_t i = 0; i < row.values.size(); ++i) {
            EXPECT_EQ(writes[i].setup.wValue, row.values[i]);
            EXPECT_EQ(writes[i].setup.wLength, std::min<std::uint32_t>(row.block, row.length - i * row.block));
        }
        EXPECT_EQ(writes.back().setup.wValue, 0);
        EXPECT_EQ(writes.back().setup.wLength, 0);
        EXPECT_TRUE(std::equal(image.begin(), image.end(), state->application.begin()));
        EXPECT_TRUE(state->violations.empty());

        std::vector<std::uint8_t> back(row.length);
        ASSERT_TRUE(device->readApplication(row.length, back.data()));
        EXPECT_EQ(back, image);
        device.reset();
        bus.detach(path);
    }
}

TEST_F(XmegaChannel, AnImageLargerThanTheApplicationAreaFailsBeforeTheErase)
{
    state->application.assign(state->application.size(), 0x00);
    attach(true);
    auto device = open();
    ASSERT_TRUE(device);
    const auto image = pattern(state->application.size() + 1);
    EXPECT_FALSE(device->writeApplication(static_cast<std::uint32_t>(image.size()), image.data()));
    EXPECT_TRUE(controls(xmega::kEraseApplication).empty());
    EXPECT_EQ(state->application[0], 0x00) << "the application that runs now is kept";
}

TEST_F(XmegaChannel, UnusableApplicationPageSizeFailsBeforeAnyWrite)
{
    for (std::uint16_t page : {std::uint16_t(0), std::uint16_t(2049), std::uint16_t(4096)}) {
        SCOPED_TRACE(page);
        bus.clearTranscript();
        state->pageSize = page;
        attach(true);
        auto device = open();
        ASSERT_TRUE(device);
        const auto image = pattern(300);
        bool blank = false;
        EXPECT_FALSE(device->writeApplication(300, image.data()));
        EXPECT_FALSE(device->isApplicationBlank(&blank));
        EXPECT_TRUE(controls(xmega::kWriteApplication).empty());
        EXPECT_TRUE(controls(xmega::kEraseApplication).empty());
        device.reset();
        bus.detach(path);
    }
}

TEST_F(XmegaChannel, EepromStreamChunksAndZeroLengthPackets)
{
    struct Row {
        const char* name;
        std::uint32_t page;
        std::uint16_t packet;
        std::uint32_t length;
        bool ok;
        std::vector<std::uint32_t> transfers; // bulk OUT lengths in order
    };
    const Row rows[] = {
        {"page 96 packet 64 fails before data", 96, 64, 40, false, {}},
        {"one short chunk, final ZLP only", 256, 64, 40, true, {40, 0}},
        {"whole pages, final ZLP only", 256, 64, 512, true, {512, 0}},
        {"packet-multiple partial page needs its ZLP", 96, 32, 128, true, {128, 0, 0}},
        {"two chunks", 256, 64, 32768 + 100, true, {32768, 100, 0}},
        {"chunk rounded down to the page", 96, 32, 40000, true, {32736, 7264, 0, 0}},
        {"page 0 is refused", 0, 64, 40, false, {}},
        {"page beyond a chunk is refused", 65536, 64, 40, false, {}},
        {"packet size 0 is refused", 256, 0, 40, false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        state->outPacketSize = row.packet;
        state->eeproms = {platform::SimXmegaEeprom(1u << 20, 4096, row.page)};
        attach();
        auto device = open();
        ASSERT_TRUE(device);
        ASSERT_TRUE(device->beginStagedProgramming());
        ASSERT_TRUE(device->setTargetEeprom(0));
        bus.clearTranscript();
        const auto data = pattern(row.length);
        std::vector<int> seen;
        const Progress progress([&seen](int p) { seen.push_back(p); }, 50, 100);
        const std::uint32_t firstPage = row.page ? 4096 / std::max<std::uint32_t>(row.page, 1) : 0;
        EXPECT_EQ(device->writeEepromData(row.page == 96 ? 0 : firstPage, row.length, data.data(), &progress), row.ok);
        std::vector<std::uint32_t> transfers;
        for (const auto& r : bulkOuts())
            transfers.push_back(r.length);
        EXPECT_EQ(transfers, row.transfers);
        if (row.ok) {
            const std::size_t at = row.page == 96 ? 0 : 4096;
            EXPECT_TRUE(std::equal(data.begin(), data.end(), state->eeproms[0].bytes.begin() + static_cast<std::ptrdiff_t>(at)));
            EXPECT_TRUE(state->violations.empty()) << state->violations.front();
            ASSERT_FALSE(seen.empty());
            EXPECT_EQ(seen.front(), 50);
            EXPECT_EQ(seen.back(), 100);
            EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
        }
        device->endStagedProgramming();
        device.reset();
        bus.detach(path);
    }
}

TEST_F(XmegaChannel, OpenNeedsBothPipesOnlyForTheApplication)
{
    state->outPacketSize = 64;
    attach(true); // the bootloader has no bulk endpoints
    auto boot = open();
    ASSERT_TRUE(boot);
    EXPECT_FALSE(boot->hasOutPipe());
    std::uint8_t mode = 0;
    EXPECT_TRUE(boot->getMode(&mode));
    EXPECT_NE(mode, 0);
    boot.reset();

    platform::SimFault f;
    f.bmRequestType = kIn;
    f.bRequest = xmega::kGetMode;
    bus.addFault(f);
    attach();
    EXPECT_FALSE(open()) << "a mode read that fails fails the open";
}

TEST_F(XmegaChannel, VersionsAndIdentityRequests)
{
    state->versions[0] = 7;
    state->versions[1] = 8;
    attach(true);
    auto device = open();
    ASSERT_TRUE(device);
    std::uint32_t a = 0, b = 0;
    ASSERT_TRUE(device->getVersions(&a, &b));
    EXPECT_EQ(a, 7u);
    EXPECT_EQ(b, 8u);
    ASSERT_TRUE(device->setIdentity(0x7C5D, 0xBD86));
    EXPECT_EQ(state->productId, 0xBD86);
    const auto sent = controls(xmega::kSetIdentity, kOut);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(std::string(sent[0].data.begin() + 4, sent[0].data.end()), "Tarnwright");
    EXPECT_EQ(sent[0].data[0], 0x5D);
    EXPECT_EQ(sent[0].data[1], 0x7C);
}
