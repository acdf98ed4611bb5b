#include "tests/plugins/scripted/ScriptedDevice.h"

#include "tests/plugins/scripted/ScriptedPictures.h"
#include "tests/plugins/scripted/ScriptedUpdater.h"

ScriptedDevice::ScriptedDevice(Family* family, const ScriptedDeviceSpec& spec)
    : VisibleDevice(family), spec_(spec),
      updater_(new ScriptedUpdater(spec.firmwareCurrent, spec.updateSucceeds, spec.updateSteps, spec.updateStepMs))
{
}

ScriptedDevice::~ScriptedDevice()
{
    delete updater_;
}

QPixmap ScriptedDevice::image()
{
    return drawnProduct(QSize(400, 300), spec_.displayName);
}

QPixmap ScriptedDevice::thumbnail()
{
    return drawnProduct(QSize(80, 60), spec_.displayName);
}

QPixmap ScriptedDevice::galleryConnectionIcon()
{
    return drawnUsbIcon(20, QColor(146, 146, 146));
}

QPixmap ScriptedDevice::cardConnectionIcon()
{
    return drawnUsbIcon(28, QColor(208, 208, 208));
}

bool ScriptedDevice::showsSoftwareStatus()
{
    return spec_.showsSoftwareStatus && !updater_->firmwareIsCurrent();
}

QString ScriptedDevice::softwareVersion()
{
    return updater_->firmwareIsCurrent() ? spec_.availableVersion : spec_.softwareVersion;
}

bool ScriptedDevice::isFirmwareUpdateAvailable()
{
    return !updater_->firmwareIsCurrent();
}

DeviceFirmwareUpdater* ScriptedDevice::firmwareUpdater()
{
    return updater_;
}
