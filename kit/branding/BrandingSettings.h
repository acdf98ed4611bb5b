#pragma once

#include <QColor>
#include <QString>

// The branding of one product line, read from "settings.ini" in the "Resources" folder beside
// the program. One record per deliverable: each links its own copy of the kit.
class BrandingSettings {
public:
    static BrandingSettings& instance();

    // Reads the file into the record; false (record untouched) without a product word.
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

    // Where readIni looks; the folder of the running executable unless a test set another.
    static QString settingsPath();
    static void setSettingsPathForTesting(const QString& path);

    BrandingSettings();
};

// The kit's accent colour of this deliverable, initially (100, 100, 100).
QColor& brandingAccentColour();

bool brandingSettings();
QString brandingNoDeviceMessage();
QString brandingNoDeviceHeader();
QString brandingBadInstallMessage();
QString brandingBadInstallHeader();
