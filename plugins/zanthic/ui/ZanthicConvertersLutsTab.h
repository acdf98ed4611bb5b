#pragma once

#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/ui/D2SettingsTab.h"
#include "plugins/zanthic/ui/DeleteLutDialog.h"
#include "plugins/zanthic/ui/TransferProgressDialog.h"

#include <QFileDialog>

#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <memory>

class QButtonGroup;

namespace TWG {
namespace Zanthic {

class D2SettingsCheckBox;
class D2SettingsLabel;
class D2SettingsPushButton;

// A LUT's name as the device stores it: at most maxBytes UTF-8 bytes, never a split character.
QString cutToUtf8Bytes(const QString& name, int maxBytes);

// The "LUTs" tab: the 3D LUT on or off, the outputs it applies to, and the one LUT slot with
// Import and Delete. Clicks write the device at once; Cancel writes back what the tab read,
// unless the device then holds no LUT.
class ZanthicConvertersLutsTab : public D2SettingsTab, public ZanthicConvertersConnectedDevice::Delegate {
    Q_OBJECT
public:
    static constexpr int kLutNameBytes = 63;

    ZanthicConvertersLutsTab(std::shared_ptr<ZanthicConvertersConnectedDevice> device, QWidget* page);
    ~ZanthicConvertersLutsTab() override;

    void revertSettings() override;
    void applySettings() override {}

    void setLutSelection(std::uint8_t index) override;
    void setLutInfo(int index, const QString& name) override;
    void setLutOnLoopOutput(bool on) override;
    void setLutOnSdiOutput(bool on) override;
    void setLutOnHdmiOutput(bool on) override;
    void setHdmiClipLevel(bool) override {}
    void setAudioMapping(bool) override {}
    void setSecondAudioMapping(bool) override {}
    void setSdiOutputLevel(bool) override {}
    void zephIdChanged(std::uint8_t) override {}

    // What "Import" does once a file is chosen: loads it into slot 0, after any upload still
    // running.
    void importFile(const QString& path);

    QButtonGroup* selectionGroup() const { return selection_; }
    D2SettingsCheckBox* loopCheckBox() const { return loop_; }
    D2SettingsCheckBox* sdiCheckBox() const { return sdi_; }
    D2SettingsCheckBox* hdmiCheckBox() const { return hdmi_; }
    D2SettingsLabel* nameLabel() const { return nameLabel_; }
    D2SettingsPushButton* importButton() const { return importButton_; }
    D2SettingsPushButton* deleteButton() const { return deleteButton_; }
    QFileDialog* fileDialog() const { return fileDialog_; }
    DeleteLutDialog* deleteDialog() const { return deleteDialog_; }
    TransferProgressDialog* transferDialog() const { return transferDialog_; }
    // The dialog that tells of the last failed load ("LUT File Corrupt" or "LUT Transfer
    // Failed"), until it is closed.
    CommonDialog* errorDialog() const { return errorDialog_; }

public slots:
    void onImportClicked();
    void onDeleteClicked();

private:
    void transfer(const QString& path, const QString& lutName);
    void onTransferred(int result, const QString& fileName);
    void showFailure(int result, const QString& fileName);
    void onThreadCompleted();
    void deleteLut();

    std::shared_ptr<ZanthicConvertersConnectedDevice> device_;
    QButtonGroup* selection_ = nullptr;
    D2SettingsCheckBox* loop_ = nullptr;
    D2SettingsCheckBox* sdi_ = nullptr;
    D2SettingsCheckBox* hdmi_ = nullptr;
    D2SettingsLabel* nameLabel_ = nullptr;
    D2SettingsPushButton* importButton_ = nullptr;
    D2SettingsPushButton* deleteButton_ = nullptr;
    QPointer<QFileDialog> fileDialog_;
    QPointer<DeleteLutDialog> deleteDialog_;
    QPointer<TransferProgressDialog> transferDialog_;
    QPointer<CommonDialog> errorDialog_;
    // Imports asked for while an upload ran, in order.
    QStringList pending_;
    std::uint8_t savedSelection_ = 255;
    bool savedLoop_ = false;
    bool savedSdi_ = false;
    bool savedHdmi_ = false;
};

} // namespace Zanthic
} // namespace TWG
