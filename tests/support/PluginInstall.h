#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// The built plug-in library copied into a fresh plug-in folder `name` below root, with or without
// its "Resources"; returns the copy's path, which is what the host would load.
inline QString installPlugin(const QTemporaryDir& root, const QString& name, const QString& builtLibrary,
                             bool withResources)
{
    const QString folder = root.filePath(name);
    EXPECT_TRUE(QDir().mkpath(folder));
    if (withResources) {
        EXPECT_TRUE(QDir().mkpath(folder + QStringLiteral("/Resources")));
    }
    const QString library = folder + QStringLiteral("/lib") + name + QStringLiteral(".so");
    EXPECT_TRUE(QFile::copy(builtLibrary, library));
    return library;
}
