#include "tests/screenshots/driver/ShotDriverPlugin.h"

#include "tests/screenshots/driver/ShotDriver.h"

bool ShotDriverPlugin::initialise(QDir, QWidget* hostWindow)
{
    return ShotDriver::startFromEnvironment(hostWindow);
}
