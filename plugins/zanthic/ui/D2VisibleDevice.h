#pragma once

#include "kit/framework/VisibleDevice.h"
#include "plugins/zanthic/device/ConnectedDeviceOwner.h"

#include <QObject>
#include <QPixmap>
#include <QSharedPointer>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace TWG {
namespace Zanthic {

class ConnectedDevice;
class D2Family;
class PotentialDevice;

// One physical Zanthic converter as the host shows it: every path (potential device) that
// reports its serial, one of them active, the rest kept in case the active one goes.
class D2VisibleDevice : public QObject, public VisibleDevice, public ConnectedDeviceOwner {
    Q_OBJECT
public:
    D2VisibleDevice(D2Family* family, std::shared_ptr<PotentialDevice> first);
    ~D2VisibleDevice() override;

    QString name() override { return fullName_; }
    QPixmap image() override { return image_; }
    QPixmap thumbnail() override { return thumbnail_; }
    QString displayName() override { return displayName_; }
    QPixmap galleryConnectionIcon() override;
    QPixmap cardConnectionIcon() override;
    bool isListedFirst() override;
    bool showsSoftwareStatus() override;
    QString softwareVersion() override;
    bool isSoftwareSupported() override;
    bool isFirmwareUpdateAvailable() override;
    bool isReady() override;
    QString availableSoftwareVersion() override { return packagedRelease_; }
    DeviceFirmwareUpdater* firmwareUpdater() override;
    bool isTestMode() override;
    QWidget* cardExtraWidget() override;

    // ConnectedDeviceOwner
    QObject* ownerObject() override { return this; }
    bool isFirmwareUpdateAvailable() const override;
    bool isSoftwareSupported() const override;
    QString availableSoftwareVersion() const override { return packagedRelease_; }
    QString availableFirmwareVersion() const override { return packagedFirmware_; }
    void deviceRenamed(const QString& name) override;
    void watchRemoval(QObject* context, std::function<void()> removed) override;

    void addPotentialDevice(std::shared_ptr<PotentialDevice> device);
    void removePotentialDevice(const std::shared_ptr<PotentialDevice>& device);
    bool holds(const PotentialDevice* device) const;
    void refreshFromPotentialDevice();
    void setDeviceName(const QString& name);
    // Empty without an active device.
    std::shared_ptr<ConnectedDevice> connect();

    const QString& serial() const { return serial_; }
    const QString& modelName() const { return modelName_; }
    const QString& packagedFirmwareVersion() const { return packagedFirmware_; }
    const std::shared_ptr<PotentialDevice>& activeDevice() const { return active_; }
    const std::vector<std::shared_ptr<PotentialDevice>>& potentialDevices() const { return devices_; }
    D2Family* d2Family() const { return family_; }

private:
    QPixmap connectionIcon(const char* both, const char* network, const char* usb) const;
    void announceChange();

    D2Family* family_;
    QString serial_;
    QString fullName_;
    QString modelName_;
    QPixmap image_;
    QPixmap thumbnail_;
    QString displayName_;
    QString packagedFirmware_;
    QString packagedRelease_;
    std::uint16_t supportedRevision_ = 0;
    std::shared_ptr<PotentialDevice> active_;
    QSharedPointer<DeviceFirmwareUpdater> updater_;
    std::vector<std::shared_ptr<PotentialDevice>> devices_;
};

} // namespace Zanthic
} // namespace TWG
