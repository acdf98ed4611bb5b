#include "tests/plugins/scripted/ScriptedPlugin.h"

#include "kit/branding/BrandingSettings.h"
#include "tests/plugins/scripted/ScriptedFamily.h"
#include "tests/plugins/scripted/ScriptedNetworkFamily.h"

ScriptedPlugin::ScriptedPlugin()
{
    brandingSettings();
}

bool ScriptedPlugin::initialise(QDir, QWidget* hostWindow)
{
    if (families_.isEmpty()) {
        families_.append(new ScriptedFamily(hostWindow));
        // Only on request: the pictures and tests without it assume no family asks for DNS-SD.
        const QString serviceType = ScriptedNetworkFamily::serviceTypeFromEnvironment();
        if (!serviceType.isEmpty())
            families_.append(new ScriptedNetworkFamily(hostWindow, serviceType));
        // The families go with their window; a test that binds the plug-in again gets new ones.
        for (Family* family : qAsConst(families_))
            connect(family, &QObject::destroyed, this, [this, family] { families_.removeOne(family); });
    }
    brandingSettings();
    return true;
}
