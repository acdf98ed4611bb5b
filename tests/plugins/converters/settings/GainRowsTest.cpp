#include "kit/widgets/settings/SettingsSlider.h"
#include "kit/widgets/settings/SettingsSliderLabel.h"
#include "kit/widgets/settings/SliderLinkBase.h"
#include "plugins/converters/settings/GainLabels.h"
#include "plugins/converters/settings/GainSlider.h"
#include "plugins/converters/settings/GainSliderPairRow.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>

namespace {

struct LabelCase {
    GainLabelFormatter formatter;
    const char* name;
    int value;
    const char* text;
};

const LabelCase kLabelCases[] = {
    {videoGainLabel, "video", 0, "-43.00 dB"},
    {videoGainLabel, "video", 1, "-42.14 dB"},
    {videoGainLabel, "video", 64, "-6.02 dB"},
    {videoGainLabel, "video", 128, " 0.00 dB"},
    {videoGainLabel, "video", 254, " 5.95 dB"},
    {videoGainLabel, "video", 255, " 6.00 dB"},
    {audioGainLabel, "audio", 0, "Off"},
    {audioGainLabel, "audio", 1, "-36.12 dB"},
    {audioGainLabel, "audio", 32, "-6.02 dB"},
    {audioGainLabel, "audio", 64, " 0.00 dB"},
    {audioGainLabel, "audio", 254, "11.97 dB"},
    {audioGainLabel, "audio", 255, "12.00 dB"},
};

TEST(GainLabels, DecibelTextsAtTheEdgesAndUnity)
{
    for (const LabelCase& c : kLabelCases) {
        QString text = QStringLiteral("stale");
        c.formatter(&text, static_cast<std::uint8_t>(c.value));
        EXPECT_EQ(text.toStdString(), c.text) << c.name << " " << c.value;
    }
}

TEST(GainSlider, SetValueIsSilentButShowsTheValue)
{
    GainSlider row(QStringLiteral("Video:"), videoGainLabel);
    EXPECT_EQ(row.size(), QSize(620, 31));
    EXPECT_EQ(row.slider()->minimum(), 0);
    EXPECT_EQ(row.slider()->maximum(), 255);
    QSignalSpy moved(row.slider(), &QAbstractSlider::valueChanged);
    row.setValue(255);
    EXPECT_EQ(moved.count(), 0);
    EXPECT_EQ(row.value(), 255);
    EXPECT_EQ(row.valueLabel()->text(), QStringLiteral(" 6.00 dB"));
    row.slider()->setValue(128);
    EXPECT_EQ(moved.count(), 1);
    EXPECT_EQ(row.valueLabel()->text(), QStringLiteral(" 0.00 dB"));
}

// Moving either slider of a linked pair moves the other with it and counts as one change.
TEST(GainSliderPairRow, LinkedSlidersMoveTogetherWithOneChange)
{
    GainSliderPairRow row(QStringLiteral("Ch 1:"), QStringLiteral("Ch 2:"), audioGainLabel);
    EXPECT_EQ(row.size(), QSize(620, 73));
    row.setValues(64, 64);
    row.linkIfEqual();
    ASSERT_TRUE(row.link()->isLinked());
    QSignalSpy changed(&row, &GainSliderPairRow::gainChanged);

    for (auto [moved, other] : {std::pair{row.upperSlider(), row.lowerSlider()},
                                std::pair{row.lowerSlider(), row.upperSlider()}}) {
        changed.clear();
        const int target = moved->value() + 30;
        moved->setValue(target);
        EXPECT_EQ(changed.count(), 1);
        EXPECT_EQ(other->value(), target);
        std::uint8_t upper = 0;
        std::uint8_t lower = 0;
        row.values(&upper, &lower);
        EXPECT_EQ(upper, target);
        EXPECT_EQ(lower, target);
        EXPECT_EQ(row.upperLabel()->text(), row.lowerLabel()->text());
    }
}

TEST(GainSliderPairRow, UnlinkedSlidersMoveAlone)
{
    GainSliderPairRow row(QStringLiteral("B-Y:"), QStringLiteral("R-Y:"), videoGainLabel);
    row.setValues(100, 140);
    row.linkIfEqual();
    EXPECT_FALSE(row.link()->isLinked());
    QSignalSpy changed(&row, &GainSliderPairRow::gainChanged);
    row.lowerSlider()->setValue(0);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(row.upperSlider()->value(), 100);
    std::uint8_t upper = 0;
    std::uint8_t lower = 1;
    row.values(&upper, &lower);
    EXPECT_EQ(upper, 100);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(row.lowerLabel()->text(), QStringLiteral("-43.00 dB"));
}

// With the link switched on by hand, the pair reads as the upper value even before a move.
TEST(GainSliderPairRow, LinkedValuesFollowTheUpperSlider)
{
    GainSliderPairRow row(QStringLiteral("B-Y:"), QStringLiteral("R-Y:"), videoGainLabel);
    row.setValues(90, 150);
    row.link()->setLinked(true);
    std::uint8_t upper = 0;
    std::uint8_t lower = 0;
    row.values(&upper, &lower);
    EXPECT_EQ(upper, 90);
    EXPECT_EQ(lower, 90);
}

} // namespace
