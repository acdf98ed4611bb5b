#pragma once

#include "kit/framework/Family.h"
#include "kit/framework/VantorelPlugin.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QPluginLoader>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

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

// What the host asks of every plug-in it loads from library: metadata with its interface id, its
// class name and version "1.0.0"; one instance that casts to the plug-in interface; an
// initialisation from its folder that keeps the working folder and hands over one family,
// parented to the host window. Returns that family, or null once a failure is recorded.
inline Family* loadPluginFamily(const QString& library, const QString& iid, const QString& className, QWidget& host)
{
    QPluginLoader loader(library);
    const QJsonObject meta = loader.metaData();
    EXPECT_EQ(meta.value(QStringLiteral("IID")).toString(), iid);
    EXPECT_EQ(meta.value(QStringLiteral("className")).toString(), className);
    EXPECT_EQ(meta.value(QStringLiteral("MetaData")).toObject().value(QStringLiteral("version")).toString(),
              QStringLiteral("1.0.0"));

    QObject* instance = loader.instance();
    if (!instance) {
        ADD_FAILURE() << loader.errorString().toStdString();
        return nullptr;
    }
    EXPECT_EQ(loader.instance(), instance) << "one instance";
    EXPECT_NE(instance->qt_metacast("VantorelPlugin"), nullptr);
    auto* plugin = static_cast<VantorelPlugin*>(instance->qt_metacast(VantorelPlugin_iid));
    if (!plugin) {
        ADD_FAILURE() << "no plug-in interface";
        return nullptr;
    }

    const QString before = QDir::currentPath();
    EXPECT_TRUE(plugin->initialise(QDir(QFileInfo(library).path()), &host));
    EXPECT_EQ(QDir::currentPath(), before);
    if (plugin->families().size() != 1) {
        ADD_FAILURE() << "families: " << plugin->families().size();
        return nullptr;
    }
    Family* family = plugin->families().first();
    EXPECT_EQ(family->parent(), &host);
    // The library stays loaded: the family's code runs until the host window goes.
    return family;
}
