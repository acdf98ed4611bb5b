#include "tests/plugins/scripted/ScriptedPlugin.h"

#include "kit/branding/BrandingSettings.h"
#include "tests/plugins/scripted/ScriptedFamily.h"

ScriptedPlugin::ScriptedPlugin()
{
    brandingSettings();
}

bool ScriptedPlugin::initialise(QDir, QWidget* hostWindow)
{
    if (families_.isEmpty()) {
        Family* family = new ScriptedFamily(hostWindow);
        families_.append(family);
        // The family goes with its window; a test that binds the plug-in again gets a new one.
        connect(family, &QObject::destroyed, this, [this, family] { families_.removeOne(family); });
    }
    brandingSettings();
    return true;
}
