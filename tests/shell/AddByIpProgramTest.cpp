// The whole program finds network devices: the scripted plug-in's network family asks for one
// service type, and the tests' responder answers only that type, on a loopback address of this
// test's own (adding by address) or by multicast from the second test namespace (browsing). The
// plug-in's automation drives the program and reports what it sees; it also ends the program
// with discovery still pending.
#include "TestPaths.h"
#include "tests/discovery/UnicastResponder.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace {

const QString kFamilyType = QStringLiteral("_scripted._tcp");

struct ProgramRun {
    int exitCode = -1;
    QStringList lines; // the plug-in's and the controller's log, without their category prefix
    QString errors;    // the whole standard error stream
};

// One isolated run of the program with the scripted plug-in and its network family; the
// automation takes the picture `shot` of the add-by-IP dialog after typing `address`.
ProgramRun runProgram(const QTemporaryDir& root, const QString& shot, const QString& address)
{
    QProcessEnvironment env;
    env.insert("PATH", qEnvironmentVariable("PATH"));
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS", "G_SLICE"})
        env.insert(name, qEnvironmentVariable(name));
    env.insert("HOME", root.path());
    env.insert("XDG_CONFIG_HOME", root.path() + "/config");
    env.insert("TMPDIR", root.path());
    env.insert("XDG_RUNTIME_DIR", root.path());
    env.insert("LC_ALL", "C");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QT_LOGGING_RULES", "vantorel.shell.addbyip.debug=true");
    env.insert("TWG_ADMIN_PLUGIN_PATH", testPluginRoot() + "/scripted");
    env.insert("TWG_SCRIPTED_DEVICES", "none");
    // A second option, so that the cross button opens a menu rather than acting at once.
    env.insert("TWG_SCRIPTED_CROSS_MENU", "Identify devices");
    env.insert("TWG_SCRIPTED_SERVICE_TYPE", kFamilyType);
    env.insert("TWG_SCRIPTED_SHOT", shot);
    env.insert("TWG_SCRIPTED_SHOT_PATH", root.path() + "/shot.png");
    if (!address.isEmpty())
        env.insert("TWG_SCRIPTED_ADD_ADDRESS", address);

    QProcess program;
    program.setProcessEnvironment(env);
    program.start(testBuildDir() + "/bin/vantorel", {});
    ProgramRun run;
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished(5000);
        ADD_FAILURE() << "the program did not end";
    }
    run.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    run.errors = QString::fromUtf8(program.readAllStandardError());
    const QStringList lines = run.errors.split('\n', Qt::SkipEmptyParts);
    for (QString line : lines) {
        for (const QString& prefix : {QStringLiteral("twg.test.scripted: "), QStringLiteral("vantorel.shell.addbyip: ")}) {
            if (line.startsWith(prefix))
                run.lines << line.mid(prefix.size());
        }
    }
    return run;
}

// The lines these tests read, one per line: the saved picture's line may change freely.
std::string story(const QStringList& lines)
{
    QStringList kept;
    for (const QString& line : lines) {
        if (!line.startsWith(QLatin1String("Saved")))
            kept << line;
    }
    return kept.join('\n').toStdString();
}

std::string joined(const QStringList& lines)
{
    return lines.join('\n').toStdString();
}

} // namespace

TEST(AddByIpProgram, TheFamilyTypeAnswersAfterTheDefaultAndTheGalleryShowsTheDevice)
{
    const QString address = QStringLiteral("127.0.0.22");
    UnicastResponder responder({"--address", address, "--service", kFamilyType + ".local", "--txt", "model=S1",
                                "--srv-port", "9100", "--lifetime", "60", "--max-replies", "4"});
    ASSERT_TRUE(responder.error().isEmpty()) << responder.error().toStdString();
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());

    const ProgramRun run = runProgram(root, QStringLiteral("add-by-ip-added"), address);
    EXPECT_EQ(run.exitCode, 0) << joined(run.lines);
    EXPECT_EQ(story(run.lines),
              joined({"Cross menu: Add by IP address; Identify devices",
                      "Add by IP dialog: input",
                      "Add by IP dialog: checking",
                      "Looking for service: _scripted._tcp.local",
                      "Network device arrived: \"Box 1\" _scripted._tcp. local. 127.0.0.22:9100 model=S1",
                      "Add by IP dialog: closed",
                      "Gallery shows: Box 1"}));
    EXPECT_EQ(joined(responder.queries()), joined({"_tarnwright._tcp.local", "_scripted._tcp.local"}));
    EXPECT_GT(QFileInfo(root.path() + "/shot.png").size(), 0);
}

// Nobody answers either type: the dialog ends on "not found" and no device arrives.
TEST(AddByIpProgram, WithoutAnAnswerTheDialogEndsNotFound)
{
    const QString address = QStringLiteral("127.0.0.23");
    UnicastResponder responder({"--address", address, "--mode", "silent", "--lifetime", "60"});
    ASSERT_TRUE(responder.error().isEmpty()) << responder.error().toStdString();
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());

    const ProgramRun run = runProgram(root, QStringLiteral("add-by-ip-not-found"), address);
    EXPECT_EQ(run.exitCode, 0) << joined(run.lines);
    EXPECT_EQ(story(run.lines), joined({"Cross menu: Add by IP address; Identify devices",
                                        "Add by IP dialog: input",
                                        "Add by IP dialog: checking",
                                        "Looking for service: _scripted._tcp.local",
                                        "Add by IP dialog: not found"}));
    EXPECT_EQ(joined(responder.queries()), joined({"_tarnwright._tcp.local", "_scripted._tcp.local"}));
}

// Browsing: the device the responder announces beside the program's namespace is in the gallery.
TEST(BrowsedProgram, TheGalleryShowsTheBrowsedDevice)
{
    const QByteArray pid = qgetenv("TWG_NETNS_PEER_PID");
    ASSERT_FALSE(pid.isEmpty()) << "not inside the test namespaces: run through netns_run.sh";
    UnicastResponder responder({"--mode", "multicast", "--address", "10.77.0.2", "--interface", "twg1",
                                "--service-name", kFamilyType + ".local", "--instance", "Studio Box", "--txt",
                                "model=S1", "--lifetime", "60", "--max-replies", "50"},
                               {"nsenter", "-t", QString::fromLatin1(pid), "-n"});
    ASSERT_TRUE(responder.error().isEmpty()) << responder.error().toStdString();
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());

    const ProgramRun run = runProgram(root, QStringLiteral("browsed"), QString());
    EXPECT_EQ(run.exitCode, 0) << joined(run.lines) << "\nasked: " << joined(responder.queries())
                               << responder.errors().toStdString();
    EXPECT_EQ(story(run.lines), joined({"Network device arrived: \"Studio Box\" _scripted._tcp. local. :0 model=S1",
                                        "Gallery shows: Studio Box"}));
    EXPECT_GT(QFileInfo(root.path() + "/shot.png").size(), 0);
}

// Quitting while a resolve and a look-up wait for answers that never come (nothing answers in
// this namespace): the program ends cleanly, through its statics' destruction, and no answer
// reaches the family after the quit.
TEST(QuitProgram, WithAResolveAndALookUpPendingTheProgramEndsCleanly)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const ProgramRun run = runProgram(root, QStringLiteral("quit-resolving"), QString());
    EXPECT_EQ(run.exitCode, 0) << joined(run.lines);
    EXPECT_EQ(joined(run.lines), joined({"Resolving Nobody, looking up nobody.local.", "Quitting"}));
    EXPECT_FALSE(run.errors.contains(QLatin1String("terminate"))) << run.errors.toStdString();
}
