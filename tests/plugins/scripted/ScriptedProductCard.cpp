#include "tests/plugins/scripted/ScriptedProductCard.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/framework/FirmwareUpdateController.h"
#include "tests/plugins/scripted/ScriptedDevice.h"
#include "tests/plugins/scripted/ScriptedSettingsPage.h"

ScriptedProductCard::ScriptedProductCard(ScriptedDevice* device, QWidget* hostWindow)
    : ProductCard(device, hostWindow, brandingAccentColour()),
      controller_(std::make_unique<FirmwareUpdateController>(hostWindow))
{
    connect(controller_.get(), &FirmwareUpdateController::firmwareUpdated, this,
            &ScriptedProductCard::onFirmwareUpdated);
    controller_->promptForUpdate(device);
}

ScriptedProductCard::~ScriptedProductCard() = default;

void ScriptedProductCard::onFirmwareUpdated()
{
    if (controller_->result() != FirmwareUpdateController::Completed) {
        close();
        return;
    }
    if (!settingsPage_) {
        settingsPage_ = new ScriptedSettingsPage;
        connect(settingsPage_, &SettingsPage::closePage, this, &ScriptedProductCard::close);
        addPage(settingsPage_);
    }
    showPage(settingsPage_);
    emit firmwareChecked();
}
