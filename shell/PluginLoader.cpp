#include "shell/PluginLoader.h"

#include "kit/framework/VantorelPlugin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QPluginLoader>

QStringList pluginDirectories(const QString& appDir)
{
    // The images and fonts are the kit's resource objects, linked into the program and
    // registered when it loads.
    QStringList directories;
    const QDir base(QStringLiteral("%1/Vantorel/PlugIns").arg(appDir));
    if (base.exists()) {
        const QFileInfoList entries = base.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
        for (const QFileInfo& entry : entries)
            directories << entry.absoluteFilePath();
    }
    const QString extra = qEnvironmentVariable("TWG_ADMIN_PLUGIN_PATH");
    if (!extra.isEmpty())
        directories << extra;
    return directories;
}

QStringList pluginDirectories()
{
    return pluginDirectories(QCoreApplication::applicationDirPath());
}

PluginLoader::PluginLoader(QWidget* hostWindow, AddFamily addFamily)
    : hostWindow_(hostWindow), addFamily_(std::move(addFamily))
{
}

int PluginLoader::bind(const QStringList& directories)
{
    const int before = added_;
    for (const QString& directory : directories) {
        const QFileInfoList entries = QDir(directory).entryInfoList(QDir::Files, QDir::NoSort);
        for (const QFileInfo& entry : entries) {
            const QString path = entry.absoluteFilePath();
            if (!QLibrary::isLibrary(path))
                continue;
            bindLibrary(directory, path);
        }
    }
    return added_ - before;
}

bool PluginLoader::bindLibrary(const QString& directory, const QString& path)
{
    QPluginLoader loader(path);
    QObject* instance = loader.instance();
    if (instance && bound_.contains(instance))
        return false; // already bound under another spelling: leave it loaded
    VantorelPlugin* plugin = instance ? static_cast<VantorelPlugin*>(instance->qt_metacast(VantorelPlugin_iid))
                                      : nullptr;
    if (plugin && plugin->initialise(QDir(directory), hostWindow_)) {
        bound_.insert(instance);
        const QVector<Family*> families = plugin->families();
        for (Family* family : families) {
            addFamily_(family);
            ++added_;
        }
        return true;
    }
    loader.unload();
    return false;
}
