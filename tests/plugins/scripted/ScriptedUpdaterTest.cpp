#include "tests/plugins/scripted/ScriptedScenario.h"
#include "tests/plugins/scripted/ScriptedUpdater.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

namespace {

// Reports reach a GUI-thread receiver queued, from the task's own thread.
struct Listener : QObject {
    explicit Listener(ScriptedUpdater* updater)
    {
        connect(updater, &DeviceFirmwareUpdater::firmwareUpdated, this,
                [this](int status) { results.append(status); });
        connect(updater, &DeviceFirmwareUpdater::firmwareUpdateProgress, this,
                [this](int percent) { progress.append(percent); });
    }
    QList<int> results;
    QList<int> progress;
};

TEST(ScriptedUpdater, ReportsProgressThenTheResultAndBecomesCurrent)
{
    ScriptedUpdater updater(false, true, 4, 1);
    Listener listener(&updater);
    updater.startUpdate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener.results.size() == 1; })) << listener.results.size();
    EXPECT_EQ(listener.results.at(0), 0);
    EXPECT_EQ(listener.progress, QList<int>({-1, 0, 25, 50, 75, 100}));
    EXPECT_TRUE(updater.firmwareIsCurrent());
}

TEST(ScriptedUpdater, SecondRunAfterAFailureReportsAgain)
{
    ScriptedUpdater updater(false, false, 2, 1);
    Listener listener(&updater);
    updater.startUpdate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener.results.size() == 1; })) << listener.results.size();
    updater.startUpdate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener.results.size() == 2; })) << listener.results.size();
    EXPECT_EQ(listener.results, QList<int>({1, 1}));
    EXPECT_FALSE(updater.firmwareIsCurrent());
}

// The task's thread must end before the object it reports through goes away.
TEST(ScriptedUpdater, DestroyedMidRunStopsAndJoinsItsThreadAndReportsAFailure)
{
    auto* updater = new ScriptedUpdater(false, true, 100, 50);
    Listener listener(updater);
    updater->startUpdate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener.progress.size() >= 2; })) << listener.progress.size();
    EXPECT_TRUE(updater->isRunning());
    delete updater;
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener.results.size() == 1; })) << listener.results.size();
    EXPECT_EQ(listener.results.at(0), 1);
    QTest::qWait(100);
    EXPECT_EQ(listener.results.size(), 1);
}

TEST(ScriptedScenario, NamedScenariosAndAJsonFile)
{
    EXPECT_TRUE(scriptedScenario(QStringLiteral("none")).isEmpty());
    EXPECT_EQ(scriptedScenario(QStringLiteral("one")).size(), 1);
    EXPECT_EQ(scriptedScenario(QStringLiteral("three")).size(), 3);
    const QVector<ScriptedDeviceSpec> update = scriptedScenario(QStringLiteral("update"));
    ASSERT_EQ(update.size(), 1);
    EXPECT_FALSE(update.at(0).firmwareCurrent);

    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    file.write(R"({"devices": [{"name": "A", "firmwareCurrent": false, "updateSucceeds": false},
                               {"name": "B", "displayName": "Bee"}]})");
    file.close();
    const QVector<ScriptedDeviceSpec> fromFile = scriptedScenario(file.fileName());
    ASSERT_EQ(fromFile.size(), 2);
    EXPECT_EQ(fromFile.at(0).name, QStringLiteral("A"));
    EXPECT_FALSE(fromFile.at(0).updateSucceeds);
    EXPECT_EQ(fromFile.at(1).displayName, QStringLiteral("Bee"));
    EXPECT_TRUE(fromFile.at(1).firmwareCurrent);
    EXPECT_TRUE(scriptedScenario(QStringLiteral("/no/such/file.json")).isEmpty());
}

} // namespace
