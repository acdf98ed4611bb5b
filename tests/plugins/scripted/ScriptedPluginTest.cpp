#include "kit/framework/Family.h"
#include "kit/framework/VantorelPlugin.h"
#include "kit/framework/VisibleDevice.h"
#include "support/TestEnvironment.h"
#include "tests/plugins/scripted/ScriptedWidgetLookup.h"

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

using scriptedlookup::showsLabel;
using scriptedlookup::visibleButton;
using scriptedlookup::visibleWidgetOfClass;

// The plug-in bound to a window of the test's own, as the host binds it; the family's
// announcements are recorded until the test ends.
class ScriptedPluginTest : public ::testing::Test {
protected:
    // A service type also makes the network family, which goes to `network`.
    void bind(const QByteArray& scenario, const QByteArray& serviceType = QByteArray())
    {
        qputenv("TWG_SCRIPTED_DEVICES", scenario);
        qunsetenv("TWG_SCRIPTED_SHOT_PATH");
        if (serviceType.isEmpty())
            qunsetenv("TWG_SCRIPTED_SERVICE_TYPE");
        else
            qputenv("TWG_SCRIPTED_SERVICE_TYPE", serviceType);
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
        ASSERT_EQ(plugin->families().size(), serviceType.isEmpty() ? 1 : 2);
        family = plugin->families().at(0);
        network = serviceType.isEmpty() ? nullptr : plugin->families().at(1);
        for (Family* each : plugin->families()) {
            QObject::connect(each, &Family::deviceArrived, &context, [this](VisibleDevice* d) { arrived.append(d); });
            QObject::connect(each, &Family::deviceRemoved, &context, [this](VisibleDevice* d) { removed.append(d); });
            QObject::connect(each, &Family::deviceInfoChanged, &context,
                             [this](VisibleDevice* d) { changed.append(d); });
            each->startDeviceDetection();
        }
    }

    void TearDown() override
    {
        if (network)
            network->shutdown();
        if (family)
            family->shutdown();
    }

    QWidget window;
    QObject context;
    Family* family = nullptr;
    Family* network = nullptr;
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
    EXPECT_TRUE(showsLabel(lost, QStringLiteral("Product Disconnected!")));
    EXPECT_EQ(visibleWidgetOfClass(&window, "SettingsPage"), nullptr);
    QTest::qWait(100); // the stopped task's queued report arrives now
    EXPECT_TRUE(changed.isEmpty());
    EXPECT_FALSE(dialog->isVisible());

    visibleButton(lost, QStringLiteral("Close"))->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return visibleWidgetOfClass(&window, "ProductCard") == nullptr; }));
    EXPECT_EQ(visibleWidgetOfClass(&window, "ConnectionLostDialog"), nullptr);
}

BonjourInfo record(const std::string& name, const std::string& type, const std::string& model)
{
    BonjourInfo info;
    info.name = name;
    info.type = type;
    info.domain = "local.";
    info.txt = {{"model", model}};
    info.host = "127.0.0.9";
    info.port = 9000;
    return info;
}

// The network family takes every record of its one type, as the engine reports it (trailing
// dot, any case) or as the add-by-IP query does, and leaves all others to other families.
TEST_F(ScriptedPluginTest, NetworkFamilyTurnsRecordsOfItsTypeIntoDevices)
{
    ASSERT_NO_FATAL_FAILURE(bind("none", "_scripted._tcp."));
    EXPECT_FALSE(family->usesBonjour());
    EXPECT_TRUE(network->usesBonjour());
    EXPECT_EQ(network->bonjourServiceTypes(), QSet<QString>{QStringLiteral("_scripted._tcp")});
    ASSERT_TRUE(arrived.isEmpty());

    enum Offer { Added, Updated, Removed };
    struct Step {
        Offer offer;
        BonjourInfo info;
        bool taken;
        int arrived, changed, removed; // counts after the step
    };
    const Step steps[] = {
        {Added, record("Box 1", "_other._tcp.", "A"), false, 0, 0, 0},
        {Updated, record("Box 1", "_scripted._tcp.", "A"), false, 0, 0, 0}, // not shown yet
        {Added, record("Box 1", "_scripted._tcp.", "A"), true, 1, 0, 0},
        {Added, record("Box 1", "_scripted._tcp.", "B"), true, 1, 1, 0}, // the same instance again
        {Updated, record("Box 1", "_SCRIPTED._tcp", "C"), true, 1, 2, 0},
        {Added, record("Box 2", "_scripted._tcp.", "D"), true, 2, 2, 0},
        {Removed, record("Box 1", "_other._tcp.", "C"), false, 2, 2, 0},
        {Removed, record("Box 1", "_scripted._tcp.", "C"), true, 2, 2, 1},
        {Removed, record("Box 1", "_scripted._tcp.", "C"), false, 2, 2, 1},
    };
    int index = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(index++);
        const bool taken = step.offer == Added     ? network->onBonjourDeviceAdded(step.info)
                           : step.offer == Updated ? network->onBonjourDeviceUpdated(step.info)
                                                   : network->onBonjourDeviceRemoved(step.info);
        EXPECT_EQ(taken, step.taken);
        EXPECT_EQ(arrived.size(), step.arrived);
        EXPECT_EQ(changed.size(), step.changed);
        EXPECT_EQ(removed.size(), step.removed);
    }
    ASSERT_EQ(arrived.size(), 2);
    EXPECT_EQ(removed, QList<VisibleDevice*>{arrived.at(0)});
    VisibleDevice* second = arrived.at(1);
    EXPECT_EQ(second->displayName(), QStringLiteral("Box 2"));
    EXPECT_EQ(second->name(), QStringLiteral("127.0.0.9:9000"));
    EXPECT_EQ(second->family(), network);
    EXPECT_FALSE(second->isFirmwareUpdateAvailable());
    EXPECT_FALSE(second->galleryConnectionIcon().isNull());
}

// Without the variable there is no network family, so nothing asks the host for DNS-SD.
TEST_F(ScriptedPluginTest, WithoutAServiceTypeThereIsOneFamilyWithoutDnsSd)
{
    ASSERT_NO_FATAL_FAILURE(bind("one"));
    EXPECT_FALSE(family->usesBonjour());
    EXPECT_TRUE(family->bonjourServiceTypes().isEmpty());
}

} // namespace
