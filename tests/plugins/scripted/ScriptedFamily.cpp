#include "tests/plugins/scripted/ScriptedFamily.h"

#include "tests/plugins/scripted/ScriptedAutomation.h"
#include "tests/plugins/scripted/ScriptedDevice.h"
#include "tests/plugins/scripted/ScriptedLog.h"
#include "tests/plugins/scripted/ScriptedProductCard.h"
#include "tests/plugins/scripted/ScriptedUpdater.h"

#include <QTimer>

ScriptedFamily::ScriptedFamily(QWidget* hostWindow) : Family(hostWindow), window_(hostWindow) {}

ScriptedFamily::~ScriptedFamily()
{
    closeCard();
    qDeleteAll(devices_);
}

ScriptedProductCard* ScriptedFamily::openCard() const
{
    return card_;
}

void ScriptedFamily::startDeviceDetection()
{
    if (detecting_)
        return;
    detecting_ = true;
    const QVector<ScriptedDeviceSpec> specs = scriptedScenarioFromEnvironment();
    for (const ScriptedDeviceSpec& spec : specs) {
        auto* device = new ScriptedDevice(this, spec);
        devices_.append(device);
        // A finished update changes what the gallery shows for the device. The report of a task
        // stopped by an unplug arrives queued after the device is gone.
        connect(device->scriptedUpdater(), &DeviceFirmwareUpdater::firmwareUpdated, this, [this, device] {
            if (devices_.contains(device))
                emit deviceInfoChanged(device);
        });
        emit deviceArrived(device);
        if (spec.unplugAfterMs >= 0)
            QTimer::singleShot(spec.unplugAfterMs, this, [this, device] { unplug(device); });
    }
    ScriptedAutomation::startFromEnvironment(this);
}

void ScriptedFamily::showDevice(VisibleDevice* device)
{
    if (card_)
        return;
    for (ScriptedDevice* own : devices_) {
        if (own == device) {
            card_ = new ScriptedProductCard(own, window_);
            break;
        }
    }
    if (!card_)
        return;
    // Not raised: an update dialog that the card opened must stay above it.
    card_->show();
}

void ScriptedFamily::updateFirmware(VisibleDevice* device)
{
    // The card checks the firmware before it shows any settings.
    showDevice(device);
}

void ScriptedFamily::unplug(ScriptedDevice* device)
{
    const int index = devices_.indexOf(device);
    if (index < 0)
        return;
    if (card_)
        card_->onDeviceRemoved(device);
    devices_.removeAt(index);
    emit deviceRemoved(device);
    delete device;
}

QStringList ScriptedFamily::crossMenuOptions()
{
    return qEnvironmentVariable("TWG_SCRIPTED_CROSS_MENU").split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

void ScriptedFamily::onCrossMenuOptionSelected(QString option)
{
    qCInfo(lcScripted) << "Cross menu option" << option;
}

void ScriptedFamily::shutdown()
{
    closeCard();
}

void ScriptedFamily::closeCard()
{
    // Cards go before the devices whose updaters their controllers use.
    delete card_.data();
}
