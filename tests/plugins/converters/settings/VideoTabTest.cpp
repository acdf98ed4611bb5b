#include "converters/ConverterCapabilities.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/settings/SettingsLabel.h"
#include "kit/widgets/settings/SettingsSlider.h"
#include "kit/widgets/settings/SliderLinkBase.h"
#include "plugins/converters/settings/GainSlider.h"
#include "plugins/converters/settings/GainSliderPairRow.h"
#include "plugins/converters/settings/VideoSettingsTab.h"
#include "tests/plugins/converters/settings/SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <QLabel>

#include <functional>

namespace {

using settingstest::Bench;
using settingstest::clickId;
using settingstest::drag;
using Writes = std::vector<std::string>;

TWG::Converters::ConverterCapabilities allVideo()
{
    TWG::Converters::ConverterCapabilities c;
    c.adjustable = true;
    c.videoLevelsAreOutput = 1;
    c.videoGains = c.downconversion = c.clamping = c.videoLevel = c.hdmiInstantLock = c.lut = c.sdAspect = true;
    return c;
}

// A converter with every video control, its settings away from their defaults.
struct VideoBench : Bench {
    explicit VideoBench(std::uint16_t productId = 0xBD15)
        : Bench(productId)
    {
        device->setCapabilities(allVideo());
        device->videoGains = {{0, 100}, {1, 150}, {2, 90}}; // luma, R-Y, B-Y
        device->values["clampingDisabled"] = 1;
        device->values["hdmiInstantLock"] = 1;
        device->values["downconversion"] = 2;
        device->values["downconversionExtra"] = 1;
        device->values["videoLevel"] = 1;
        device->values["sdAspectWide"] = 1;
    }
    std::unique_ptr<VideoSettingsTab> open()
    {
        auto tab = std::make_unique<VideoSettingsTab>(&connection);
        device->clearLog();
        return tab;
    }
};

using Action = std::function<void(VideoSettingsTab&)>;

void dragLuma(VideoSettingsTab& t) { drag(t.lumaRow()->slider(), 200); }
void dragChromaUpper(VideoSettingsTab& t) { drag(t.chromaRow()->upperSlider(), 60); }
void clickClamping(VideoSettingsTab& t) { t.clampingBox()->click(); }
void clickInstantLock(VideoSettingsTab& t) { t.instantLockBox()->click(); }
void clickLevelB(VideoSettingsTab& t) { clickId(t.videoLevelGroup().buttonGroup(), 0); }
void clickNarrow(VideoSettingsTab& t) { clickId(t.sdAspectGroup().buttonGroup(), 0); }
void clickLetterbox(VideoSettingsTab& t) { clickId(t.downconversionGroup().buttonGroup(), 3); }
void clickReset(VideoSettingsTab& t) { t.resetButton()->click(); }

TEST(VideoSettingsTab, ReadsWhatTheDeviceHolds)
{
    VideoBench bench;
    auto tab = bench.open();
    EXPECT_EQ(tab->lumaRow()->value(), 100);
    EXPECT_EQ(tab->chromaRow()->upperSlider()->value(), 90);
    EXPECT_EQ(tab->chromaRow()->lowerSlider()->value(), 150);
    EXPECT_FALSE(tab->chromaRow()->link()->isLinked());
    EXPECT_FALSE(tab->clampingBox()->isChecked());
    EXPECT_FALSE(tab->clampingNote()->parentWidget()->isHidden());
    EXPECT_TRUE(tab->instantLockBox()->isChecked());
    EXPECT_FALSE(tab->instantLockNote()->parentWidget()->isHidden());
    EXPECT_EQ(tab->videoLevelGroup().buttonGroup()->checkedId(), 1);
    EXPECT_EQ(tab->sdAspectGroup().buttonGroup()->checkedId(), 1);
    EXPECT_EQ(tab->downconversionGroup().buttonGroup()->checkedId(), 2);
    EXPECT_TRUE(tab->downconversionNote()->parentWidget()->isHidden());
    EXPECT_TRUE(bench.device->writes().empty());
}

// Every control writes its value the moment it changes, and nothing else.
TEST(VideoSettingsTab, EveryControlWritesAtOnce)
{
    struct Case {
        const char* name;
        Action action;
        Writes writes;
    };
    const Case cases[] = {
        {"luma", dragLuma, {"setLumaGain(200)"}},
        {"chroma", dragChromaUpper, {"setChromaBGain(60)", "setChromaRGain(150)"}},
        {"clipping", clickClamping, {"setClampingDisabled(0)"}},
        {"instant lock", clickInstantLock, {"setHdmiInstantLock(0)"}},
        {"3G level", clickLevelB, {"setVideoLevel(0)"}},
        {"SD aspect", clickNarrow, {"setSdAspectWide(0)"}},
        {"downconversion", clickLetterbox, {"setDownconversion(3)"}},
        {"reset levels", clickReset, {"setLumaGain(128)", "setChromaBGain(128)", "setChromaRGain(128)"}},
    };
    for (const Case& c : cases) {
        VideoBench bench;
        auto tab = bench.open();
        c.action(*tab);
        EXPECT_EQ(bench.device->writes(), c.writes) << c.name;
    }
}

TEST(VideoSettingsTab, ResetShowsUnityOnEveryGainSlider)
{
    VideoBench bench;
    auto tab = bench.open();
    clickReset(*tab);
    EXPECT_EQ(tab->lumaRow()->value(), 128);
    EXPECT_EQ(tab->chromaRow()->upperSlider()->value(), 128);
    EXPECT_EQ(tab->chromaRow()->lowerSlider()->value(), 128);
    EXPECT_EQ(bench.device->videoGains, (std::map<int, std::uint8_t>{{0, 128}, {1, 128}, {2, 128}}));
}

// Unchecking the clip box turns clipping off on the device and explains what that means.
TEST(VideoSettingsTab, UncheckingClippingWritesDisabledAndShowsTheNote)
{
    VideoBench bench;
    bench.device->values["clampingDisabled"] = 0;
    auto tab = bench.open();
    ASSERT_TRUE(tab->clampingBox()->isChecked());
    EXPECT_TRUE(tab->clampingNote()->parentWidget()->isHidden());
    tab->clampingBox()->click();
    EXPECT_EQ(bench.device->writes(), Writes{"setClampingDisabled(1)"});
    EXPECT_FALSE(tab->clampingNote()->parentWidget()->isHidden());
}

TEST(VideoSettingsTab, ChromaReadAsEqualLinksTheSliders)
{
    VideoBench bench;
    bench.device->videoGains = {{0, 128}, {1, 120}, {2, 120}};
    auto tab = bench.open();
    ASSERT_TRUE(tab->chromaRow()->link()->isLinked());
    drag(tab->chromaRow()->upperSlider(), 170);
    EXPECT_EQ(tab->chromaRow()->lowerSlider()->value(), 170);
    EXPECT_EQ(bench.device->writes(), (Writes{"setChromaBGain(170)", "setChromaRGain(170)"}));
}

// The model names its output in the clipping note; when the id cannot be read it says HDMI.
TEST(VideoSettingsTab, ClippingNoteNamesTheOutput)
{
    const struct {
        std::uint16_t product;
        bool idFails;
        const char* output;
    } cases[] = {{0xBD15, false, "Analog"}, {0xBD91, false, "Analog"}, {0xBD95, false, "HDMI"},
                 {0xBE0C, false, "HDMI"},   {0xBD15, true, "HDMI"}};
    for (const auto& c : cases) {
        VideoBench bench(c.product);
        if (c.idFails)
            bench.device->failing.insert("readDeviceIds");
        auto tab = bench.open();
        EXPECT_EQ(tab->clampingNote()->text(),
                  QStringLiteral("The %1 output will not be a true representation of the SDI input, and may display illegal colors.")
                      .arg(QLatin1String(c.output)))
            << std::hex << c.product;
    }
}

TEST(VideoSettingsTab, OffIsOfferedExceptOnTheModelWithoutIt)
{
    for (const auto& [product, idFails, offered] :
         {std::tuple{0xBD15, false, true}, std::tuple{0xBD91, false, false}, std::tuple{0xBD91, true, true}}) {
        VideoBench bench(static_cast<std::uint16_t>(product));
        if (idFails)
            bench.device->failing.insert("readDeviceIds");
        auto tab = bench.open();
        EXPECT_EQ(tab->offersDownconversionOff(), offered) << std::hex << product;
        EXPECT_EQ(tab->downconversionGroup().buttonGroup()->button(0) != nullptr, offered) << std::hex << product;
        EXPECT_EQ(tab->downconversionGroup().buttonGroup()->buttons().size(), offered ? 4 : 3);
    }
}

// A DIP-switch change on the device shows on the page within half a second or so.
TEST(VideoSettingsTab, FollowsDownconversionChangedOnTheDevice)
{
    VideoBench bench;
    auto tab = bench.open();
    QButtonGroup* group = tab->downconversionGroup().buttonGroup();
    ASSERT_EQ(group->checkedId(), 2);
    bench.device->values["downconversion"] = 3;
    bench.device->values["downconversionExtra"] = 0;
    EXPECT_TRUE(settingstest::waitFor([&] { return group->checkedId() == 3; }, 1000));
    EXPECT_FALSE(tab->downconversionNote()->parentWidget()->isHidden());
    bench.device->values["downconversion"] = 0;
    EXPECT_TRUE(settingstest::waitFor([&] { return group->checkedId() == 0; }, 1000));
    const auto& calls = bench.device->calls;
    EXPECT_NE(std::find(calls.begin(), calls.end(), "readRegister(0)"), calls.end()) << "no ping";
    EXPECT_TRUE(bench.device->writes().empty());
}

TEST(VideoSettingsTab, WithoutOffAModeOfZeroLeavesTheChoiceAlone)
{
    VideoBench bench(0xBD91);
    auto tab = bench.open();
    QButtonGroup* group = tab->downconversionGroup().buttonGroup();
    ASSERT_EQ(group->checkedId(), 2);
    bench.device->values["downconversion"] = 0;
    bench.device->values["downconversionExtra"] = 0;
    // The flag changed with the mode, so the page has taken the new pair once the note shows.
    EXPECT_TRUE(settingstest::waitFor([&] { return !tab->downconversionNote()->parentWidget()->isHidden(); }, 1000));
    EXPECT_EQ(group->checkedId(), 2);
}

TEST(VideoSettingsTab, CancelWritesBackInOrderWhatWasRead)
{
    VideoBench bench;
    auto tab = bench.open();
    for (const Action& action : {Action(dragLuma), Action(dragChromaUpper), Action(clickClamping),
                                 Action(clickInstantLock), Action(clickLevelB), Action(clickNarrow),
                                 Action(clickLetterbox)})
        action(*tab);
    drag(tab->chromaRow()->lowerSlider(), 10);
    bench.device->clearLog();
    tab->revertChanges();
    EXPECT_EQ(bench.device->writes(),
              (Writes{"setLumaGain(100)", "setChromaBGain(90)", "setChromaRGain(150)", "setClampingDisabled(1)",
                      "setHdmiInstantLock(1)", "setDownconversion(2)", "setVideoLevel(1)", "setSdAspectWide(1)"}));
}

// Cancel writes back only a setting that was read and that the tab has written since: by its
// control, by the linked partner, or by the reset.
TEST(VideoSettingsTab, CancelWritesBackOnlyReadSettingsThatWereWritten)
{
    struct Case {
        const char* name;
        std::vector<const char*> failingReads;
        bool equalChroma;
        Action action;
        Writes reverted;
    };
    const Case cases[] = {
        {"nothing moved", {}, false, [](VideoSettingsTab&) {}, {}},
        {"luma only", {}, false, dragLuma, {"setLumaGain(100)"}},
        {"luma unread", {"getLumaGain"}, false, dragLuma, {}},
        {"R-Y unread", {"getChromaRGain"}, false, dragChromaUpper, {"setChromaBGain(90)"}},
        {"linked partner", {}, true, [](VideoSettingsTab& t) { drag(t.chromaRow()->lowerSlider(), 5); },
         {"setChromaBGain(120)", "setChromaRGain(120)"}},
        {"reset", {}, false, clickReset, {"setLumaGain(100)", "setChromaBGain(90)", "setChromaRGain(150)"}},
        {"clipping unread", {"getClampingDisabled"}, false, clickClamping, {}},
        {"instant lock unread", {"getHdmiInstantLock"}, false, clickInstantLock, {}},
        {"3G level unread", {"getVideoLevel"}, false, clickLevelB, {}},
        {"SD aspect unread", {"getSdAspectWide"}, false, clickNarrow, {}},
        {"downconversion unread", {"getDownconversion"}, false, clickLetterbox, {}},
        {"downconversion", {}, false, clickLetterbox, {"setDownconversion(2)"}},
    };
    for (const Case& c : cases) {
        VideoBench bench;
        if (c.equalChroma)
            bench.device->videoGains = {{0, 100}, {1, 120}, {2, 120}};
        for (const char* read : c.failingReads)
            bench.device->failing.insert(read);
        auto tab = bench.open();
        c.action(*tab);
        bench.device->clearLog();
        tab->revertChanges();
        EXPECT_EQ(bench.device->writes(), c.reverted) << c.name;
    }
}

TEST(VideoSettingsTab, LutRowsShowTheNamesReadAndOfferLoading)
{
    VideoBench bench;
    bench.device->lutNames[1] = "Warm look";
    bench.device->failing.insert("getLutName");
    auto unnamed = bench.open();
    EXPECT_EQ(unnamed->lutLabel(0)->text(), QStringLiteral("LUT 0"));
    EXPECT_EQ(unnamed->lutLabel(1)->text(), QStringLiteral("LUT 1"));
    bench.device->failing.clear();
    auto named = bench.open();
    EXPECT_EQ(named->lutLabel(1)->text(), QStringLiteral("Warm look"));
    for (int i = 0; i < VideoSettingsTab::kLutCount; ++i) {
        ASSERT_NE(named->lutButton(i), nullptr);
        EXPECT_TRUE(named->lutButton(i)->isEnabled());
        EXPECT_EQ(named->lutButton(i)->text(), QStringLiteral("Load"));
    }
}

// A slot that was never written reads as erased EEPROM (0xFF): it keeps its placeholder, and a
// name is not followed into the erased bytes after it.
TEST(VideoSettingsTab, ErasedLutSlotsShowNoName)
{
    VideoBench bench;
    bench.device->lutNames[0] = std::string(40, '\xFF');
    bench.device->lutNames[1] = "Warm look\xFF\xFF\xFF";
    auto tab = bench.open();
    EXPECT_EQ(tab->lutLabel(0)->text(), QStringLiteral("LUT 0"));
    EXPECT_EQ(tab->lutLabel(1)->text(), QStringLiteral("Warm look"));
}

} // namespace
