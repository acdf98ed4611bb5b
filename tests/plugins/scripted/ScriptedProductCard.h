#pragma once

#include "kit/framework/ProductCard.h"

#include <memory>

class FirmwareUpdateController;
class ScriptedDevice;
class ScriptedSettingsPage;

// A scripted device's card: a firmware check first, then the settings page.
class ScriptedProductCard : public ProductCard {
    Q_OBJECT
public:
    ScriptedProductCard(ScriptedDevice* device, QWidget* hostWindow);
    ~ScriptedProductCard() override;

    FirmwareUpdateController* controller() const { return controller_.get(); }
    ScriptedSettingsPage* settingsPage() const { return settingsPage_; }

signals:
    void firmwareChecked();

private slots:
    void onFirmwareUpdated();

private:
    std::unique_ptr<FirmwareUpdateController> controller_;
    ScriptedSettingsPage* settingsPage_ = nullptr;
};
