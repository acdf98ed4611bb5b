#include "converters/fx2/ConverterFX2Impl.h"
#include "converters/xmega/ConverterXmegaImpl.h"

#include "support/ConverterSimFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

using namespace convtest;
using TWG::Converters::IConverter;

namespace {

// Registers or memory bytes at their addresses.
using AddressedBytes = std::vector<std::pair<std::uint32_t, std::uint8_t>>;

// One setting on one model: registers (FX2) or memory bytes (XMEGA) set beforehand, the
// operation (a getter answers what it read, a setter 1 for success), and what the device
// then holds.
struct SettingCase {
    const char* name;
    std::uint16_t product;
    AddressedBytes before;
    std::function<int(IConverter&)> op;
    int answer;
    AddressedBytes after;
};

std::string caseName(const ::testing::TestParamInfo<SettingCase>& info) { return info.param.name; }

int get8(bool (IConverter::*getter)(std::uint8_t*), IConverter& c)
{
    std::uint8_t v = 0xEE;
    return (c.*getter)(&v) ? v : -1;
}

int getBool(bool (IConverter::*getter)(bool*), IConverter& c)
{
    bool v = false;
    return (c.*getter)(&v) ? v : -1;
}

int getInt(bool (IConverter::*getter)(int*), IConverter& c)
{
    int v = -5;
    return (c.*getter)(&v) ? v : -1;
}

// mode x 10 + extra flag
int downconversion(IConverter& c)
{
    int mode = -1;
    std::uint8_t extra = 0xEE;
    return c.getDownconversion(&mode, &extra) ? mode * 10 + extra : -1;
}

const SettingCase kFx2Cases[] = {
    {"LumaSet", 0xBD15, {}, [](IConverter& c) { return int(c.setLumaGain(130)); }, 1, {{10, 130}}},
    {"ChromaRSet", 0xBD15, {}, [](IConverter& c) { return int(c.setChromaRGain(131)); }, 1, {{12, 131}}},
    {"ChromaBSet", 0xBD15, {}, [](IConverter& c) { return int(c.setChromaBGain(132)); }, 1, {{11, 132}}},
    {"LumaGet", 0xBD15, {{10, 99}}, [](IConverter& c) { return get8(&IConverter::getLumaGain, c); }, 99, {}},
    {"AudioGainsSet", 0xBD28, {},
     [](IConverter& c) {
         return int(c.setAudioGain1(61) && c.setAudioGain2(62) && c.setAudioGain3(63) && c.setAudioGain4(64) &&
                    c.setAesEbuGain(65));
     },
     1, {{5, 61}, {6, 62}, {7, 63}, {8, 64}, {9, 65}}},
    {"AudioGain4Get", 0xBD28, {{8, 70}}, [](IConverter& c) { return get8(&IConverter::getAudioGain4, c); }, 70, {}},
    {"ClampingDisabledSetKeepsOtherBits", 0xBD15, {{13, 0x41}},
     [](IConverter& c) { return int(c.setClampingDisabled(true)); }, 1, {{13, 0xC1}}},
    {"ClampingDisabledGet", 0xBD15, {{13, 0x80}}, [](IConverter& c) { return getBool(&IConverter::getClampingDisabled, c); },
     1, {}},
    {"ClampingWithoutCapabilityReadsOff", 0xBD2E, {{13, 0x80}},
     [](IConverter& c) { return getBool(&IConverter::getClampingDisabled, c); }, 0, {}},
    {"CameraZeroReadsOne", 0xBD54, {{14, 0}}, [](IConverter& c) { return getInt(&IConverter::getCameraNumber, c); }, 1, {}},
    {"Camera150ReadsOne", 0xBD54, {{14, 150}}, [](IConverter& c) { return getInt(&IConverter::getCameraNumber, c); }, 1,
     {}},
    {"Camera42", 0xBD54, {{14, 42}}, [](IConverter& c) { return getInt(&IConverter::getCameraNumber, c); }, 42, {}},
    {"CameraSet", 0xBD54, {}, [](IConverter& c) { return int(c.setCameraNumber(7)); }, 1, {{14, 7}}},
    {"TallyOff", 0xBD54, {}, [](IConverter& c) { return int(c.setShowTally(false)); }, 1, {{10, 128}}},
    {"TallyOn", 0xBD54, {{10, 128}}, [](IConverter& c) { return int(c.setShowTally(true)); }, 1, {{10, 0}}},
    {"TallyGetOff", 0xBD54, {{10, 0x80}}, [](IConverter& c) { return getBool(&IConverter::getShowTally, c); }, 0, {}},
    // Register 10 is the luma gain of the models without tally.
    {"TallyLeavesLumaAlone", 0xBD2E, {{10, 128}}, [](IConverter& c) { return int(c.setShowTally(true)); }, 1,
     {{10, 128}}},
    {"DviExtenderMode", 0xBD2C, {}, [](IConverter& c) { return int(c.setDviExtenderMode(2)); }, 1, {{16, 2}}},
    {"ModeRegisterBD69", 0xBD69, {}, [](IConverter& c) { return int(c.writeModeRegister(5)); }, 1, {{3, 5}}},
    {"ModeRegisterBD82", 0xBD82, {}, [](IConverter& c) { return int(c.writeModeRegister(5)); }, 1, {{2, 5}}},
    {"ModeRegisterRefusedElsewhere", 0xBD2E, {{3, 9}}, [](IConverter& c) { return int(c.writeModeRegister(5)); }, 0,
     {{3, 9}}},
    {"ProductRegisterGet", 0xBD85, {{20, 33}},
     [](IConverter& c) {
         std::uint8_t v = 0;
         return c.getProductRegister(2, &v) ? v : -1;
     },
     33, {}},
    {"ProductRegisterKind0", 0xBD85, {{10, 31}},
     [](IConverter& c) {
         std::uint8_t v = 0;
         return c.getProductRegister(0, &v) ? v : -1;
     },
     31, {}},
    {"ProductRegisterKind1", 0xBD85, {{11, 32}},
     [](IConverter& c) {
         std::uint8_t v = 0;
         return c.getProductRegister(1, &v) ? v : -1;
     },
     32, {}},
    {"ProductRegisterSet", 0xBD85, {}, [](IConverter& c) { return int(c.setProductRegister(3, 9)); }, 1, {{15, 9}}},
    {"ProductRegisterOtherModel", 0xBD2E, {}, [](IConverter& c) { return int(c.setProductRegister(3, 9)); }, 0, {}},
    {"ProductStatusBD54Low", 0xBD54, {{12, 0x2B}},
     [](IConverter& c) {
         std::uint8_t v = 0;
         return c.getProductStatus(0, &v) ? v : -1;
     },
     0x0B, {}},
    {"ProductStatusBD54Option", 0xBD54, {{12, 0x2B}},
     [](IConverter& c) {
         std::uint8_t v = 0;
         return c.getProductStatus(1, &v) ? v : -1;
     },
     0x20, {}},
    {"ProductStatusBD5F", 0xBD5F, {{2, 0xFE}},
     [](IConverter& c) {
         std::uint8_t v = 0;
         return c.getProductStatus(0, &v) ? v : -1;
     },
     6, {}},
    {"ProductStatusBD6A", 0xBD6A, {{2, 0xAB}},
     [](IConverter& c) {
         std::uint8_t v = 0;
         return c.getProductStatus(2, &v) ? v : -1;
     },
     0xAB, {}},
    {"ProductOption", 0xBD54, {{12, 0x01}}, [](IConverter& c) { return int(c.setProductOption(1, true)); }, 1,
     {{12, 0x21}}},
    // Control bit 0: register 4 takes the bit, register 3 the level (clear = on), register 13
    // the mode.
    {"DownconversionSet", 0xBD15, {{2, 0xFF}, {13, 0x80}},
     [](IConverter& c) { return c.setDownconversion(2) ? downconversion(c) : -1; }, 21,
     {{4, 0x01}, {3, 0xFE}, {13, 0x81}}},
    {"DownconversionOff", 0xBD15, {{4, 0x01}, {3, 0x00}, {13, 0x02}},
     [](IConverter& c) { return c.setDownconversion(0) ? downconversion(c) : -1; }, 1, {{3, 0x01}, {13, 0x02}}},
    {"DownconversionFromSwitches", 0xBD15, {{2, 0x00}, {13, 0x02}}, downconversion, 30, {}},
    {"DownconversionWithoutCapability", 0xBD2F, {{2, 0x00}, {13, 0x02}}, downconversion, 0, {}},
    {"InstantLockUnsupported", 0xBD2E, {}, [](IConverter& c) { return getBool(&IConverter::getHdmiInstantLock, c); }, 0,
     {}},
};

const SettingCase kXmegaCases[] = {
    {"LumaSet", 0xBD91, {}, [](IConverter& c) { return int(c.setLumaGain(130)); }, 1,
     {{40, 130}, {41, 0}, {42, 0}, {43, 0}}},
    {"ChromaRSet", 0xBD91, {}, [](IConverter& c) { return int(c.setChromaRGain(131)); }, 1, {{48, 131}}},
    {"ChromaBSet", 0xBD91, {}, [](IConverter& c) { return int(c.setChromaBGain(132)); }, 1, {{44, 132}}},
    {"LumaGet", 0xBD91, {{40, 90}}, [](IConverter& c) { return get8(&IConverter::getLumaGain, c); }, 90, {}},
    {"AudioGainsSet", 0xBD93, {},
     [](IConverter& c) {
         return int(c.setAudioGain1(61) && c.setAudioGain2(62) && c.setAudioGain3(63) && c.setAudioGain4(64) &&
                    c.setAesEbuGain(65));
     },
     1, {{20, 61}, {24, 62}, {28, 63}, {32, 64}, {36, 65}}},
    {"ClampingDisabledSetKeepsFlagA", 0xBD91, {{56, 2}}, [](IConverter& c) { return int(c.setClampingDisabled(true)); },
     1, {{56, 3}}},
    {"ClampingDisabledGet", 0xBD91, {{56, 1}}, [](IConverter& c) { return getBool(&IConverter::getClampingDisabled, c); },
     1, {}},
    {"InstantLockOnClearsBit", 0xBD95, {{144, 1}}, [](IConverter& c) { return int(c.setHdmiInstantLock(true)); }, 1,
     {{144, 0}}},
    {"InstantLockGet", 0xBD95, {{144, 1}}, [](IConverter& c) { return getBool(&IConverter::getHdmiInstantLock, c); }, 0,
     {}},
    // Guarded by clamping: a model with the lock but without clamping leaves it alone.
    {"InstantLockFollowsClamping", 0xBD91, {{144, 1}}, [](IConverter& c) { return int(c.setHdmiInstantLock(true)); },
     1, {{144, 0}}},
    {"InstantLockWithoutClamping", 0xBDC6, {{144, 1}}, [](IConverter& c) { return int(c.setHdmiInstantLock(true)); },
     1, {{144, 1}}},
    {"VideoLevelSet", 0xBDE7, {}, [](IConverter& c) { return int(c.setVideoLevel(true)); }, 1, {{60, 1}}},
    {"VideoLevelGet", 0xBDC6, {{60, 1}}, [](IConverter& c) { return getBool(&IConverter::getVideoLevel, c); }, 1, {}},
    {"DownconversionRoundTrip", 0xBD91, {}, [](IConverter& c) { return c.setDownconversion(2) ? downconversion(c) : -1; },
     21, {{52, 0x14}}},
    {"DownconversionOffWritesNothing", 0xBD91, {{52, 0x14}}, [](IConverter& c) { return int(c.setDownconversion(0)); },
     1, {{52, 0x14}}},
    {"SdAspectSet", 0xBE06, {}, [](IConverter& c) { return int(c.setSdAspectWide(true)); }, 1, {{148, 1}}},
    {"SdAspectGet", 0xBE06, {{148, 1}}, [](IConverter& c) { return getBool(&IConverter::getSdAspectWide, c); }, 1, {}},
    {"ProductStatusBE06", 0xBE06, {{80, 0x5A}},
     [](IConverter& c) {
         std::uint8_t v = 0;
         return c.getProductStatus(2, &v) ? v : -1;
     },
     0x5A, {}},
    {"ProductStatusOtherModel", 0xBD92, {{80, 0x5A}},
     [](IConverter& c) {
         std::uint8_t v = 0;
         return c.getProductStatus(2, &v) ? v : -1;
     },
     -1, {}},
    {"ModeRegisterBDB8", 0xBDB8, {}, [](IConverter& c) { return int(c.writeModeRegister(3)); }, 1, {{8, 3}}},
    {"ModeRegisterBE06", 0xBE06, {}, [](IConverter& c) { return int(c.writeModeRegister(3)); }, 1, {{156, 3}}},
    {"ModeRegisterOthers", 0xBD93, {}, [](IConverter& c) { return int(c.writeModeRegister(3)); }, 1, {{84, 3}}},
    {"OptionFlagA", 0xBD93, {{56, 2}}, [](IConverter& c) { return getBool(&IConverter::getOptionFlagA, c); }, 1, {}},
    {"OptionFlagB", 0xBD93, {{152, 1}}, [](IConverter& c) { return getBool(&IConverter::getOptionFlagB, c); }, 1, {}},
    {"RequestByte", 0xBD93, {}, [](IConverter& c) { return int(c.setRequestByte(3)); }, 1, {{8, 3}}},
    {"RequestFlag", 0xBD93, {{8, 4}}, [](IConverter& c) { return getBool(&IConverter::waitRequestFlag, c); }, 1, {}},
    {"RequestFlagNeverSet", 0xBD93, {}, [](IConverter& c) { return getBool(&IConverter::waitRequestFlag, c); }, -1, {}},
    {"StatusBitOnIsClear", 0xBD93, {{80, 0x04}},
     [](IConverter& c) {
         bool on = true;
         auto* x = dynamic_cast<TWG::Converters::ConverterXmegaImpl*>(&c);
         return x && x->getStatusBit(2, &on) ? int(on) : -1;
     },
     0, {}},
    {"DviIsFx2Only", 0xBD93, {}, [](IConverter& c) { return getInt(&IConverter::getDviExtenderMode, c); }, -1, {}},
};

class Fx2Settings : public ConverterSimFixture, public ::testing::WithParamInterface<SettingCase> {};
class XmegaSettings : public ConverterSimFixture, public ::testing::WithParamInterface<SettingCase> {};

} // namespace

TEST_P(Fx2Settings, ReachTheRegisterOfTheirModel)
{
    const SettingCase& c = GetParam();
    auto model = attachFx2(c.product);
    start();
    IConverter* converter = only();
    ASSERT_TRUE(converter);
    for (const auto& b : c.before)
        ASSERT_TRUE(converter->writeRegister(b.first, b.second));
    EXPECT_EQ(c.op(*converter), c.answer);
    for (const auto& a : c.after)
        EXPECT_EQ(model->reg(static_cast<std::uint8_t>(a.first)), a.second) << "register " << a.first;
}

INSTANTIATE_TEST_SUITE_P(Table, Fx2Settings, ::testing::ValuesIn(kFx2Cases), caseName);

TEST_P(XmegaSettings, ReachTheAddressOfTheirModel)
{
    const SettingCase& c = GetParam();
    auto state = attachXmega(c.product);
    for (const auto& b : c.before)
        state->memory[b.first] = b.second;
    start();
    IConverter* converter = only();
    ASSERT_TRUE(converter);
    EXPECT_EQ(c.op(*converter), c.answer);
    for (const auto& a : c.after)
        EXPECT_EQ(state->memory[a.first], a.second) << "address " << a.first;
}

INSTANTIATE_TEST_SUITE_P(Table, XmegaSettings, ::testing::ValuesIn(kXmegaCases), caseName);

class ConverterSettings : public ConverterSimFixture {};

TEST_F(ConverterSettings, VersionRegisterAndPowerPerKind)
{
    platform::SimFx2Running::Options options;
    options.version = 9;
    options.powered = false;
    attachFx2(0xBD15, options);
    auto be06 = attachXmega(0xBE06);
    be06->versionByte = 7;
    auto bdf2 = attachXmega(0xBDF2);
    bdf2->powered = false;
    auto bd93 = attachXmega(0xBD93);
    bd93->versionByte = 0xFF; // never shows it is up: still counted as powered
    start();
    ASSERT_EQ(family.arrived.size(), 4u);
    for (IConverter* c : family.arrived) {
        std::uint16_t id[1] = {};
        ASSERT_TRUE(c->getDeviceIds(id));
        std::uint8_t version = 0;
        bool powered = true;
        EXPECT_TRUE(c->isPowered(&powered));
        switch (id[0]) {
        case 0xBD15:
            EXPECT_TRUE(c->getVersionRegister(&version));
            EXPECT_EQ(version, 9);
            EXPECT_FALSE(powered);
            break;
        case 0xBE06:
            EXPECT_TRUE(c->getVersionRegister(&version));
            EXPECT_EQ(version, 7);
            EXPECT_TRUE(powered);
            break;
        case 0xBDF2:
            EXPECT_FALSE(powered) << "answers its power request";
            break;
        case 0xBD93:
            EXPECT_TRUE(powered);
            break;
        }
    }
}

TEST_F(ConverterSettings, Fx2ControlBitIsNotRewrittenWhenUnchanged)
{
    auto model = attachFx2(0xBD15);
    start();
    auto* fx2 = dynamic_cast<TWG::Converters::ConverterFX2Impl*>(only());
    ASSERT_TRUE(fx2);
    ASSERT_TRUE(fx2->writeRegister(4, 0x01));
    ASSERT_TRUE(fx2->writeRegister(3, 0x00));
    bus.clearTranscript();
    EXPECT_TRUE(fx2->setControlBit(0, true));
    for (const SimRequest& r : controls(0xD7))
        EXPECT_NE(r.setup.wIndex >> 8, 3) << "register 3 already held the level";
    bool on = false, overridden = false;
    EXPECT_TRUE(fx2->getControlBit(0, &on, &overridden));
    EXPECT_TRUE(on);
    EXPECT_TRUE(overridden);
    EXPECT_TRUE(fx2->setControlBit(0, false));
    EXPECT_EQ(model->reg(3), 0x01);
    EXPECT_FALSE(fx2->setControlBit(8, true));
}
