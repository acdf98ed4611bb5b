#include "kit/widgets/card/CardSection.h"
#include "kit/widgets/settings/SettingsLabel.h"
#include "kit/widgets/settings/SettingsSlider.h"
#include "kit/widgets/settings/SliderLinkBase.h"
#include "plugins/converters/settings/AboutSettingsTab.h"
#include "plugins/converters/settings/AudioSettingsTab.h"
#include "plugins/converters/settings/DviExtenderSettingsTab.h"
#include "plugins/converters/settings/GainSlider.h"
#include "plugins/converters/settings/GainSliderPairRow.h"
#include "plugins/converters/settings/TallySettingsTab.h"
#include "tests/plugins/converters/settings/SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

using settingstest::Bench;
using settingstest::drag;
using Writes = std::vector<std::string>;

// ---- Audio ------------------------------------------------------------------------------

TEST(AudioSettingsTab, RowsFollowChannelsAndAesEbu)
{
    const struct {
        std::uint16_t product;
        bool ch34;
        bool aesEbu;
        const char* section;
    } cases[] = {
        {0xBD2E, false, true, "Output Levels"}, // 2 channels
        {0xBD27, true, true, "Input Levels"},   // 4 channels
        {0xBD28, true, true, "Output Levels"},
    };
    for (const auto& c : cases) {
        Bench bench(c.product);
        AudioSettingsTab tab(&bench.connection);
        EXPECT_NE(tab.channels12Row(), nullptr) << std::hex << c.product;
        EXPECT_EQ(tab.channels34Row() != nullptr, c.ch34) << std::hex << c.product;
        EXPECT_EQ(tab.aesEbuRow() != nullptr, c.aesEbu) << std::hex << c.product;
        ASSERT_FALSE(tab.sections().isEmpty());
        EXPECT_EQ(tab.sections().first()->findChild<QLabel*>()->text(), QLatin1String(c.section));
    }
    Bench bench(0xBD2E);
    TWG::Converters::ConverterCapabilities noAes = bench.device->capabilities();
    noAes.aesEbuLevel = false;
    bench.device->setCapabilities(noAes);
    AudioSettingsTab tab(&bench.connection);
    EXPECT_EQ(tab.aesEbuRow(), nullptr);
    EXPECT_NE(tab.channels12Row(), nullptr);
}

struct AudioBench : Bench {
    AudioBench()
        : Bench(0xBD27)
    {
        device->audioGains = {{0, 50}, {1, 50}, {2, 70}, {3, 80}, {4, 0}};
    }
};

TEST(AudioSettingsTab, ReadsGainsAndLinksEqualPairs)
{
    AudioBench bench;
    AudioSettingsTab tab(&bench.connection);
    EXPECT_TRUE(tab.channels12Row()->link()->isLinked());
    EXPECT_FALSE(tab.channels34Row()->link()->isLinked());
    EXPECT_EQ(tab.channels34Row()->lowerSlider()->value(), 80);
    EXPECT_EQ(tab.aesEbuRow()->valueLabel()->text(), QStringLiteral("Off"));
}

TEST(AudioSettingsTab, EveryControlWritesAtOnceAndCancelRestoresIt)
{
    using Action = void (*)(AudioSettingsTab&);
    const struct {
        const char* name;
        Action action;
        Writes writes;
        Writes reverted;
    } cases[] = {
        {"ch 1/2 linked", [](AudioSettingsTab& t) { drag(t.channels12Row()->upperSlider(), 90); },
         {"setAudioGain1(90)", "setAudioGain2(90)"}, {"setAudioGain1(50)", "setAudioGain2(50)"}},
        {"ch 3/4", [](AudioSettingsTab& t) { drag(t.channels34Row()->lowerSlider(), 255); },
         {"setAudioGain3(70)", "setAudioGain4(255)"}, {"setAudioGain3(70)", "setAudioGain4(80)"}},
        {"AES/EBU", [](AudioSettingsTab& t) { drag(t.aesEbuRow()->slider(), 64); }, {"setAesEbuGain(64)"},
         {"setAesEbuGain(0)"}},
        {"reset", [](AudioSettingsTab& t) { t.resetButton()->click(); },
         {"setAudioGain1(64)", "setAudioGain2(64)", "setAudioGain3(64)", "setAudioGain4(64)", "setAesEbuGain(64)"},
         {"setAudioGain1(50)", "setAudioGain2(50)", "setAudioGain3(70)", "setAudioGain4(80)", "setAesEbuGain(0)"}},
    };
    for (const auto& c : cases) {
        AudioBench bench;
        AudioSettingsTab tab(&bench.connection);
        bench.device->clearLog();
        c.action(tab);
        EXPECT_EQ(bench.device->writes(), c.writes) << c.name;
        bench.device->clearLog();
        tab.revertChanges();
        EXPECT_EQ(bench.device->writes(), c.reverted) << c.name;
    }
}

// A failed read leaves nothing for Cancel to restore: no gain that was never read is written.
TEST(AudioSettingsTab, CancelSkipsGainsThatWereNotRead)
{
    const struct {
        const char* failingRead;
        Writes reverted;
    } cases[] = {
        {"getAudioGain1", {"setAudioGain3(70)", "setAudioGain4(80)", "setAesEbuGain(0)"}},
        {"getAudioGain2", {"setAudioGain1(50)", "setAudioGain3(70)", "setAudioGain4(80)", "setAesEbuGain(0)"}},
        {"getAesEbuGain", {"setAudioGain1(50)", "setAudioGain2(50)", "setAudioGain3(70)", "setAudioGain4(80)"}},
    };
    for (const auto& c : cases) {
        AudioBench bench;
        bench.device->failing.insert(c.failingRead);
        AudioSettingsTab tab(&bench.connection);
        tab.resetButton()->click();
        bench.device->clearLog();
        tab.revertChanges();
        EXPECT_EQ(bench.device->writes(), c.reverted) << c.failingRead;
    }
    // The second channel is not even asked for when the first cannot be read.
    AudioBench bench;
    bench.device->failing.insert("getAudioGain1");
    bench.device->clearLog();
    AudioSettingsTab tab(&bench.connection);
    const auto& calls = bench.device->calls;
    EXPECT_EQ(std::find(calls.begin(), calls.end(), "getAudioGain(1)"), calls.end());
}

// ---- Tally ------------------------------------------------------------------------------

TEST(TallySettingsTab, ShowsWhatWasReadOrItsDefaults)
{
    for (const bool reads : {true, false}) {
        Bench bench(0xBD54);
        bench.device->values["cameraNumber"] = 42;
        bench.device->values["showTally"] = 1;
        if (!reads) {
            bench.device->failing.insert("getCameraNumber");
            bench.device->failing.insert("getShowTally");
        }
        TallySettingsTab tab(&bench.connection);
        EXPECT_EQ(tab.cameraNumberEdit()->text(), reads ? QStringLiteral("42") : QStringLiteral("1"));
        EXPECT_EQ(tab.showTallyBox()->isChecked(), reads);
        EXPECT_TRUE(bench.device->writes().empty());
    }
}

// Typing writes each number 1..99 as it appears; anything else is not sent.
TEST(TallySettingsTab, TypedCameraNumbersWriteAtOnceWithinOneTo99)
{
    const struct {
        const char* typed;
        Writes writes;
    } cases[] = {
        {"7", {"setCameraNumber(7)"}},
        {"42", {"setCameraNumber(4)", "setCameraNumber(42)"}},
        {"99", {"setCameraNumber(9)", "setCameraNumber(99)"}},
        {"100", {"setCameraNumber(1)", "setCameraNumber(10)"}},
        {"0", {}},
        {"00", {}},
        {"07", {"setCameraNumber(7)"}},
        {"x", {}},
        {"", {}},
    };
    for (const auto& c : cases) {
        Bench bench(0xBD54);
        TallySettingsTab tab(&bench.connection);
        QLineEdit* edit = tab.cameraNumberEdit();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        bench.device->clearLog();
        QTest::keyClicks(edit, QLatin1String(c.typed));
        EXPECT_EQ(bench.device->writes(), c.writes) << "typed '" << c.typed << "'";
    }
}

TEST(TallySettingsTab, ClearingTheFieldWritesNothing)
{
    Bench bench(0xBD54);
    TallySettingsTab tab(&bench.connection);
    bench.device->clearLog();
    tab.cameraNumberEdit()->clear();
    EXPECT_TRUE(bench.device->writes().empty());
}

TEST(TallySettingsTab, CancelRestoresOnlyWhatWasReadAndChanged)
{
    const struct {
        const char* name;
        const char* failingRead;
        bool typeCamera;
        bool toggleTally;
        Writes reverted;
    } cases[] = {
        {"untouched", nullptr, false, false, {}},
        {"both", nullptr, true, true, {"setCameraNumber(42)", "setShowTally(1)"}},
        {"tally only", nullptr, false, true, {"setShowTally(1)"}},
        {"camera unread", "getCameraNumber", true, true, {"setShowTally(1)"}},
        {"tally unread", "getShowTally", true, true, {"setCameraNumber(42)"}},
    };
    for (const auto& c : cases) {
        Bench bench(0xBD54);
        bench.device->values["cameraNumber"] = 42;
        if (c.failingRead)
            bench.device->failing.insert(c.failingRead);
        TallySettingsTab tab(&bench.connection);
        if (c.typeCamera) {
            tab.cameraNumberEdit()->selectAll();
            QTest::keyClicks(tab.cameraNumberEdit(), QStringLiteral("7"));
            ASSERT_EQ(tab.cameraNumberEdit()->text(), QStringLiteral("7")) << c.name;
        }
        if (c.toggleTally)
            tab.showTallyBox()->click();
        bench.device->clearLog();
        tab.revertChanges();
        EXPECT_EQ(bench.device->writes(), c.reverted) << c.name;
    }
}

TEST(TallySettingsTab, ToggleWritesShowTally)
{
    Bench bench(0xBD54);
    TallySettingsTab tab(&bench.connection);
    bench.device->clearLog();
    tab.showTallyBox()->click();
    tab.showTallyBox()->click();
    EXPECT_EQ(bench.device->writes(), (Writes{"setShowTally(0)", "setShowTally(1)"}));
}

// ---- DVI Extender -------------------------------------------------------------------------

TEST(DviExtenderSettingsTab, ClickWritesAtOnceAndCancelRestoresTheModeRead)
{
    const struct {
        const char* name;
        int deviceMode;
        bool readFails;
        int checked;
        Writes reverted;
    } cases[] = {
        {"extender read", 0, false, 0, {"setDviExtenderMode(0)"}},
        {"video read", 1, false, 1, {"setDviExtenderMode(1)"}},
        {"read fails", 1, true, 0, {}},
    };
    for (const auto& c : cases) {
        Bench bench(0xBD2C);
        bench.device->values["dviExtenderMode"] = c.deviceMode;
        if (c.readFails)
            bench.device->failing.insert("getDviExtenderMode");
        DviExtenderSettingsTab tab(&bench.connection);
        EXPECT_EQ(tab.modeGroup()->checkedId(), c.checked) << c.name;
        bench.device->clearLog();
        const int other = 1 - c.checked;
        settingstest::clickId(tab.modeGroup(), other);
        EXPECT_EQ(bench.device->writes(), Writes{"setDviExtenderMode(" + std::to_string(other) + ")"}) << c.name;
        bench.device->clearLog();
        tab.revertChanges();
        EXPECT_EQ(bench.device->writes(), c.reverted) << c.name;
    }
}

// ---- About --------------------------------------------------------------------------------

TEST(AboutSettingsTab, ShowsTheSoftwareVersion)
{
    for (const bool adjustable : {true, false}) {
        Bench bench;
        AboutSettingsTab tab(&bench.connection, adjustable);
        EXPECT_EQ(tab.versionLabel()->text(), QStringLiteral("7.6.1"));
        EXPECT_EQ(tab.sections().size(), adjustable ? 1 : 2);
        tab.revertChanges();
        EXPECT_TRUE(bench.device->writes().empty());
    }
}

} // namespace
