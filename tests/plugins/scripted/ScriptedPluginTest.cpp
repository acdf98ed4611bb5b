#include "kit/framework/Family.h"
#include "kit/framework/VantorelPlugin.h"
#include "kit/framework/VisibleDevice.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QJsonObject>
#include <QLabel>
#include <QPluginLoader>
#include <QTemporaryFile>
#include <QTest>

namespace {

QString pluginDirectory()
{
    return requiredEnvironment("TWG_TEST_PLUGIN_ROOT") + QStringLiteral("/scripted");
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

bool showsText(QWidget* parent, const QString& text)
{
    const QList<QLabel*> labels = parent->findChildren<QLabel*>();
    for (QLabel* label : labels) {
        if (label->text() == text && label->isVisible())
            return true;
    }
    return false;
}

// The plug-in bound to a window of the test's own, as the host binds it; the family's
// announcements are recorded until the test ends.
class ScriptedPluginTest : public ::testing::Test {
protected:
    void bind(const QByteArray& scenario)
    {
        qputenv("TWG_SCRIPTED_DEVICES", scenario);
        qunsetenv("TWG_SCRIPTED_SHOT_PATH");
        QPluginLoader loader(pluginDirectory() + QStringLiteral("/libScriptedPlugin.so"));
        const QJsonObject meta = loader.metaData();
        EXPECT_EQ(meta.value(QStringLiteral("IID")).toString(), QStringLiteral("com.tarnwrightworks.Vantorel.ScriptedPlugin"));
        EXPECT_EQ(meta.value(QStringLiteral("className")).toString(), QStringLiteral("ScriptedPlugin"));
        QObject* instance = loader.instance();
        ASSERT_NE(instance, nullptr) << loader.errorString().toStdString();
        auto* plugin = static_cast<VantorelPlugin*>(instance->qt_metacast(VantorelPlugin_iid));
        ASSERT_NE(plugin, nullptr);

        window.resize(800, 700);
        window.show();
        ASSERT_TRUE(plugin->initialise(QDir(pluginDirectory()), &window));
        ASSERT_EQ(plugin->families().size(), 1);
        family = plugin->families().at(0);
        QObject::connect(family, &Family::deviceArrived, &context, [this](VisibleDevice* d) { arrived.append(d); });
        QObject::connect(family, &Family::deviceRemoved, &context, [this](VisibleDevice* d) { removed.append(d); });
        QObject::connect(family, &Family::deviceInfoChanged, &context, [this](VisibleDevice* d) { changed.append(d); });
        family->startDeviceDetection();
    }

    void TearDown() override
    {
        if (family)
            family->shutdown();
    }

    QWidget window;
    QObject context;
    Family* family = nullptr;
    QList<VisibleDevice*> arrived;
    QList<VisibleDevice*> removed;
    QList<VisibleDevice*> changed;
};

// The whole road of a device that needs an update, as the host drives it.
TEST_F(ScriptedPluginTest, UpdatesADeviceOnItsWorkerThreadThenShowsItsSettings)
{
    ASSERT_NO_FATAL_FAILURE(bind("update"));
    ASSERT_EQ(arrived.size(), 1);
    VisibleDevice* device = arrived.at(0);
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return (done = visibleButton(dialog, QStringLiteral("Done"))) != nullptr; },
                                10000));
    EXPECT_EQ(changed, QList<VisibleDevice*>({device}));
    EXPECT_FALSE(device->isFirmwareUpdateAvailable());
    done->click();
    EXPECT_FALSE(dialog->isVisible());
    QWidget* settings = visibleWidgetOfClass(&window, "SettingsPage");
    ASSERT_NE(settings, nullptr);

    // Cancel closes the card.
    QAbstractButton* cancel = visibleButton(settings, QStringLiteral("Cancel"));
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return visibleWidgetOfClass(&window, "ProductCard") == nullptr; }));
}

// Unplugged in the middle of its update: the card says the connection is lost, the host is told,
// the device's task is stopped before the device goes, and the task's last report (a failure)
// drives nothing.
TEST_F(ScriptedPluginTest, UnpluggedDuringItsUpdateTheCardReportsTheLostConnection)
{
    QTemporaryFile scenario;
    ASSERT_TRUE(scenario.open());
    scenario.write(R"({"devices": [{"name": "Scripted Unplugged", "displayName": "Unplugged",
                        "firmwareCurrent": false, "updateSteps": 100, "updateStepMs": 50,
                        "unplugAfterMs": 300}]})");
    scenario.close();
    ASSERT_NO_FATAL_FAILURE(bind(scenario.fileName().toUtf8()));
    ASSERT_EQ(arrived.size(), 1);
    VisibleDevice* device = arrived.at(0);

    family->showDevice(device);
    QWidget* dialog = visibleWidgetOfClass(&window, "FirmwareUpdateDialog");
    ASSERT_NE(dialog, nullptr);
    visibleButton(dialog, QStringLiteral("Update"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return removed.size() == 1; }, 5000)) << removed.size();
    EXPECT_EQ(removed.at(0), device);

    EXPECT_FALSE(dialog->isVisible());
    QWidget* lost = visibleWidgetOfClass(&window, "ConnectionLostDialog");
    ASSERT_NE(lost, nullptr);
    EXPECT_TRUE(showsText(lost, QStringLiteral("Product Disconnected!")));
    EXPECT_EQ(visibleWidgetOfClass(&window, "SettingsPage"), nullptr);
    QTest::qWait(100); // the stopped task's queued report arrives now
    EXPECT_TRUE(changed.isEmpty());
    EXPECT_FALSE(dialog->isVisible());

    visibleButton(lost, QStringLiteral("Close"))->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return visibleWidgetOfClass(&window, "ProductCard") == nullptr; }));
    EXPECT_EQ(visibleWidgetOfClass(&window, "ConnectionLostDialog"), nullptr);
}

} // namespace
