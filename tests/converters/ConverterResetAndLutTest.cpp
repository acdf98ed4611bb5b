#include "converters/xmega/ConverterXmegaImpl.h"

#include "support/ConverterSimFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace convtest;
using TWG::Converters::ConverterXmegaImpl;
using TWG::Converters::IConverter;

namespace {

using Writes = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

struct ResetCase {
    std::uint16_t product;
    Writes writes; // (register or address, value) in order
};

// From the reset rules, per model class.
const ResetCase kFx2Resets[] = {
    {0xBD54, {{12, 128}, {12, 0}}},
    {0xBD18, {{5, 64}, {6, 64}, {9, 64}}},
    {0xBD47, {{5, 64}, {6, 64}, {9, 64}}},
    {0xBD2E, {{5, 64}, {6, 64}, {9, 64}, {10, 128}, {12, 128}, {11, 128}}},
    {0xBD15, {{5, 64}, {6, 64}, {9, 64}, {10, 128}, {12, 128}, {11, 128}, {13, 0}}},
    {0xBD28, {{5, 64}, {6, 64}, {9, 64}, {7, 64}, {8, 64}}},
    {0xBD2C, {{5, 64}, {6, 64}, {16, 0}}},
    {0xBD69, {{3, 0}}},
    {0xBD82, {{2, 0}}},
    {0xBD30, {}},
};

const ResetCase kXmegaResets[] = {
    {0xBD91, {{40, 128}, {48, 128}, {44, 128}, {56, 0}, {20, 64}, {24, 64}, {36, 64}}},
    {0xBD93, {{20, 64}, {24, 64}, {28, 64}, {32, 64}, {36, 64}, {84, 0}}},
    {0xBD94, {{20, 64}, {24, 64}, {28, 64}, {32, 64}, {36, 64}, {84, 0}}},
    {0xBDF2, {{56, 0}, {20, 64}, {24, 64}, {36, 64}}},
    {0xBE06, {}},
};

class ConverterReset : public ConverterSimFixture {
protected:
    Writes fx2Writes() const
    {
        Writes w;
        for (const SimRequest& r : controls(0xD7, 0x40))
            w.emplace_back(r.setup.wIndex >> 8, r.setup.wIndex & 0xFF);
        return w;
    }
    Writes xmegaWrites() const
    {
        Writes w;
        for (const SimRequest& r : controls(0x52, 0x41)) {
            std::uint32_t v = 0;
            for (std::size_t i = r.data.size(); i-- > 0;)
                v = (v << 8) | r.data[i];
            w.emplace_back(r.setup.wValue, v);
        }
        return w;
    }
    // Stops the notifier and unplugs everything, so the next case starts afresh.
    void clearBus()
    {
        window.notifier = nullptr;
        notifier.reset();
        for (const auto& d : bus.listDevices())
            bus.detach(d.path);
        QCoreApplication::processEvents();
        family = Family();
    }
};

class ConverterLut : public ConverterSimFixture {};

std::vector<std::uint8_t> lutData()
{
    std::vector<std::uint8_t> d(TWG::Converters::kLutDataSize);
    for (std::size_t i = 0; i < d.size(); ++i)
        d[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
    return d;
}

} // namespace

TEST_F(ConverterReset, Fx2TranscriptPerModelClass)
{
    for (const ResetCase& c : kFx2Resets) {
        SCOPED_TRACE(std::to_string(c.product));
        attachFx2(c.product);
        start();
        IConverter* converter = only();
        ASSERT_TRUE(converter);
        bus.clearTranscript();
        EXPECT_TRUE(converter->resetToDefaults());
        EXPECT_EQ(fx2Writes(), c.writes);
        clearBus();
    }
}

TEST_F(ConverterReset, XmegaTranscriptPerModelClass)
{
    for (const ResetCase& c : kXmegaResets) {
        SCOPED_TRACE(std::to_string(c.product));
        attachXmega(c.product);
        start();
        IConverter* converter = only();
        ASSERT_TRUE(converter);
        bus.clearTranscript();
        EXPECT_TRUE(converter->resetToDefaults());
        EXPECT_EQ(xmegaWrites(), c.writes);
        clearBus();
    }
}

TEST_F(ConverterReset, AFailedStepFailsTheResetButTheOthersStillRun)
{
    attachFx2(0xBD2E);
    start();
    IConverter* converter = only();
    ASSERT_TRUE(converter);
    bus.clearTranscript();
    platform::SimFault stall;
    stall.nth = 2;
    stall.bmRequestType = 0x40;
    stall.bRequest = 0xD7;
    bus.addFault(stall);
    EXPECT_FALSE(converter->resetToDefaults());
    EXPECT_EQ(controls(0xD7, 0x40).size(), 6u);
}

TEST(LutHeaderName, LongNamesAreCutOnACharacterBoundary)
{
    const std::string a36(36, 'a'), a37(37, 'a'), a38(38, 'a'), a39(39, 'a');
    const struct {
        const char* what;
        std::string name;
        std::string stored;
    } cases[] = {
        {"empty", "", ""},
        {"39 bytes fit", a39, a39},
        {"40 ASCII bytes", a39 + "b", a38},
        {"45 ASCII bytes", std::string(45, 'x'), std::string(38, 'x')},
        {"two-byte character over offset 38", a37 + "\xC3\xA9" + "x", a37},
        {"three-byte character over offsets 36-38", a36 + "\xE2\x82\xAC" + "x", a36},
        {"two-byte character starting at 38", a38 + "\xC3\xA9", a38},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConverterXmegaImpl::lutHeaderName(c.name), c.stored) << c.what;
}

TEST_F(ConverterLut, LoadStoresNameAndDataInTheSlotAndTheNameReadsBack)
{
    auto state = attachXmega(0xBDF2);
    start();
    IConverter* converter = only();
    ASSERT_TRUE(converter);
    const std::vector<std::uint8_t> data = lutData();
    const std::string name(45, 'N');
    ASSERT_TRUE(converter->loadLut(1, name, data));
    const std::vector<std::uint8_t>& eeprom = state->eeproms[0].bytes;
    const std::size_t slot = 0x380000 + 0x30000;
    EXPECT_EQ(std::string(eeprom.begin() + slot, eeprom.begin() + slot + 38), std::string(38, 'N'));
    EXPECT_EQ(eeprom[slot + 38], 0);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), eeprom.begin() + slot + 40));
    EXPECT_FALSE(state->sessionOpen) << "the session ends with the load";
    std::string read;
    ASSERT_TRUE(converter->getLutName(1, &read));
    EXPECT_EQ(read, std::string(38, 'N'));

    const std::string utf8 = std::string(36, 'u') + "\xE2\x82\xAC" + "tail";
    ASSERT_TRUE(converter->loadLut(0, utf8, data));
    ASSERT_TRUE(converter->getLutName(0, &read));
    EXPECT_EQ(read, std::string(36, 'u'));
    EXPECT_TRUE(state->violations.empty());
}

TEST_F(ConverterLut, BadInputIsRefusedWithoutATransfer)
{
    attachXmega(0xBDF2);
    start();
    IConverter* converter = only();
    ASSERT_TRUE(converter);
    bus.clearTranscript();
    EXPECT_FALSE(converter->loadLut(0, "short", std::vector<std::uint8_t>(100)));
    std::string name = "kept";
    EXPECT_FALSE(converter->getLutName(2, &name));
    EXPECT_EQ(name, "kept");
    EXPECT_TRUE(bus.transcript().empty());
}

TEST_F(ConverterLut, Fx2ConvertersHaveNoLuts)
{
    attachFx2(0xBD2E);
    start();
    IConverter* converter = only();
    ASSERT_TRUE(converter);
    std::string name;
    EXPECT_FALSE(converter->loadLut(0, "x", lutData()));
    EXPECT_FALSE(converter->getLutName(0, &name));
}
