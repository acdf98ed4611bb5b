#pragma once

#include <QColor>
#include <QString>

// The branding of one product line, read from "settings.ini" in the "Resources" folder beside
// the program. One record per deliverable: each links its own copy of the kit.
class BrandingSettings {
public:
    static BrandingSettings& instance();

    BrandingSettings();

    // Reads the file into this record; false, with every field left as it was, when the file
    // is missing, unreadable or names no product.
    bool readIni();

    QString appName;
    QString fullAppName;
    QString product;
    QString productSingular;
    QString pluginProduct;
    QString aboutIconPath;
    QString noDeviceImage;
    QString noDeviceMessage;
    QString noDeviceHeader;
    QString badInstallImage;
    QString badInstallMessage;
    QString badInstallHeader;
    QString releaseVersion;
    QString releaseYear;
    bool usesBonjour = false;
    bool forceSingleWindow = false;
    bool hasListView = false;
    bool pluginInsideBundle = false;
    bool useAnNotA = false;

    // The file readIni reads: "<program folder>/Resources/settings.ini" unless a test set another.
    static QString settingsPath();
    static void setSettingsPathForTesting(const QString& path);
    // The folder of the running executable (not of a plug-in), known before QApplication exists.
    static QString programDirectory();
};

// The organisation under which the program keeps its settings (QSettings), with the branding's
// application name.
inline constexpr char kBrandingOrganisation[] = "Tarnwright Works";

// The accent colour of this deliverable's kit, initially (100, 100, 100).
QColor& brandingAccentColour();

// Reads "settings.ini" into the process-wide record.
bool brandingSettings();

QString brandingNoDeviceMessage();
QString brandingNoDeviceHeader();
QString brandingBadInstallMessage();
QString brandingBadInstallHeader();
