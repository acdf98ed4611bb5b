#include "shell/ShellBranding.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/widgets/StyleHelpers.h"

#include <QObject>

namespace {

BrandingSettings& record()
{
    return BrandingSettings::instance();
}

} // namespace

QString brandingAppName()
{
    return record().appName;
}

QString brandingFullAppName()
{
    return record().fullAppName;
}

QString brandingReleaseVersion()
{
    return record().releaseVersion;
}

QString brandingReleaseYear()
{
    return record().releaseYear;
}

QPixmap brandingAboutIcon()
{
    return loadIconPixmap(record().aboutIconPath);
}

QString brandingAboutMenuText()
{
    return QObject::tr("About %1").arg(record().appName);
}

QString brandingNoDeviceText()
{
    return QObject::tr("No %1 found").arg(record().productSingular);
}

QString brandingAddDeviceText()
{
    return record().useAnNotA ? QObject::tr("Add an %1").arg(record().productSingular)
                              : QObject::tr("Add a %1").arg(record().productSingular);
}

QPixmap brandingNoDeviceImage()
{
    return loadIconPixmap(record().noDeviceImage);
}

QPixmap brandingBadInstallImage()
{
    return loadIconPixmap(record().badInstallImage);
}

QString brandingOrganisationName()
{
    return QString::fromLatin1(kBrandingOrganisation);
}

bool brandingUsesBonjour()
{
    return record().usesBonjour;
}

void brandingSetUsesBonjour()
{
    record().usesBonjour = true;
}

bool brandingHasListView()
{
    return record().hasListView;
}

void brandingSetHasListView()
{
    record().hasListView = true;
}
