#pragma once

#include <QMap>
#include <QString>

// Pairs of name and value ("0x0D"), whitespace-separated; values stay text. A later pair
// replaces an earlier one; a resource that does not open leaves the map as it was.
void readFpgaVersions(const QString& resource, QMap<QString, QString>& map);
// "#define NAME VALUE" lines of a C header; every other line is ignored.
void readChecksumDefines(const QString& resource, QMap<QString, QString>& map);

// The firmware the plug-in carries, per converter model, for the build-details dialog.
QString converterBuildInformation();
