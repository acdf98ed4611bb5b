#include "TestPaths.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QUuid>

#include <memory>

namespace {

// Each test gets its own TMPDIR, where the local sockets and segment key files live.
class SingleInstanceTest : public ::testing::Test {
protected:
    std::unique_ptr<QProcess> start(const QString& key)
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", tmp_.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process->setProcessEnvironment(env);
        process->start(testBuildDir() + "/tests-bin/single_instance_helper", {key});
        EXPECT_TRUE(process->waitForStarted(5000));
        return process;
    }

    static bool waitForLine(QProcess& process, const QByteArray& prefix, int ms = 5000)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            if (process.canReadLine()) {
                if (process.readLine().startsWith(prefix))
                    return true;
                continue;
            }
            if (!process.waitForReadyRead(100) && process.state() == QProcess::NotRunning)
                return false;
        }
        return false;
    }

    // A clean exit, so no segment outlives the test.
    static void stop(QProcess& process)
    {
        process.write("quit\n");
        process.closeWriteChannel();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    static void kill(QProcess& process)
    {
        process.kill();
        process.waitForFinished(5000);
    }

    QString uniqueKey(const QString& stem) const
    {
        return stem + QUuid::createUuid().toString(QUuid::Id128);
    }

    QTemporaryDir tmp_;
};

TEST_F(SingleInstanceTest, SecondStartWithTheSameKeyLeavesAndRaisesTheFirst)
{
    // Plain keys, keys with "/", and keys too long for a socket path.
    const QStringList keys = {uniqueKey("3F9A61D0C27E4B85A1D6E09B7C42F5A8Plain "),
                              uniqueKey("3F9A61D0C27E4B85A1D6E09B7C42F5A8With/Slash "),
                              uniqueKey("3F9A61D0C27E4B85A1D6E09B7C42F5A8" + QString(120, 'L'))};
    for (const QString& key : keys) {
        auto first = start(key);
        ASSERT_TRUE(waitForLine(*first, "ready")) << key.toStdString();

        QElapsedTimer timer;
        timer.start();
        auto second = start(key);
        ASSERT_TRUE(second->waitForFinished(5000));
        // Prompt, not a time-out: the bound leaves room for a sanitizer build starting under load.
        EXPECT_LT(timer.elapsed(), 3000) << key.toStdString();
        EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second->exitCode(), 0);
        EXPECT_FALSE(second->readAllStandardOutput().contains("ready"));

        EXPECT_TRUE(waitForLine(*first, "knock minimized=0 active=1")) << key.toStdString();
        stop(*first);
    }
}

TEST_F(SingleInstanceTest, AnotherKeyRunsBesideItAndLeavesItsGuardAlone)
{
    // Names that a careless mapping of "/" would give the same server.
    const QString id = QUuid::createUuid().toString(QUuid::Id128);
    const QStringList pairs[] = {{"AppOne" + id, "AppTwo" + id}, {"App_One" + id, "App/One" + id}};
    for (const QStringList& keys : pairs) {
        SCOPED_TRACE(keys.join(" | ").toStdString());
        auto first = start(keys[0]);
        ASSERT_TRUE(waitForLine(*first, "ready"));
        auto second = start(keys[1]);
        EXPECT_TRUE(waitForLine(*second, "ready"));
        EXPECT_EQ(second->state(), QProcess::Running);

        // The first instance still answers a second start of its own name.
        auto again = start(keys[0]);
        ASSERT_TRUE(again->waitForFinished(5000));
        EXPECT_EQ(again->exitCode(), 0);
        EXPECT_TRUE(waitForLine(*first, "knock"));
        stop(*second);
        stop(*first);
    }
}

TEST_F(SingleInstanceTest, AKilledInstanceDoesNotLockTheNextOneOut)
{
    const QString key = uniqueKey("Stale");
    auto first = start(key);
    ASSERT_TRUE(waitForLine(*first, "ready"));
    kill(*first); // the segment and the socket file stay behind

    auto second = start(key);
    ASSERT_TRUE(waitForLine(*second, "ready"));
    auto third = start(key);
    ASSERT_TRUE(third->waitForFinished(5000));
    EXPECT_EQ(third->exitCode(), 0);
    EXPECT_TRUE(waitForLine(*second, "knock"));
    stop(*second);
}

} // namespace
