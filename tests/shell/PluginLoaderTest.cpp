#include "kit/framework/Family.h"
#include "shell/PluginLoader.h"
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QWidget>

namespace {

QString pluginRoot()
{
    return testPluginRoot();
}

QString libraryIn(const QString& folder)
{
    const QString dir = pluginRoot() + QLatin1Char('/') + folder;
    return dir + QStringLiteral("/lib") + folder + QStringLiteral(".so");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(PluginLoader, BindsEachGoodPluginOnceAndUnloadsTheRest)
{
    ASSERT_FALSE(pluginRoot().isEmpty());
    QTemporaryDir junk;
    writeFile(junk.filePath("libjunk.so"), QByteArray(4096, '\x7f'));
    writeFile(junk.filePath("notes.txt"), "not a library");

    const QString good = pluginRoot() + "/binding_good";
    const QStringList directories = {good,
                                     pluginRoot() + "/binding_nointerface",
                                     pluginRoot() + "/binding_refusing",
                                     junk.path(),
                                     good + "/../binding_good"};

    QWidget host;
    QStringList added;
    PluginLoader loader(&host, [&added](Family* family) { added << family->familyName(); });
    EXPECT_EQ(loader.bind(directories), 2);

    EXPECT_EQ(added, QStringList({"Good One", "Good Two"}));
    EXPECT_EQ(qApp->property("binding.good.calls").toInt(), 1);
    EXPECT_EQ(qApp->property("binding.good.dir").toString(), QDir(good).absolutePath());
    EXPECT_EQ(qApp->property("binding.refusing.calls").toInt(), 1);
    EXPECT_TRUE(QPluginLoader(libraryIn("binding_good")).isLoaded());
    EXPECT_FALSE(QPluginLoader(libraryIn("binding_refusing")).isLoaded());
    EXPECT_FALSE(QPluginLoader(libraryIn("binding_nointerface")).isLoaded());
}

TEST(PluginDirectories, SubfoldersOfTheBaseThenTheEnvironmentValueUnsplit)
{
    QTemporaryDir app;
    QDir(app.path()).mkpath("Vantorel/PlugIns/one");
    QDir(app.path()).mkpath("Vantorel/PlugIns/two");
    writeFile(app.filePath("Vantorel/PlugIns/file.so"), "x");
    const QString base = app.path() + "/Vantorel/PlugIns/";

    struct Case {
        const char* env; // null: unset
        bool withBase;
        QStringList tail;
    };
    const Case cases[] = {
        {nullptr, true, {}},
        {"", true, {}},
        {"/x/a:/y/b", true, {"/x/a:/y/b"}},
        {"/extra", false, {"/extra"}},
    };
    for (const Case& c : cases) {
        if (c.env)
            qputenv("TWG_ADMIN_PLUGIN_PATH", c.env);
        else
            qunsetenv("TWG_ADMIN_PLUGIN_PATH");
        const QStringList got = pluginDirectories(c.withBase ? app.path() : app.path() + "/missing");
        QStringList head = got.mid(0, got.size() - c.tail.size());
        head.sort();
        const QStringList expectedHead =
            c.withBase ? QStringList({base + "one", base + "two"}) : QStringList();
        EXPECT_EQ(head, expectedHead) << (c.env ? c.env : "(unset)");
        EXPECT_EQ(got.mid(got.size() - c.tail.size()), c.tail);
    }
    qunsetenv("TWG_ADMIN_PLUGIN_PATH");
}

} // namespace
