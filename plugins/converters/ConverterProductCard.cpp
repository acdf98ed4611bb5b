#include "plugins/converters/ConverterProductCard.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/framework/FirmwareUpdateController.h"
#include "kit/framework/SettingsPage.h"
#include "kit/widgets/ConnectionLostDialog.h"
#include "plugins/converters/VisibleConverter.h"
#include "plugins/converters/settings/ConverterConnection.h"
#include "plugins/converters/settings/ConverterSettingsPage.h"

#include <QMessageBox>

namespace {
constexpr int kReasonDisconnected = 0;
} // namespace

ConverterProductCard::ConverterProductCard(VisibleConverter* converter, QWidget* hostWindow)
    : ProductCard(converter, hostWindow, brandingAccentColour()),
      productId_(converter->productId()),
      connection_(converter->createConnection()),
      controller_(new FirmwareUpdateController(hostWindow)),
      hostWindow_(hostWindow),
      converter_(converter)
{
    connect(controller_, &FirmwareUpdateController::firmwareUpdated, this, &ConverterProductCard::onFirmwareUpdated);
    controller_->promptForUpdate(converter_);
}

ConverterProductCard::~ConverterProductCard()
{
    closeLostDialog();
    delete settingsPage_;
    delete connection_;
    delete controller_;
}

void ConverterProductCard::onFirmwareUpdated()
{
    const int result = controller_->result();
    if (result < 0)
        return;
    if (result < FirmwareUpdateController::Completed) {
        deleteLater();
        return;
    }
    if (result != FirmwareUpdateController::Completed || !connection_ || settingsPage_)
        return;
    settingsPage_ = new ConverterSettingsPage(connection_);
    connect(settingsPage_, &SettingsPage::closePage, this, &ConverterProductCard::onSettingsClosed);
    addPage(settingsPage_);
    showPage(settingsPage_);
    settingsPage_->setCurrentTab(savedTab_);
}

void ConverterProductCard::onSettingsClosed()
{
    deleteLater();
}

void ConverterProductCard::onDeviceRemoved(VisibleDevice* device)
{
    auto* converter = dynamic_cast<VisibleConverter*>(device);
    if (!connection_ || !converter || !converter->matches(connection_->device()))
        return;
    controller_->closeDialog();
    if (settingsPage_) {
        savedTab_ = settingsPage_->currentTab();
        delete settingsPage_;
        settingsPage_ = nullptr;
    }
    if (!lostDialog_) {
        lostDialog_ = new ConnectionLostDialog(hostWindow_);
        connect(lostDialog_, &ConnectionLostDialog::closeClicked, this, &ConverterProductCard::onCloseLostDevice);
    }
    lostDialog_->setDisconnected(kReasonDisconnected);
    lostDialog_->show();
    delete connection_;
    connection_ = nullptr;
    // The family deletes the converter after this signal.
    if (converter_ == converter)
        converter_ = nullptr;
}

void ConverterProductCard::onDeviceArrived(VisibleDevice* device)
{
    auto* converter = dynamic_cast<VisibleConverter*>(device);
    if (connection_ || !converter || converter->productId() != productId_)
        return;
    converter->refreshPoweredState();
    if (!converter->isPowered())
        return;
    closeLostDialog();
    converter_ = converter;
    connection_ = converter->createConnection();
    controller_->promptForUpdate(converter_);
}

void ConverterProductCard::onCloseLostDevice()
{
    closeLostDialog();
    deleteLater();
}

void ConverterProductCard::onShowProductEasterEgg()
{
    QMessageBox box(this);
    box.setText(QStringLiteral("Not available\n"));
    box.exec();
}

void ConverterProductCard::closeLostDialog()
{
    if (!lostDialog_)
        return;
    lostDialog_->close();
    lostDialog_->deleteLater();
    lostDialog_ = nullptr;
}
