#include "plugins/zanthic/ZanthicConvertersPlugin.h"

#include "kit/branding/BrandingSettings.h"
#include "plugins/zanthic/ui/D2Family.h"
#include "plugins/zanthic/ui/ZanthicPlugInSetup.h"

ZanthicConvertersPlugin::ZanthicConvertersPlugin()
{
    // This library has its own copy of the branding record; read it before any widget exists.
    brandingSettings();
}

bool ZanthicConvertersPlugin::initialise(QDir pluginDir, QWidget* hostWindow)
{
    families_.append(TWG::Zanthic::setUpZanthicFamily(pluginDir, hostWindow));
    brandingSettings();
    return true;
}
