#pragma once

#include "kit/framework/ProductCard.h"
#include "kit/widgets/ConnectionLostDialog.h"

#include <QPointer>

#include <memory>

class FirmwareUpdateController;
class ScriptedDevice;
class ScriptedSettingsPage;
class VisibleDevice;

// A scripted device's card: a firmware check first, then the settings page. When its device
// goes away it says so and ends when that message is closed.
class ScriptedProductCard : public ProductCard {
    Q_OBJECT
public:
    ScriptedProductCard(ScriptedDevice* device, QWidget* hostWindow);
    ~ScriptedProductCard() override;

    FirmwareUpdateController* controller() const { return controller_.get(); }
    ScriptedSettingsPage* settingsPage() const { return settingsPage_; }

    void onDeviceRemoved(VisibleDevice* device);

signals:
    void firmwareChecked();

private slots:
    void onFirmwareUpdated();
    void onCloseLostDevice();

private:
    ScriptedDevice* device_;
    QWidget* hostWindow_;
    std::unique_ptr<FirmwareUpdateController> controller_;
    ScriptedSettingsPage* settingsPage_ = nullptr;
    QPointer<ConnectionLostDialog> lostDialog_;
};
