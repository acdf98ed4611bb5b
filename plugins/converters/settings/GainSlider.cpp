#include "plugins/converters/settings/GainSlider.h"

#include "kit/widgets/settings/SettingsSlider.h"
#include "kit/widgets/settings/SettingsSliderLabel.h"
#include "plugins/converters/settings/GainRowStyle.h"

#include <QSignalBlocker>

namespace {
constexpr int kHeight = 31;
}

using namespace GainRowStyle;

GainSlider::GainSlider(const QString& caption, GainLabelFormatter formatter, QWidget* parent)
    : QWidget(parent), slider_(new SettingsSlider(this)), valueLabel_(new SettingsSliderLabel(this)),
      formatter_(formatter)
{
    setFixedSize(kRowWidth, kHeight);
    createCaption(caption, kCaptionY, this);
    slider_->setRange(kGainMinimum, kGainMaximum);
    slider_->move(kSliderX, 0);
    valueLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    valueLabel_->setFixedWidth(kValueWidth);
    valueLabel_->move(kValueX, kValueYOffset);
    onValueChanged(slider_->value());
    connect(slider_, &QAbstractSlider::valueChanged, this, &GainSlider::onValueChanged);
}

void GainSlider::setValue(std::uint8_t value)
{
    {
        const QSignalBlocker blocker(slider_);
        slider_->setValue(value);
    }
    onValueChanged(slider_->value());
}

std::uint8_t GainSlider::value() const
{
    return static_cast<std::uint8_t>(slider_->value());
}

QLabel* GainSlider::valueLabel() const
{
    return valueLabel_;
}

void GainSlider::onValueChanged(int value)
{
    QString text;
    if (formatter_)
        formatter_(&text, static_cast<std::uint8_t>(value));
    valueLabel_->setText(text);
}
