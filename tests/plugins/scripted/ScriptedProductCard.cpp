#include "tests/plugins/scripted/ScriptedProductCard.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/framework/FirmwareUpdateController.h"
#include "kit/widgets/ConnectionLostDialog.h"
#include "tests/plugins/scripted/ScriptedDevice.h"
#include "tests/plugins/scripted/ScriptedSettingsPage.h"

#include <QStackedWidget>

ScriptedProductCard::ScriptedProductCard(ScriptedDevice* device, QWidget* hostWindow)
    : ProductCard(device, hostWindow, brandingAccentColour()), device_(device), hostWindow_(hostWindow),
      controller_(std::make_unique<FirmwareUpdateController>(hostWindow))
{
    connect(controller_.get(), &FirmwareUpdateController::firmwareUpdated, this,
            &ScriptedProductCard::onFirmwareUpdated);
    controller_->promptForUpdate(device);
}

ScriptedProductCard::~ScriptedProductCard()
{
    delete lostDialog_.data();
}

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

void ScriptedProductCard::onDeviceRemoved(VisibleDevice* device)
{
    if (!device_ || device != device_)
        return;
    device_ = nullptr;
    // The controller forgets the device: a stopped task's last report must not reach it.
    controller_->closeDialog();
    if (settingsPage_) {
        // Out of the stack before it goes, or the stack may keep showing a deleted page.
        pages()->removeWidget(settingsPage_);
        settingsPage_->deleteLater();
        settingsPage_ = nullptr;
    }
    if (!lostDialog_) {
        lostDialog_ = new ConnectionLostDialog(hostWindow_);
        connect(lostDialog_, &ConnectionLostDialog::closeClicked, this, &ScriptedProductCard::onCloseLostDevice);
    }
    lostDialog_->setDisconnected(0);
    lostDialog_->show();
    lostDialog_->raise();
}

void ScriptedProductCard::onCloseLostDevice()
{
    if (lostDialog_)
        lostDialog_->close();
    close();
}
