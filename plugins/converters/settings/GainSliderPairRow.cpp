#include "plugins/converters/settings/GainSliderPairRow.h"

#include "kit/widgets/settings/SettingsSlider.h"
#include "kit/widgets/settings/SettingsSliderLabel.h"
#include "kit/widgets/settings/SliderLinkBase.h"
#include "plugins/converters/settings/GainRowStyle.h"

#include <QSignalBlocker>

namespace {
constexpr int kHeight = 73;
constexpr int kRowDistance = 42;
constexpr int kLinkX = 562;
constexpr int kLinkY = 15;
} // namespace

using namespace GainRowStyle;

GainSliderPairRow::GainSliderPairRow(const QString& upperCaption, const QString& lowerCaption,
                                     GainLabelFormatter formatter, QWidget* parent)
    : QWidget(parent), upper_(new SettingsSlider(this)), lower_(new SettingsSlider(this)),
      upperLabel_(new SettingsSliderLabel(this)), lowerLabel_(new SettingsSliderLabel(this)),
      link_(new SliderLinkBase(this)), formatter_(formatter)
{
    setFixedSize(kRowWidth, kHeight);
    createCaption(upperCaption, kCaptionY, this);
    createCaption(lowerCaption, kCaptionY + kRowDistance, this);
    int y = 0;
    for (auto [slider, label] : {std::pair{upper_, upperLabel_}, std::pair{lower_, lowerLabel_}}) {
        slider->setRange(kGainMinimum, kGainMaximum);
        slider->move(kSliderX, y);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setFixedWidth(kValueWidth);
        label->move(kValueX, y + kValueYOffset);
        showValue(label, slider->value());
        y += kRowDistance;
    }
    link_->fitHeight(kRowDistance);
    link_->move(kLinkX, kLinkY);
    connect(upper_, &QAbstractSlider::valueChanged, this, &GainSliderPairRow::onLeftValueChanged);
    connect(lower_, &QAbstractSlider::valueChanged, this, &GainSliderPairRow::onRightValueChanged);
}

void GainSliderPairRow::setValues(std::uint8_t upper, std::uint8_t lower)
{
    follow(upper_, upperLabel_, upper);
    follow(lower_, lowerLabel_, lower);
}

void GainSliderPairRow::values(std::uint8_t* upper, std::uint8_t* lower) const
{
    const auto upperValue = static_cast<std::uint8_t>(upper_->value());
    if (upper)
        *upper = upperValue;
    if (lower)
        *lower = link_->isLinked() ? upperValue : static_cast<std::uint8_t>(lower_->value());
}

void GainSliderPairRow::linkIfEqual()
{
    if (upper_->value() == lower_->value())
        link_->setLinked(true);
}

void GainSliderPairRow::onLeftValueChanged(int value)
{
    showValue(upperLabel_, value);
    if (link_->isLinked())
        follow(lower_, lowerLabel_, value);
    emit gainChanged();
}

void GainSliderPairRow::onRightValueChanged(int value)
{
    showValue(lowerLabel_, value);
    if (link_->isLinked())
        follow(upper_, upperLabel_, value);
    emit gainChanged();
}

void GainSliderPairRow::showValue(SettingsSliderLabel* label, int value) const
{
    QString text;
    if (formatter_)
        formatter_(&text, static_cast<std::uint8_t>(value));
    label->setText(text);
}

void GainSliderPairRow::follow(SettingsSlider* slider, SettingsSliderLabel* label, int value)
{
    {
        const QSignalBlocker blocker(slider);
        slider->setValue(value);
    }
    showValue(label, slider->value());
}
