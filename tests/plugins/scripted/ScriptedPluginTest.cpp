#include "kit/framework/Family.h"
#include "kit/framework/VantorelPlugin.h"
#include "kit/framework/VisibleDevice.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QJsonObject>
#include <QPluginLoader>
#include <QTest>

namespace {

QString pluginDirectory()
{
    const QString root = qEnvironmentVariable("TWG_TEST_PLUGIN_ROOT");
    return (root.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/../test-plugins") : root)
           + QStringLiteral("/scripted");
}

// Across the plug-in boundary widgets are found by class name: each side has its own kit.
QWidget* visibleWidgetOfClass(QWidget* window, const char* className)
{
    const QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (widget->inherits(className) && widget->isVisible())
            return widget;
    }
    return nullptr;
}

QAbstractButton* visibleButton(QWidget* parent, const QString& text)
{
    const QList<QAbstractButton*> buttons = parent->findChildren<QAbstractButton*>();
    for (QAbstractButton* button : buttons) {
        if (button->text() == text && button->isVisible())
            return button;
    }
    return nullptr;
}

// The whole road of a device that needs an update, as the host drives it.
TEST(ScriptedPlugin, UpdatesADeviceOnItsWorkerThreadThenShowsItsSettings)
{
    qputenv("TWG_SCRIPTED_DEVICES", "update");
    qunsetenv("TWG_SCRIPTED_SHOT_PATH");
    QPluginLoader loader(pluginDirectory() + QStringLiteral("/libScriptedPlugin.so"));
    const QJsonObject meta = loader.metaData();
    EXPECT_EQ(meta.value(QStringLiteral("IID")).toString(), QStringLiteral("com.tarnwrightworks.Vantorel.ScriptedPlugin"));
    EXPECT_EQ(meta.value(QStringLiteral("className")).toString(), QStringLiteral("ScriptedPlugin"));
    QObject* instance = loader.instance();
    ASSERT_NE(instance, nullptr) << loader.errorString().toStdString();
    auto* plugin = static_cast<VantorelPlugin*>(instance->qt_metacast(VantorelPlugin_iid));
    ASSERT_NE(plugin, nullptr);

    QWidget window;
    window.resize(800, 700);
    window.show();
    ASSERT_TRUE(plugin->initialise(QDir(pluginDirectory()), &window));
    ASSERT_EQ(plugin->families().size(), 1);
    Family* family = plugin->families().at(0);
    QList<VisibleDevice*> devices;
    QObject::connect(family, &Family::deviceArrived, [&](VisibleDevice* device) { devices.append(device); });
    int changed = 0;
    QObject::connect(family, &Family::deviceInfoChanged, [&](VisibleDevice* which) { changed += which == devices.value(0); });
    family->startDeviceDetection();
    ASSERT_EQ(devices.size(), 1);
    VisibleDevice* device = devices.at(0);
    EXPECT_TRUE(device->showsSoftwareStatus());
    EXPECT_TRUE(device->isFirmwareUpdateAvailable());

    family->updateFirmware(device);
    QWidget* dialog = visibleWidgetOfClass(&window, "FirmwareUpdateDialog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(visibleWidgetOfClass(&window, "SettingsPage"), nullptr);
    QAbstractButton* update = visibleButton(dialog, QStringLiteral("Update"));
    ASSERT_NE(update, nullptr);
    update->click();
    QAbstractButton* done = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((done = visibleButton(dialog, QStringLiteral("Done"))) != nullptr, 10000);
    EXPECT_EQ(changed, 1);
    EXPECT_FALSE(device->isFirmwareUpdateAvailable());
    done->click();
    EXPECT_FALSE(dialog->isVisible());
    QWidget* settings = visibleWidgetOfClass(&window, "SettingsPage");
    ASSERT_NE(settings, nullptr);

    // Cancel closes the card.
    QAbstractButton* cancel = visibleButton(settings, QStringLiteral("Cancel"));
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    QTRY_COMPARE(visibleWidgetOfClass(&window, "ProductCard"), static_cast<QWidget*>(nullptr));
    family->shutdown();
}

} // namespace
