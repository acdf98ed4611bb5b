#pragma once

#include <QPixmap>
#include <QString>

// The shell's view of the branding record, read once by main from "settings.ini".
QString brandingAppName();
QString brandingFullAppName();
QString brandingReleaseVersion();
QString brandingReleaseYear();
QPixmap brandingAboutIcon();
QString brandingAboutMenuText();
QString brandingNoDeviceText();
QString brandingAddDeviceText();
QPixmap brandingNoDeviceImage();
QPixmap brandingBadInstallImage();
QString brandingOrganisationName();

// Run-time flags: set only ever to true, when a family asks for it.
bool brandingUsesBonjour();
void brandingSetUsesBonjour();
bool brandingHasListView();
void brandingSetHasListView();
