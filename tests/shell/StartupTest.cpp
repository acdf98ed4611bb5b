#include "TestPaths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

// Copies the program into an installation without plug-ins; the copy finds its settings and
// plug-in folders beside its own file.
bool install(const QString& from, const QString& to)
{
    if (!QDir().mkpath(to + "/Resources"))
        return false;
    QStringList files = {"vantorel", "Resources/settings.ini"};
    files += QDir(from).entryList({"lib*.so*"}, QDir::Files);
    for (const QString& file : qAsConst(files)) {
        if (!QFile::copy(from + "/" + file, to + "/" + file))
            return false;
    }
    return QFile::setPermissions(to + "/vantorel", QFile::permissions(from + "/vantorel"));
}

TEST(Startup, WithoutPluginsTheBadInstallDialogShowsAndCloseQuitsWithZero)
{
    QTemporaryDir root;
    const QString bin = root.path() + "/bin";
    ASSERT_TRUE(install(testBuildDir() + "/bin", bin));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", root.path());
    env.insert("XDG_CONFIG_HOME", root.path() + "/config");
    env.insert("TMPDIR", root.path());
    // A plug-in that refuses to bind, then reports what the program shows and presses its button.
    env.insert("TWG_ADMIN_PLUGIN_PATH", testPluginRoot() + "/binding_probe");
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(bin + "/vantorel", {});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();

    QStringList lines = QString::fromUtf8(program.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    lines = lines.filter(QRegularExpression("^(label|button):"));
    EXPECT_EQ(lines, QStringList({"label:Bad Install",
                                  "label:Your software installation has become corrupted and is missing some "
                                  "components.",
                                  "button:Close"}));
}

} // namespace
