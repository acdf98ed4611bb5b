#include "plugins/converters/ConvertersPlugin.h"

#include "kit/branding/BrandingSettings.h"
#include "plugins/converters/ConverterFamily.h"
#include "usb/package/FirmwareFileLocation.h"

#include <QFile>

ConvertersPlugin::ConvertersPlugin()
{
    // This library has its own copy of the branding record; read it before any widget exists.
    brandingSettings();
}

bool ConvertersPlugin::initialise(QDir pluginDir, QWidget* hostWindow)
{
    if (pluginDir.cd(QStringLiteral("Resources"))) {
        TWG::USB::setFirmwareDirectory(QFile::encodeName(pluginDir.absolutePath()).toStdString());
        pluginDir.cdUp();
    }
    families_.append(new ConverterFamily(hostWindow));
    brandingSettings();
    return true;
}
