#pragma once

#include <QPixmap>
#include <QString>

class DeviceFirmwareUpdater;
class Family;
class QWidget;

// One device as the host lists and shows it. The family that found it creates it, announces it
// with Family::deviceArrived and deletes it after Family::deviceRemoved.
class VisibleDevice {
public:
    explicit VisibleDevice(Family* family) : family_(family) {}
    virtual ~VisibleDevice() {}

    virtual QString name() = 0;
    virtual QPixmap image() = 0;
    virtual QPixmap thumbnail() = 0;
    virtual QString displayName() = 0;
    virtual QPixmap galleryConnectionIcon() = 0;
    virtual QPixmap cardConnectionIcon() = 0;
    virtual bool isListedFirst() { return false; }
    virtual bool showsSoftwareStatus() = 0;
    virtual QString softwareVersion() = 0;
    virtual bool isSoftwareSupported() = 0;
    virtual bool isFirmwareUpdateAvailable() = 0;
    virtual bool isReady() = 0;
    virtual QString availableSoftwareVersion() = 0;
    virtual DeviceFirmwareUpdater* firmwareUpdater() = 0;
    virtual bool isTestMode() { return false; }
    virtual QWidget* cardExtraWidget() { return nullptr; }
    virtual bool canOpen() { return true; }
    virtual bool hasStatusImages() { return false; }
    virtual QPixmap statusImage() { return QPixmap(); }
    virtual QPixmap statusImageOverlay() { return QPixmap(); }
    virtual Family* family() { return family_; }

private:
    Family* const family_;
};
