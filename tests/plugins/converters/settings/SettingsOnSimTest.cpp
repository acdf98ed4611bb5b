#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/card/CardFooter.h"
#include "kit/widgets/settings/SettingsSlider.h"
#include "plugins/converters/settings/ConverterConnection.h"
#include "plugins/converters/settings/ConverterSettingsPage.h"
#include "plugins/converters/settings/GainSlider.h"
#include "plugins/converters/settings/VideoSettingsTab.h"
#include "protocol/Fx2Registers.h"
#include "tests/converters/support/ConverterSimFixture.h"
#include "tests/plugins/converters/settings/SettingsTestSupport.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QSignalSpy>

namespace {

namespace reg = TWG::Converters::fx2reg;
constexpr int kWriteRegister = 0xD7;
constexpr std::uint8_t kDownconversionOverride = 1u << reg::kDownconversionControlBit;
constexpr int kAnamorphic = 1;
constexpr int kLetterbox = 3;

// The settings page on a simulated FX2 converter whose downconversion follows its DIP switches.
class SettingsOnSim : public convtest::ConverterSimFixture {
protected:
    void SetUp() override
    {
        model = attachFx2(0xBD15);
        start();
        converter = only();
        ASSERT_TRUE(converter);
        ASSERT_TRUE(converter->writeRegister(reg::kLumaGain, 99));
        ASSERT_TRUE(converter->writeRegister(reg::kProcessing, 0x01));
        ASSERT_EQ(model->reg(reg::kControlSelect), 0);
        ASSERT_NO_FATAL_FAILURE(open());
    }
    void open()
    {
        page.reset();
        connection = std::make_unique<ConverterConnection>(nullptr, converter);
        page = std::make_unique<ConverterSettingsPage>(connection.get());
        ASSERT_FALSE(page->settingsTabs().isEmpty());
        video = dynamic_cast<VideoSettingsTab*>(page->settingsTabs().first());
        ASSERT_TRUE(video);
        writesAtOpen = controls(kWriteRegister).size();
    }
    void TearDown() override
    {
        page.reset();
        connection.reset();
    }

    std::shared_ptr<platform::SimFx2Running> model;
    TWG::Converters::IConverter* converter = nullptr;
    std::unique_ptr<ConverterConnection> connection;
    std::unique_ptr<ConverterSettingsPage> page;
    VideoSettingsTab* video = nullptr;
    std::size_t writesAtOpen = 0;
};

// Opening and cancelling sends no write at all: the switches keep control of downconversion.
TEST_F(SettingsOnSim, OpenThenCancelLeavesTheDeviceAlone)
{
    EXPECT_EQ(writesAtOpen, 2u) << "only the two set-up writes";
    QSignalSpy closed(page.get(), &SettingsPage::closePage);
    page->footer()->cancelButton()->click();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(controls(kWriteRegister).size(), writesAtOpen);
    EXPECT_EQ(model->reg(reg::kControlSelect), 0);
    EXPECT_EQ(model->reg(reg::kLumaGain), 99);
}

TEST_F(SettingsOnSim, AMovedGainIsWrittenAtOnceAndCancelRestoresIt)
{
    ASSERT_EQ(video->lumaRow()->value(), 99);
    video->lumaRow()->slider()->setValue(200);
    EXPECT_EQ(model->reg(reg::kLumaGain), 200);
    page->footer()->cancelButton()->click();
    EXPECT_EQ(model->reg(reg::kLumaGain), 99);
    EXPECT_EQ(model->reg(reg::kControlSelect), 0) << "downconversion was not touched";
}

// Choosing a mode puts downconversion under software control; Cancel gives it back to whoever
// had it at open: the DIP switches, or the software with the mode it had then.
TEST_F(SettingsOnSim, CancelAfterADownconversionChangeLeavesItsControlAsItWas)
{
    for (const bool overriddenAtOpen : {false, true}) {
        SCOPED_TRACE(overriddenAtOpen ? "software control at open" : "switch control at open");
        ASSERT_TRUE(converter->writeRegister(reg::kControlSelect, 0));
        if (overriddenAtOpen) {
            ASSERT_TRUE(converter->setDownconversion(kAnamorphic));
        }
        ASSERT_NO_FATAL_FAILURE(open());
        int modeAtOpen = -1;
        std::uint8_t overriddenFlag = 0xFF;
        ASSERT_TRUE(converter->getDownconversion(&modeAtOpen, &overriddenFlag));
        ASSERT_EQ(int(overriddenFlag), overriddenAtOpen ? 1 : 0);
        ASSERT_NE(modeAtOpen, kLetterbox);

        ASSERT_NO_FATAL_FAILURE(settingstest::clickId(video->downconversionGroup().buttonGroup(), kLetterbox));
        ASSERT_EQ(model->reg(reg::kControlSelect) & kDownconversionOverride, kDownconversionOverride);
        page->footer()->cancelButton()->click();

        EXPECT_EQ(model->reg(reg::kControlSelect) & kDownconversionOverride,
                  overriddenAtOpen ? kDownconversionOverride : 0);
        int mode = -1;
        std::uint8_t flag = 0xFF;
        ASSERT_TRUE(converter->getDownconversion(&mode, &flag));
        EXPECT_EQ(mode, modeAtOpen);
        EXPECT_EQ(int(flag), int(overriddenFlag));
    }
}

TEST_F(SettingsOnSim, SaveKeepsWhatWasWritten)
{
    video->lumaRow()->slider()->setValue(180);
    const std::size_t writes = controls(kWriteRegister).size();
    QSignalSpy closed(page.get(), &SettingsPage::closePage);
    page->footer()->saveButton()->click();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_EQ(controls(kWriteRegister).size(), writes);
    EXPECT_EQ(model->reg(reg::kLumaGain), 180);
}

} // namespace
