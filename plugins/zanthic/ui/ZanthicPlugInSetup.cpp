#include "plugins/zanthic/ui/ZanthicPlugInSetup.h"

#include "BuildInfo.h"
#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/device/UsbConnectionManager.h"
#include "plugins/zanthic/device/ZanthicFactories.h"
#include "plugins/zanthic/device/ZanthicModels.h"
#include "plugins/zanthic/ui/D2Family.h"
#include "plugins/zanthic/ui/D2SettingsPage.h"
#include "usb/package/FirmwareFileLocation.h"

#include <QFile>

namespace TWG {
namespace Zanthic {

D2Family* setUpZanthicFamily(QDir pluginDir, QWidget* hostWindow)
{
    if (pluginDir.cd(QStringLiteral("Resources"))) {
        USB::setFirmwareDirectory(QFile::encodeName(pluginDir.absolutePath()).toStdString());
        pluginDir.cdUp();
    }
    auto* family = new D2Family(QString::fromLatin1(kFamilyWord), {}, hostWindow);
    family->setBuildInfo(QString::fromLatin1(BuildInfo::kTimeStamp), QString::fromLatin1(kReleaseVersion),
                         QString::fromLatin1(kReleaseCandidateTag), QString::fromLatin1(BuildInfo::kRevision));
    ZanthicConvertersConnectedDevice::setSettingsPageBuilder(&createD2SettingsPage);
    auto manager = std::make_shared<UsbConnectionManager>(family, modelTable(), &createConnectedDevice,
                                                          &createFirmwareUpdater, &createPotentialDevice, nullptr);
    family->addConnectionManager(manager);
    return family;
}

} // namespace Zanthic
} // namespace TWG
