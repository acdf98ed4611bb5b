#pragma once

#include <QSet>
#include <QStringList>

#include <functional>

class Family;
class QObject;
class QWidget;

// The plug-in directories in scan order: every subdirectory of "<appDir>/Vantorel/PlugIns",
// then TWG_ADMIN_PLUGIN_PATH when it is set and not empty.
QStringList pluginDirectories(const QString& appDir);
// The same for the running program's folder.
QStringList pluginDirectories();

// Binds the plug-in libraries of the given directories and hands each family on.
class PluginLoader {
public:
    using AddFamily = std::function<void(Family*)>;

    PluginLoader(QWidget* hostWindow, AddFamily addFamily);

    // Returns the number of families handed on.
    int bind(const QStringList& directories);

private:
    bool bindLibrary(const QString& directory, const QString& path);

    QWidget* hostWindow_;
    AddFamily addFamily_;
    // Qt hands out one root instance per library file however its folder is spelt: a second
    // initialise would make the plug-in add its families again.
    QSet<QObject*> bound_;
    int added_ = 0;
};
