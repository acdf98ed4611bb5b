#include "converters/GainScale.h"
#include "converters/ModelNames.h"

#include "support/CapabilityRows.h"
#include "support/FakeConverter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using convtest::FakeConverter;
using convtest::kRows;
using convtest::Row;
using convtest::has;

namespace {

std::string hex(std::uint16_t id) { return QString::number(id, 16).toStdString(); }

} // namespace

TEST(ConverterCapabilities, EveryProductIdGetsTheFlagsOfItsRow)
{
    for (const Row& r : kRows) {
        SCOPED_TRACE(hex(r.product));
        FakeConverter c(r.product);
        convtest::expectCapabilities(c, r);
        EXPECT_EQ(c.capabilities().videoLevelControlBit, r.controlBitField);
        EXPECT_TRUE(c.calls.empty()) << "capabilities never touch the device";
    }
}

TEST(ConverterCapabilities, GainsOfAMissingCapabilityReadAsDefaultWithoutATransfer)
{
    FakeConverter bd30(0xBD30);
    bd30.audioGains = {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}};
    bd30.videoGains = {{0, 1}, {1, 1}, {2, 1}};
    std::uint8_t v = 0;
    using Getter = bool (FakeConverter::*)(std::uint8_t*);
    for (Getter g : {&FakeConverter::getAudioGain1, &FakeConverter::getAudioGain2, &FakeConverter::getAudioGain3,
                     &FakeConverter::getAudioGain4, &FakeConverter::getAesEbuGain}) {
        v = 0;
        EXPECT_TRUE((bd30.*g)(&v));
        EXPECT_EQ(v, 64);
    }
    for (Getter g : {&FakeConverter::getLumaGain, &FakeConverter::getChromaRGain, &FakeConverter::getChromaBGain}) {
        v = 0;
        EXPECT_TRUE((bd30.*g)(&v));
        EXPECT_EQ(v, 128);
    }
    EXPECT_TRUE(bd30.setAudioGain1(10));
    EXPECT_TRUE(bd30.setLumaGain(10));
    EXPECT_TRUE(bd30.calls.empty());

    // Two channels and no AES/EBU: gains 3, 4 and AES stay default; 1 and 2 reach the device.
    FakeConverter bd2c(0xBD2C);
    bd2c.audioGains = {{0, 70}, {1, 71}, {2, 72}, {3, 73}, {4, 74}};
    EXPECT_TRUE(bd2c.getAesEbuGain(&v));
    EXPECT_EQ(v, 64);
    EXPECT_TRUE(bd2c.getAudioGain3(&v));
    EXPECT_EQ(v, 64);
    EXPECT_TRUE(bd2c.setAesEbuGain(3));
    EXPECT_TRUE(bd2c.calls.empty());
    EXPECT_TRUE(bd2c.getAudioGain2(&v));
    EXPECT_EQ(v, 71);
    EXPECT_EQ(bd2c.calls, std::vector<std::string>{"getAudioGain(1)"});

    // A failing transfer is a failure and leaves the output alone.
    FakeConverter bd2e(0xBD2E);
    bd2e.failing = {"getVideoGain"};
    v = 9;
    EXPECT_FALSE(bd2e.getChromaBGain(&v));
    EXPECT_EQ(v, 9);
    EXPECT_EQ(bd2e.calls, std::vector<std::string>{"getVideoGain(2)"});
}

TEST(ConverterCapabilities, ModelNamesCoverEveryConverterIdAndSharedIdsShareOne)
{
    for (const Row& r : kRows) {
        const bool converter = r.product != 0xBD86 && r.product != 0x1234;
        EXPECT_EQ(!TWG::Converters::modelNameForProduct(r.product).isEmpty(), converter) << hex(r.product);
    }
    EXPECT_EQ(TWG::Converters::modelNameForProduct(0xBD2C), QStringLiteral("DVI Extender"));
    const std::pair<std::uint16_t, std::uint16_t> shared[] = {{0xBD16, 0xBD46}, {0xBD18, 0xBD47}, {0xBD27, 0xBDE7},
                                                              {0xBD2F, 0xBDCF}, {0xBD31, 0xBDD0}, {0xBD55, 0xBD82},
                                                              {0xBD69, 0xBD84}};
    for (const auto& s : shared)
        EXPECT_EQ(TWG::Converters::modelNameForProduct(s.first), TWG::Converters::modelNameForProduct(s.second));
    EXPECT_NE(TWG::Converters::modelNameForProduct(0xBD15), TWG::Converters::modelNameForProduct(0xBD16));

    FakeConverter unknown(0x1234);
    QString name = QStringLiteral("untouched");
    EXPECT_FALSE(unknown.getModelName(&name));
    EXPECT_EQ(name, QStringLiteral("untouched"));
    FakeConverter known(0xBD2C);
    EXPECT_TRUE(known.getModelName(&name));
    EXPECT_EQ(name, QStringLiteral("DVI Extender"));
}

TEST(GainScale, EndPointsAndUnityGains)
{
    using TWG::Converters::audioGainToDecibels;
    using TWG::Converters::videoGainToDecibels;
    const struct {
        std::uint8_t v;
        double audio;
        double video;
    } cases[] = {
        {0, -43.0, -43.0},
        {255, 12.0, 6.0},
        {64, 0.0, 20 * std::log10(0.5)},
        {128, 20 * std::log10(2.0), 0.0},
        {1, 20 * std::log10(1.0 / 64), 20 * std::log10(1.0 / 128)},
        {254, 20 * std::log10(254.0 / 64), 20 * std::log10(254.0 / 128)},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(audioGainToDecibels(c.v), c.audio, 1e-9) << int(c.v);
        EXPECT_NEAR(videoGainToDecibels(c.v), c.video, 1e-9) << int(c.v);
    }
}

TEST(ConverterReferences, ReleaseAtZeroDeletes)
{
    bool destroyed = false;
    auto* c = new FakeConverter(0xBD2E, false, &destroyed);
    EXPECT_EQ(c->addRef(), 2);
    EXPECT_EQ(c->release(), 1);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(c->release(), 0);
    EXPECT_TRUE(destroyed);
}
