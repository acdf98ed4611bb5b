#include "Fx2SimFixture.h"

#include "protocol/Fx2Protocol.h"

using namespace fx2test;
using TWG::Converters::ConverterInstance;
namespace fx2 = TWG::Converters::fx2;

namespace {

std::uint32_t address24(const Bytes& d)
{
    return d.size() == 3 ? std::uint32_t(d[0]) << 16 | std::uint32_t(d[1]) << 8 | d[2] : 0xFFFFFFFF;
}

class Fx2Flash : public Fx2SimFixture {};

} // namespace

TEST_F(Fx2Flash, EraseTouchesTheBlocksOfTheRangeAndNoneBeyondTheLastBlock)
{
    struct Case {
        const char* name;
        std::uint32_t start, length;
        bool ok;
        std::vector<std::uint32_t> erased;
    };
    std::vector<std::uint32_t> all;
    for (std::uint32_t b = 0; b < 64; ++b)
        all.push_back(b * 0x10000);
    const Case cases[] = {
        {"one byte past a block", 0, 0x10001, true, {0, 0x10000}},
        {"exactly one block", 0x20000, 0x10000, true, {0x20000}},
        {"start off a block boundary", 0x8000, 0x100, false, {}},
        {"the whole flash", 0, 0x400000, true, all},
        {"one byte past the flash", 0, 0x400001, false, {}},
        {"the last block", 0x3F0000, 0x10000, true, {0x3F0000}},
        {"starting past the last block", 0x400000, 1, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bus.clearTranscript();
        ConverterInstance* d = attachRunning(0xBD17, {});
        ASSERT_TRUE(d);
        EXPECT_EQ(d->eraseFlash(c.start, c.length), c.ok);
        std::vector<std::uint32_t> erased;
        for (const platform::SimRequest& r : requests(fx2::kRequestEraseBlock))
            erased.push_back(address24(r.data));
        EXPECT_EQ(erased, c.erased);
        bus.detach(path);
    }
}

TEST_F(Fx2Flash, AnEraseThatNeverFinishesFailsAfterItsBoundedPolls)
{
    platform::SimFx2Running::Options o;
    o.eraseNeverDone = true;
    ConverterInstance* d = attachRunning(0xBD17, o);
    ASSERT_TRUE(d);
    const auto start = clock.now();
    EXPECT_FALSE(d->eraseFlash(0, 0x20000));
    EXPECT_EQ(requests(fx2::kRequestEraseBlock).size(), 2u); // two attempts at the first block only
    EXPECT_EQ(requests(fx2::kRequestFlashDone).size(), 2u * fx2::kErasePolls);
    EXPECT_LE(clock.elapsedMs(start), 2 * (fx2::kErasePolls * fx2::kErasePollMs + 1000));
}

TEST_F(Fx2Flash, PagesGoOutAddressedAndTheLastIsPaddedWithZeros)
{
    std::shared_ptr<platform::SimFx2Running> model;
    ConverterInstance* d = attachRunning(0xBD17, {}, &model);
    ASSERT_TRUE(d);
    const Bytes data = pattern(300, 3);
    EXPECT_FALSE(d->writeFlash(data.data(), 300)) << "outside programming mode";
    ASSERT_TRUE(d->eraseFlash(0x10000, 300));
    bus.clearTranscript();
    ASSERT_TRUE(d->writeFlash(data.data(), 300));

    const auto addresses = requests(fx2::kRequestFlashAddress);
    ASSERT_EQ(addresses.size(), 2u);
    EXPECT_EQ(address24(addresses[0].data), 0x10000u);
    EXPECT_EQ(address24(addresses[1].data), 0x10100u);
    const auto pages = bulkOuts();
    ASSERT_EQ(pages.size(), 2u);
    ASSERT_EQ(pages[1].data.size(), 256u);
    EXPECT_TRUE(std::equal(data.begin() + 256, data.end(), pages[1].data.begin()));
    EXPECT_EQ(std::count(pages[1].data.begin() + 44, pages[1].data.end(), 0), 212);

    const Bytes flash = model->flash();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), flash.begin() + 0x10000));
    EXPECT_TRUE(model->violations().empty());

    // The next write continues where this one ended, and none may pass the flash's end.
    EXPECT_TRUE(d->writeFlash(data.data(), 10));
    EXPECT_EQ(address24(requests(fx2::kRequestFlashAddress).back().data), 0x10000u + 300);
    ASSERT_TRUE(d->enterProgramming(0x3FFF00));
    EXPECT_FALSE(d->writeFlash(data.data(), 300));
}

TEST_F(Fx2Flash, ProgrammingAnUnerasedPageIsRecordedByTheModel)
{
    std::shared_ptr<platform::SimFx2Running> model;
    ConverterInstance* d = attachRunning(0xBD17, {}, &model);
    ASSERT_TRUE(d);
    const Bytes data = pattern(256, 1);
    ASSERT_TRUE(d->enterProgramming(0));
    ASSERT_TRUE(d->writeFlash(data.data(), 256));
    ASSERT_TRUE(d->enterProgramming(0));
    ASSERT_TRUE(d->writeFlash(data.data(), 256));
    ASSERT_EQ(model->violations().size(), 1u);
    EXPECT_EQ(model->violations()[0], "programming an unerased page at 000000");
}

TEST_F(Fx2Flash, ModePairsAreSkippedWhenCachedUnlessTheSecondByteIsTwo)
{
    std::shared_ptr<platform::SimFx2Running> model;
    ConverterInstance* d = attachRunning(0xBD17, {}, &model);
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->sendModePair(1, 0));
    EXPECT_TRUE(d->sendModePair(1, 0));
    EXPECT_TRUE(d->sendModePair(3, 2));
    EXPECT_TRUE(d->sendModePair(3, 2));
    EXPECT_TRUE(d->sendModePair(1, 0));
    platform::SimFault stall;
    stall.bRequest = fx2::kRequestModePair;
    bus.addFault(stall);
    EXPECT_FALSE(d->sendModePair(5, 0));
    EXPECT_TRUE(d->sendModePair(1, 0)); // a failure forgets the cached pair, so this one goes out
    EXPECT_EQ(model->modePairs(), (std::vector<Bytes>{{1, 0}, {3, 2}, {3, 2}, {1, 0}, {1, 0}}));
}

TEST_F(Fx2Flash, BootEepromHeaderWritesOnlyChangedBytesAndTheC2LoadEndsWithItsMarker)
{
    std::shared_ptr<platform::SimFx2Running> model;
    Bytes image;
    addRecord(image, 0x0000, {0x02, 0x00, 0x10});
    addRecord(image, 0x1234, {0xAA});
    addRecord(image, 0, {}, 1);
    ASSERT_TRUE(TWG::Converters::Fx2ProductTable::setRamImage(0xBD17, image));
    ConverterInstance* d = attachRunning(0xBD17, {}, &model);
    ASSERT_TRUE(d);
    ASSERT_TRUE(d->writeBootHeader());
    EXPECT_EQ(requests(fx2::kRequestEepromWrite).size(), 11u);
    Bytes e = model->eeprom();
    EXPECT_EQ(Bytes(e.begin(), e.begin() + 11), (Bytes{0xC0, 0x5D, 0x7C, 0x17, 0xBD, 0x01, 0x00, 0, 0, 0, 0}));
    bus.clearTranscript();
    ASSERT_TRUE(d->writeBootHeader());
    EXPECT_TRUE(requests(fx2::kRequestEepromWrite).empty());

    ASSERT_TRUE(d->writeC2Image());
    e = model->eeprom();
    EXPECT_EQ(Bytes(e.begin(), e.begin() + 8 + 7 + 5 + 5),
              (Bytes{0xC2, 0x5D, 0x7C, 0x17, 0xBD, 0x01, 0x00, 0x01,          //
                     0x00, 0x03, 0x00, 0x00, 0x02, 0x00, 0x10, 0x00, 0x01, 0x12, 0x34, 0xAA, //
                     0x80, 0x01, 0xE6, 0x00, 0x00}));
    const auto writes = requests(fx2::kRequestEepromWrite);
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.front().setup.wIndex, 0);
    EXPECT_EQ(writes.front().data, Bytes{0xC0});
    EXPECT_EQ(writes.back().setup.wIndex, 0);
    EXPECT_EQ(writes.back().data, Bytes{0xC2});

    ASSERT_TRUE(d->clearBootHeader());
    e = model->eeprom();
    EXPECT_EQ(Bytes(e.begin(), e.begin() + 8), Bytes(8, 0xFF));

    // A read-back that never arrives does not pass for a zero byte of the header.
    ASSERT_TRUE(d->writeBootHeader());
    platform::SimFault shortRead;
    shortRead.action = platform::SimFaultAction::Short;
    shortRead.bRequest = fx2::kRequestEepromRead;
    shortRead.match = [](const platform::SimRequest& r) { return r.setup.wIndex == 7; };
    shortRead.nth = 2; // the read-back after the first read of byte 7
    bus.addFault(shortRead);
    EXPECT_FALSE(d->writeBootHeader());
}

namespace {

// A controller whose geometry reads back as zero.
class ZeroGeometry : public ConverterInstance {
public:
    ZeroGeometry(TWG::USB::IUSBDevice* d, const TWG::Converters::Fx2ProductEntry& e, bool zeroPage)
        : ConverterInstance(d, e), zeroPage_(zeroPage)
    {
    }
    std::uint32_t pageSize() const override { return zeroPage_ ? 0 : ConverterInstance::pageSize(); }
    std::uint32_t blockSize() const override { return zeroPage_ ? ConverterInstance::blockSize() : 0; }

private:
    bool zeroPage_;
};

} // namespace

TEST_F(Fx2Flash, ZeroGeometryFailsInsteadOfDividingOrLooping)
{
    for (bool zeroPage : {true, false}) {
        SCOPED_TRACE(zeroPage ? "page size 0" : "block size 0");
        path = bus.attach(platform::SimFx2Running::create(platform::SimFx2Running::descriptors(kVendor, 0xBD17), {}));
        TWG::USB::DriverConnection* c = TWG::USB::DriverConnection::connectToDriverWithPath(path, platform::kNoWindow, 0);
        ASSERT_TRUE(c);
        auto* usb = new TWG::USB::CUSBDevice(c);
        c->release();
        TWG::Converters::Fx2ProductEntry entry;
        ASSERT_TRUE(TWG::Converters::Fx2ProductTable::find(0xBD17, &entry));
        auto* d = new ZeroGeometry(usb, entry, zeroPage);
        usb->release();
        opened.push_back(d);
        ASSERT_TRUE(d->startUp());
        const Bytes data = pattern(512, 2);
        if (zeroPage) {
            ASSERT_TRUE(d->enterProgramming(0));
            EXPECT_FALSE(d->writeFlash(data.data(), 512));
        } else {
            EXPECT_FALSE(d->eraseFlash(0, 0x20000));
        }
        EXPECT_TRUE(bulkOuts().empty());
        EXPECT_TRUE(requests(fx2::kRequestEraseBlock).empty());
    }
}

TEST(Fx2ProductTable, TakesImagesOnlyForItsProducts)
{
    using TWG::Converters::Fx2ProductTable;
    EXPECT_EQ(Fx2ProductTable::vendorIds(), (std::vector<std::uint16_t>{0x7C5D, 0x04B4}));
    TWG::Converters::Fx2ProductEntry e;
    EXPECT_FALSE(Fx2ProductTable::find(0xBD91, &e)) << "an XMEGA product";
    EXPECT_FALSE(Fx2ProductTable::setRamImage(0xBD91, {1, 2, 3}));
    ASSERT_TRUE(Fx2ProductTable::find(0xBD85, &e));
    EXPECT_FALSE(e.ramImage) << "the plug-in ships no image";
    EXPECT_TRUE(e.factory);
    ASSERT_TRUE(Fx2ProductTable::setRamImage(0xBD85, {1, 2, 3}));
    ASSERT_TRUE(Fx2ProductTable::find(0xBD85, &e));
    ASSERT_TRUE(e.ramImage);
    EXPECT_EQ(*e.ramImage, (Bytes{1, 2, 3}));
    ASSERT_TRUE(Fx2ProductTable::setRamImage(0xBD85, {}));
    ASSERT_TRUE(Fx2ProductTable::find(0xBD85, &e));
    EXPECT_FALSE(e.ramImage);
}
