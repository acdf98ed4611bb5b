#include "kit/widgets/settings/SettingsSliderValue.h"

#include <QAbstractSlider>

SettingsSliderValue::SettingsSliderValue(QWidget* parent)
    : SettingsSliderLabel(parent)
{
}

void SettingsSliderValue::setSlider(QAbstractSlider* slider, const QString& format)
{
    if (slider_)
        disconnect(slider_, nullptr, this, nullptr);
    slider_ = slider;
    format_ = format;
    if (!slider)
        return;
    connect(slider, &QAbstractSlider::valueChanged, this, &SettingsSliderValue::onValueChanged);
    onValueChanged(slider->value());
}

void SettingsSliderValue::onValueChanged(int value)
{
    if (decimals_ > 0)
        setText(format_.arg(static_cast<double>(value / divisor_), 0, 'f', decimals_));
    else
        setText(format_.arg(value, 0, 10));
}
