#include "plugins/converters/StandInFirmwareUpdater.h"

StandInFirmwareUpdater::StandInFirmwareUpdater(QObject* parent) : DeviceFirmwareUpdater(parent) {}

bool StandInFirmwareUpdater::firmwareIsCurrent()
{
    return true;
}

void StandInFirmwareUpdater::startUpdate()
{
    emit firmwareUpdated(Succeeded);
}
