#pragma once

#include "kit/widgets/settings/RadioGroup.h"
#include "plugins/converters/settings/ConverterSettingsTab.h"
#include "plugins/converters/settings/KeptSetting.h"
#include "plugins/converters/settings/LutDialogs.h"

#include <cstdint>
#include <utility>

class CardPushButton;
class GainSlider;
class GainSliderPairRow;
class QAbstractButton;
class QLabel;
class QSignalMapper;
class QTimer;
class SettingsLabel;
class TavrinLUT;

// Video gains and processing options; every row is offered only when the model has it.
class VideoSettingsTab : public ConverterSettingsTab {
    Q_OBJECT
public:
    static constexpr int kLutCount = 2;
    static constexpr int kResampleIntervalMs = 500;

    explicit VideoSettingsTab(ConverterConnection* owner, QWidget* parent = nullptr);

    void commitChanges() override;
    void revertChanges() override;

    GainSlider* lumaRow() const { return lumaRow_; }
    GainSliderPairRow* chromaRow() const { return chromaRow_; }
    QAbstractButton* resetButton() const { return resetButton_; }
    QAbstractButton* clampingBox() const { return clampingBox_; }
    QLabel* clampingNote() const { return clampingNote_; }
    QAbstractButton* instantLockBox() const { return instantLockBox_; }
    QLabel* instantLockNote() const { return instantLockNote_; }
    const RadioGroup& videoLevelGroup() const { return videoLevelGroup_; }
    const RadioGroup& sdAspectGroup() const { return sdAspectGroup_; }
    const RadioGroup& downconversionGroup() const { return downconversionGroup_; }
    QLabel* downconversionNote() const { return downconversionNote_; }
    bool offersDownconversionOff() const { return offOffered_; }
    SettingsLabel* lutLabel(int index) const;
    CardPushButton* lutButton(int index) const;
    void setLutDialogs(LutDialogs dialogs) { lutDialogs_ = std::move(dialogs); }

    // Sends the LUT sampled on the converter's grid to slot index under name.
    void uploadLut(const TavrinLUT& lut, int index, const QString& name);

public slots:
    void onResetLevels();
    void onLumaChange();
    void onChromaChange();
    void onClampingChange();
    void onVideoLevelChange();
    void onHDMIResyncChange();
    void onDownconversionChanged();
    void onLoadLut(int index);
    void onSdAspectChange();
    void resampleDownconversion();

private:
    void buildControls();
    void buildDownconversion(bool haveProductId, std::uint16_t productId);
    void buildLutRow(int index);
    void readCurrentValues();
    void showDownconversion(int mode, std::uint8_t flag);
    void restoreDownconversionControl(TWG::Converters::IConverter* d);

    GainSlider* lumaRow_ = nullptr;
    GainSliderPairRow* chromaRow_ = nullptr;
    QAbstractButton* resetButton_ = nullptr;
    QAbstractButton* clampingBox_ = nullptr;
    QLabel* clampingNote_ = nullptr;
    QAbstractButton* instantLockBox_ = nullptr;
    QLabel* instantLockNote_ = nullptr;
    RadioGroup videoLevelGroup_;
    SettingsLabel* lutLabels_[kLutCount] = {};
    CardPushButton* lutButtons_[kLutCount] = {};
    QSignalMapper* lutMapper_ = nullptr;
    LutDialogs lutDialogs_ = LutDialogs::modal();
    RadioGroup sdAspectGroup_;
    RadioGroup downconversionGroup_;
    QLabel* downconversionNote_ = nullptr;
    QTimer* resampleTimer_ = nullptr;
    bool offOffered_ = true;

    KeptSetting<std::uint8_t> luma_;
    KeptSetting<std::uint8_t> chromaB_;
    KeptSetting<std::uint8_t> chromaR_;
    KeptSetting<bool> clampingDisabled_;
    KeptSetting<bool> instantLock_;
    KeptSetting<bool> videoLevel_;
    KeptSetting<bool> sdAspectWide_;
    KeptSetting<int> downconversion_;
    bool downconversionOverridden_ = false; // an FX2's override bit as read with the mode
    int shownMode_ = 0;
    std::uint8_t shownFlag_ = 0;
};
