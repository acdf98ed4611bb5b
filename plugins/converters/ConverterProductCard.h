#pragma once

#include "kit/framework/ProductCard.h"
#include "kit/widgets/ConnectionLostDialog.h"

#include <QPointer>

#include <cstdint>

class ConverterConnection;
class SettingsPage;
class FirmwareUpdateController;
class VisibleConverter;

// A converter's card: checks the firmware, then shows the settings page; outlives the device
// being unplugged and reopens on the same tab when the same model comes back. Deletes itself.
class ConverterProductCard : public ProductCard {
    Q_OBJECT
public:
    ConverterProductCard(VisibleConverter* converter, QWidget* hostWindow);
    ~ConverterProductCard() override;

    SettingsPage* settingsPage() const { return settingsPage_; }
    ConverterConnection* connection() const { return connection_; }
    ConnectionLostDialog* lostDialog() const { return lostDialog_; }
    FirmwareUpdateController* controller() const { return controller_; }
    int savedTab() const { return savedTab_; }

public slots:
    void onDeviceArrived(VisibleDevice* device);
    void onDeviceRemoved(VisibleDevice* device);
    void onCloseLostDevice();
    void onSettingsClosed();
    void onFirmwareUpdated();
    void onShowProductEasterEgg() override;

private:
    void closeLostDialog();

    std::uint16_t productId_;
    ConverterConnection* connection_ = nullptr;
    SettingsPage* settingsPage_ = nullptr;
    QPointer<ConnectionLostDialog> lostDialog_;
    int savedTab_ = 0;
    FirmwareUpdateController* controller_;
    QWidget* const hostWindow_;
    VisibleConverter* converter_;
};
