#pragma once

#include "plugins/converters/settings/GainLabels.h"

#include <QWidget>

#include <cstdint>

class SettingsSlider;
class SettingsSliderLabel;
class SliderLinkBase;

// Two gain bytes as an upper and a lower slider with a link between them: while linked, moving
// one moves the other and both count as one change.
class GainSliderPairRow : public QWidget {
    Q_OBJECT
public:
    GainSliderPairRow(const QString& upperCaption, const QString& lowerCaption,
                      GainLabelFormatter formatter, QWidget* parent = nullptr);

    // Moves both sliders without announcing it.
    void setValues(std::uint8_t upper, std::uint8_t lower);
    // While linked, lower is the upper value.
    void values(std::uint8_t* upper, std::uint8_t* lower) const;
    void linkIfEqual();

    SettingsSlider* upperSlider() const { return upper_; }
    SettingsSlider* lowerSlider() const { return lower_; }
    SettingsSliderLabel* upperLabel() const { return upperLabel_; }
    SettingsSliderLabel* lowerLabel() const { return lowerLabel_; }
    SliderLinkBase* link() const { return link_; }

signals:
    void gainChanged();

public slots:
    void onLeftValueChanged(int value);
    void onRightValueChanged(int value);

private:
    void showValue(SettingsSliderLabel* label, int value) const;
    void follow(SettingsSlider* slider, SettingsSliderLabel* label, int value);

    SettingsSlider* upper_;
    SettingsSlider* lower_;
    SettingsSliderLabel* upperLabel_;
    SettingsSliderLabel* lowerLabel_;
    SliderLinkBase* link_;
    GainLabelFormatter formatter_;
};
