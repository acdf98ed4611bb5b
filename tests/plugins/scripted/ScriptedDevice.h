#pragma once

#include "kit/framework/VisibleDevice.h"
#include "tests/plugins/scripted/ScriptedScenario.h"

class ScriptedUpdater;

// A device that exists only in the scenario; its pictures are drawn, not loaded.
class ScriptedDevice : public VisibleDevice {
public:
    ScriptedDevice(Family* family, const ScriptedDeviceSpec& spec);
    ~ScriptedDevice() override;

    QString name() override { return spec_.name; }
    QPixmap image() override;
    QPixmap thumbnail() override;
    QString displayName() override { return spec_.displayName; }
    QPixmap galleryConnectionIcon() override;
    QPixmap cardConnectionIcon() override;
    bool showsSoftwareStatus() override;
    QString softwareVersion() override;
    bool isSoftwareSupported() override { return true; }
    bool isFirmwareUpdateAvailable() override;
    bool isReady() override { return true; }
    QString availableSoftwareVersion() override { return spec_.availableVersion; }
    DeviceFirmwareUpdater* firmwareUpdater() override;

    ScriptedUpdater* scriptedUpdater() const { return updater_; }

private:
    ScriptedDeviceSpec spec_;
    ScriptedUpdater* updater_;
};
