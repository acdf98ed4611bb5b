#pragma once

#include "kit/framework/BonjourInfo.h"
#include "kit/framework/VisibleDevice.h"

// A device the host offered as a DNS-SD record: it shows the instance name, and its address
// once the record carries one. It has no card and no firmware.
class ScriptedNetworkDevice : public VisibleDevice {
public:
    ScriptedNetworkDevice(Family* family, const BonjourInfo& info);

    const BonjourInfo& info() const { return info_; }
    void setInfo(const BonjourInfo& info) { info_ = info; }

    QString name() override;
    QPixmap image() override;
    QPixmap thumbnail() override;
    QString displayName() override { return QString::fromStdString(info_.name); }
    QPixmap galleryConnectionIcon() override;
    QPixmap cardConnectionIcon() override;
    bool showsSoftwareStatus() override { return false; }
    QString softwareVersion() override { return QString(); }
    bool isSoftwareSupported() override { return true; }
    bool isFirmwareUpdateAvailable() override { return false; }
    bool isReady() override { return true; }
    QString availableSoftwareVersion() override { return QString(); }
    DeviceFirmwareUpdater* firmwareUpdater() override { return nullptr; }
    bool canOpen() override { return false; }

private:
    BonjourInfo info_;
};
