#pragma once

#include "plugins/converters/settings/GainLabels.h"

#include <QWidget>

#include <cstdint>

class QLabel;
class SettingsSlider;
class SettingsSliderLabel;

// One gain byte as a captioned 0-255 slider with its value in words beside it.
class GainSlider : public QWidget {
    Q_OBJECT
public:
    GainSlider(const QString& caption, GainLabelFormatter formatter, QWidget* parent = nullptr);

    // Moves the slider without announcing it.
    void setValue(std::uint8_t value);
    std::uint8_t value() const;

    SettingsSlider* slider() const { return slider_; }
    QLabel* valueLabel() const;

public slots:
    void onValueChanged(int value);

private:
    SettingsSlider* slider_;
    SettingsSliderLabel* valueLabel_;
    GainLabelFormatter formatter_;
};
