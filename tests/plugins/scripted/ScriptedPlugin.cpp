#include "tests/plugins/scripted/ScriptedPlugin.h"

#include "kit/branding/BrandingSettings.h"
#include "tests/plugins/scripted/ScriptedFamily.h"

ScriptedPlugin::ScriptedPlugin()
{
    brandingSettings();
}

bool ScriptedPlugin::initialise(QDir, QWidget* hostWindow)
{
    if (families_.isEmpty())
        families_.append(new ScriptedFamily(hostWindow));
    brandingSettings();
    return true;
}
