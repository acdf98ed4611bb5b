#include "kit/framework/Family.h"
#include "kit/framework/VantorelPlugin.h"
#include "tests/support/PluginInstall.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QWidget>

namespace {

TEST(ConvertersPlugin, LoadsAndHandsOverOneFamilyWithOrWithoutResources)
{
    for (const bool withResources : {true, false}) {
        QTemporaryDir root;
        const QString library = installPlugin(root, QStringLiteral("Ostrel"), QStringLiteral(OSTREL_PLUGIN_PATH), withResources);
        QPluginLoader loader(library);
        const QJsonObject meta = loader.metaData();
        EXPECT_EQ(meta.value(QStringLiteral("IID")).toString(),
                  QStringLiteral("com.tarnwrightworks.Vantorel.ConvertersPlugin"));
        EXPECT_EQ(meta.value(QStringLiteral("className")).toString(), QStringLiteral("ConvertersPlugin"));
        EXPECT_EQ(meta.value(QStringLiteral("MetaData")).toObject().value(QStringLiteral("version")).toString(),
                  QStringLiteral("1.0.0"));

        QObject* instance = loader.instance();
        ASSERT_NE(instance, nullptr) << loader.errorString().toStdString();
        EXPECT_NE(instance->qt_metacast("VantorelPlugin"), nullptr);
        auto* plugin = static_cast<VantorelPlugin*>(instance->qt_metacast(VantorelPlugin_iid));
        ASSERT_NE(plugin, nullptr);

        QWidget host;
        const QString before = QDir::currentPath();
        EXPECT_TRUE(plugin->initialise(QDir(QFileInfo(library).path()), &host)) << withResources;
        EXPECT_EQ(QDir::currentPath(), before);
        ASSERT_EQ(plugin->families().size(), 1);
        Family* family = plugin->families().first();
        EXPECT_EQ(family->familyName(), QStringLiteral("Converters"));
        EXPECT_EQ(family->parent(), &host);
        // The library stays loaded: the family's code runs until the host window goes.
    }
}

} // namespace
