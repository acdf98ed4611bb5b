#pragma once

#include "plugins/converters/settings/ConverterSettingsTab.h"
#include "plugins/converters/settings/KeptSetting.h"

#include <cstdint>

class GainSlider;
class GainSliderPairRow;
class QAbstractButton;

// Audio gains: channels 1/2, channels 3/4 on four-channel models, and AES/EBU where offered.
class AudioSettingsTab : public ConverterSettingsTab {
    Q_OBJECT
public:
    explicit AudioSettingsTab(ConverterConnection* owner, QWidget* parent = nullptr);

    void commitChanges() override;
    void revertChanges() override;

    GainSliderPairRow* channels12Row() const { return ch12Row_; }
    GainSliderPairRow* channels34Row() const { return ch34Row_; }
    GainSlider* aesEbuRow() const { return aesEbuRow_; }
    QAbstractButton* resetButton() const { return resetButton_; }

public slots:
    void onResetLevels();
    void onCh12Change();
    void onCh34Change();
    void onAesEbuChange();

private:
    // Channel gains in the order Cancel writes them back: 1, 2, 3, 4, AES/EBU.
    enum Channel { Ch1, Ch2, Ch3, Ch4, AesEbu, ChannelCount };

    void buildControls();
    void readCurrentValues();
    void readPair(GainSliderPairRow* row, Channel upper, Channel lower);
    void writeGain(Channel channel, std::uint8_t value);
    void writePair(GainSliderPairRow* row, Channel upper, Channel lower);

    GainSliderPairRow* ch12Row_ = nullptr;
    GainSliderPairRow* ch34Row_ = nullptr;
    GainSlider* aesEbuRow_ = nullptr;
    QAbstractButton* resetButton_ = nullptr;
    KeptSetting<std::uint8_t> gains_[ChannelCount];
};
