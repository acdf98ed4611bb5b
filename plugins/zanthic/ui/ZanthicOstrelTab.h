#pragma once

#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/ui/D2SettingsTab.h"
#include "plugins/zanthic/ui/FactoryResetDialog.h"

#include <QPointer>

#include <cstdint>
#include <memory>

class QButtonGroup;

namespace TWG {
namespace Zanthic {

class D2FirmwareUpdateRow;
class D2SettingsLineEdit;
class D2SettingsPushButton;

// The "Setup" tab: name, software, camera id, HDMI clip, audio mapping, SDI level and factory
// reset, each section only where the device has the setting. A click writes the device at once;
// the name goes on Save; Cancel writes back what the tab read when it was built.
class ZanthicOstrelTab : public D2SettingsTab, public ZanthicConvertersConnectedDevice::Delegate {
    Q_OBJECT
public:
    ZanthicOstrelTab(std::shared_ptr<ZanthicConvertersConnectedDevice> device, QWidget* card, QWidget* page);
    ~ZanthicOstrelTab() override;

    void revertSettings() override;
    void applySettings() override;

    void setLutSelection(std::uint8_t) override {}
    void setLutInfo(int, const QString&) override {}
    void setLutOnLoopOutput(bool) override {}
    void setLutOnSdiOutput(bool) override {}
    void setLutOnHdmiOutput(bool) override {}
    void setHdmiClipLevel(bool on) override;
    void setAudioMapping(bool swapped) override;
    void setSecondAudioMapping(bool swapped) override;
    void setSdiOutputLevel(bool levelA) override;
    void zephIdChanged(std::uint8_t) override {}

    D2SettingsLineEdit* nameField() const { return nameField_; }
    D2SettingsLineEdit* cameraIdField() const { return cameraIdField_; }
    D2FirmwareUpdateRow* firmwareRow() const { return firmwareRow_; }
    QButtonGroup* hdmiClipGroup() const { return hdmiClip_; }
    QButtonGroup* rxMappingGroup() const { return rxMapping_; }
    QButtonGroup* txMappingGroup() const { return txMapping_; }
    QButtonGroup* sdiLevelGroup() const { return sdiLevel_; }
    D2SettingsPushButton* factoryResetButton() const { return resetButton_; }
    FactoryResetDialog* factoryResetDialog() const { return resetDialog_; }

signals:
    void firmwareUpdateRequested(bool confirm);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QButtonGroup* addChoice(const QString& section, const QString& label, const QList<QPair<int, QString>>& entries,
                            bool saved, void (ZanthicConvertersConnectedDevice::*write)(bool));
    void onCameraIdFinished();
    void onFactoryReset();

    std::shared_ptr<ZanthicConvertersConnectedDevice> device_;
    QPointer<QWidget> card_;
    D2SettingsLineEdit* nameField_ = nullptr;
    D2FirmwareUpdateRow* firmwareRow_ = nullptr;
    D2SettingsLineEdit* cameraIdField_ = nullptr;
    QButtonGroup* hdmiClip_ = nullptr;
    QButtonGroup* rxMapping_ = nullptr;
    QButtonGroup* txMapping_ = nullptr;
    QButtonGroup* sdiLevel_ = nullptr;
    D2SettingsPushButton* resetButton_ = nullptr;
    QPointer<FactoryResetDialog> resetDialog_;
    bool savedHdmiClip_ = false;
    bool savedRxMapping_ = false;
    bool savedTxMapping_ = false;
    bool savedSdiLevelA_ = false;
    std::uint8_t savedCameraId_ = 0;
};

} // namespace Zanthic
} // namespace TWG
