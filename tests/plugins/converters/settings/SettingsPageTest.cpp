#include "converters/ConverterCapabilities.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/card/CardFooter.h"
#include "kit/widgets/card/CardTabbedPages.h"
#include "kit/widgets/card/TabButton.h"
#include "plugins/converters/settings/ConverterSettingsPage.h"
#include "kit/widgets/settings/SettingsSlider.h"
#include "plugins/converters/settings/AudioSettingsTab.h"
#include "plugins/converters/settings/ConverterSettingsTab.h"
#include "plugins/converters/settings/DviExtenderSettingsTab.h"
#include "plugins/converters/settings/GainSlider.h"
#include "plugins/converters/settings/TallySettingsTab.h"
#include "plugins/converters/settings/VideoSettingsTab.h"
#include "tests/plugins/converters/settings/SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>

#include <functional>

namespace {

using settingstest::Bench;
using TWG::Converters::ConverterCapabilities;

QStringList tabTitles(const ConverterSettingsPage& page)
{
    QStringList titles;
    for (int i = 0; i < page.tabs()->count(); ++i)
        titles << page.tabs()->tabButton(i)->title();
    return titles;
}

ConverterCapabilities only(const std::function<void(ConverterCapabilities&)>& set)
{
    ConverterCapabilities c;
    c.adjustable = true;
    set(c);
    return c;
}

struct TabCase {
    const char* name;
    std::uint16_t product;
    std::function<void(settingstest::SettingsFakeConverter&)> setUp;
    QStringList titles;
    bool closeOnly;
};

const std::function<void(settingstest::SettingsFakeConverter&)> kAsModel = [](auto&) {};

std::function<void(settingstest::SettingsFakeConverter&)> failing(const char* query)
{
    return [query](settingstest::SettingsFakeConverter& d) { d.failing.insert(query); };
}

std::function<void(settingstest::SettingsFakeConverter&)> with(const ConverterCapabilities& c)
{
    return [c](settingstest::SettingsFakeConverter& d) { d.setCapabilities(c); };
}

TEST(ConverterSettingsPage, TabsFollowTheCapabilities)
{
    const QStringList videoAudio{"Video", "Audio", "About"};
    const TabCase cases[] = {
        {"gains, audio, downconversion", 0xBD2E, kAsModel, videoAudio, false},
        {"clamping and instant lock", 0xBD95, kAsModel, videoAudio, false},
        {"downconversion without gains", 0xBD18, kAsModel, videoAudio, false},
        {"3G level only", 0xBDC6, kAsModel, {"Video", "About"}, false},
        {"SD aspect only", 0xBE06, kAsModel, {"Video", "About"}, false},
        {"tally", 0xBD54, kAsModel, {"Tally", "About"}, false},
        {"DVI extender", 0xBD2C, kAsModel, {"Audio", "DVI Extender", "About"}, false},
        {"nothing adjustable", 0xBD30, kAsModel, {"About"}, true},
        {"unknown id", 0x1234, kAsModel, {"About"}, true},
        {"LUT alone", 0x1234, with(only([](auto& c) { c.lut = true; })), {"About"}, false},
        {"instant lock alone", 0x1234, with(only([](auto& c) { c.hdmiInstantLock = true; })), {"About"}, false},
        {"clamping query fails", 0xBD15, failing("hasClamping"), {"Audio", "About"}, false},
        {"gains query fails", 0xBD15, failing("hasVideoGains"), {"Audio", "About"}, false},
        {"SD aspect query fails", 0xBE06, failing("hasSdAspect"), {"About"}, false},
        {"audio query fails", 0xBD2E, failing("hasAudio"), {"Video", "About"}, false},
        {"tally query fails", 0xBD54, failing("hasTally"), {"About"}, false},
        {"DVI query fails", 0xBD2C, failing("hasDviExtender"), {"Audio", "About"}, false},
        {"adjustable query fails", 0xBD30, failing("hasAdjustableSettings"), {"About"}, false},
    };
    for (const TabCase& c : cases) {
        Bench bench(c.product);
        c.setUp(*bench.device);
        ConverterSettingsPage page(&bench.connection);
        EXPECT_EQ(tabTitles(page), c.titles) << c.name;
        EXPECT_EQ(page.settingsTabs().size(), c.titles.size()) << c.name;
        EXPECT_EQ(page.footer()->cancelButton()->isHidden(), c.closeOnly) << c.name;
        EXPECT_FALSE(page.footer()->saveButton()->isHidden()) << c.name;
        // A model without adjustable settings says so on its About tab.
        bool saysNoSettings = false;
        for (QLabel* label : page.findChildren<QLabel*>())
            saysNoSettings = saysNoSettings
                || label->text() == QLatin1String("There are no user-adjustable settings for this model.");
        EXPECT_EQ(saysNoSettings, c.closeOnly) << c.name;
        for (ConverterSettingsTab* tab : page.settingsTabs())
            EXPECT_EQ(tab->settingsStatus(), 1) << c.name;
    }
}

ConverterCapabilities everything()
{
    ConverterCapabilities c;
    c.adjustable = true;
    c.videoLevelsAreOutput = 1;
    c.audioLevelsAreOutput = 1;
    c.videoGains = c.audio = c.downconversion = c.aesEbuLevel = c.dviExtender = c.tally = true;
    c.clamping = c.videoLevel = c.hdmiInstantLock = c.lut = c.sdAspect = true;
    c.audioChannelCount = 4;
    return c;
}

// Opening a page only reads: Save and Cancel both close it and neither writes anything, so an
// untouched device keeps every setting (and its DIP-switch control) as it was.
TEST(ConverterSettingsPage, SaveAndCancelCloseWithoutWritingWhatWasNotChanged)
{
    for (const bool save : {true, false}) {
        Bench bench(0xBD15);
        bench.device->setCapabilities(everything());
        bench.device->values["downconversion"] = 2;
        bench.device->values["dviExtenderMode"] = 1;
        bench.device->videoGains = {{0, 100}, {1, 150}, {2, 90}};
        ConverterSettingsPage page(&bench.connection);
        ASSERT_EQ(tabTitles(page), (QStringList{"Video", "Audio", "Tally", "DVI Extender", "About"}));
        QSignalSpy closed(&page, &SettingsPage::closePage);
        const auto valuesBefore = bench.device->values;
        const auto gainsBefore = bench.device->videoGains;
        bench.device->clearLog();

        if (save)
            page.footer()->saveButton()->click();
        else
            page.footer()->cancelButton()->click();

        EXPECT_EQ(closed.count(), 1) << (save ? "save" : "cancel");
        EXPECT_TRUE(bench.device->writes().empty()) << (save ? "save" : "cancel");
        EXPECT_EQ(bench.device->values, valuesBefore);
        EXPECT_EQ(bench.device->videoGains, gainsBefore);
    }
}

// Cancel runs the tabs' write-backs in tab order.
TEST(ConverterSettingsPage, CancelRevertsEveryTabInTabOrder)
{
    Bench bench(0xBD15);
    bench.device->setCapabilities(everything());
    ConverterSettingsPage page(&bench.connection);
    const auto& tabs = page.settingsTabs();
    ASSERT_EQ(tabs.size(), 5);
    // One change on each of Video (luma), Audio (AES/EBU), Tally and DVI Extender.
    auto* video = dynamic_cast<VideoSettingsTab*>(tabs[0]);
    auto* audio = dynamic_cast<AudioSettingsTab*>(tabs[1]);
    auto* tally = dynamic_cast<TallySettingsTab*>(tabs[2]);
    auto* dvi = dynamic_cast<DviExtenderSettingsTab*>(tabs[3]);
    ASSERT_TRUE(video && audio && tally && dvi);
    settingstest::drag(video->lumaRow()->slider(), 30);
    settingstest::drag(audio->aesEbuRow()->slider(), 30);
    tally->showTallyBox()->click();
    settingstest::clickId(dvi->modeGroup(), 1);
    bench.device->clearLog();

    QSignalSpy closed(&page, &SettingsPage::closePage);
    page.footer()->cancelButton()->click();
    EXPECT_EQ(bench.device->writes(), (std::vector<std::string>{"setLumaGain(128)", "setAesEbuGain(64)",
                                                                "setShowTally(1)", "setDviExtenderMode(0)"}));
    EXPECT_EQ(closed.count(), 1);
}

} // namespace
