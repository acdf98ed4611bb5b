// The real engine against real peers: Debian's avahi-daemon, and the tests' own responder in
// multicast mode, each in the second namespace that netns_run.sh made, reached over the veth
// pair. Every packet stays inside these namespaces.
#include "tests/discovery/UnicastResponder.h"

#include "discovery/BonjourHelper.h"
#include "discovery/BonjourHelperLookup.h"
#include "discovery/BonjourHelperResolver.h"
#include "discovery/BonjourInfoQuery.h"
#include "discovery/DiscoveryEngine.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <net/if.h>
#include <signal.h>

#include <memory>
#include <optional>
#include <vector>

using namespace TWG;

namespace {

const QString kServiceFolder = QStringLiteral("/etc/avahi/services");
const char* const kPeerAddress = "10.77.0.2";

QString serviceXml(const QStringList& txt)
{
    QString records;
    for (const QString& entry : txt)
        records += QStringLiteral("<txt-record>%1</txt-record>").arg(entry);
    return QStringLiteral("<?xml version=\"1.0\" standalone='no'?>\n<service-group><name>Box 1</name><service>"
                          "<type>_tarnwright._tcp</type><port>9000</port>%1</service></service-group>\n")
        .arg(records);
}

// avahi-daemon in the peer namespace, with D-Bus off and no chroot, publishing the service file
// the test writes; started and always ended by the test.
class AvahiPeer {
public:
    AvahiPeer()
    {
        const QByteArray pid = qgetenv("TWG_NETNS_PEER_PID");
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("avahi-daemon"), {"/usr/sbin", "/usr/bin"});
        if (pid.isEmpty()) {
            error_ = QStringLiteral("not inside the test namespaces: run through netns_run.sh");
            return;
        }
        if (daemon.isEmpty()) {
            error_ = QStringLiteral("avahi-daemon is not installed (tools/install-deps.sh installs it)");
            return;
        }
        QFile conf(dir_.filePath(QStringLiteral("avahi-daemon.conf")));
        if (!conf.open(QIODevice::WriteOnly)) {
            error_ = QStringLiteral("cannot write the daemon's configuration");
            return;
        }
        conf.write("[server]\nhost-name=box\nuse-ipv4=yes\nuse-ipv6=no\nallow-interfaces=twg1\nenable-dbus=no\n"
                   "ratelimit-interval-usec=0\n[wide-area]\nenable-wide-area=no\n"
                   "[publish]\npublish-hinfo=no\npublish-workstation=no\n");
        conf.close();
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral("nsenter"),
                       {"-t", QString::fromLatin1(pid), "-n", daemon, "-f", conf.fileName(), "--no-drop-root",
                        "--no-chroot", "--no-rlimits", "--no-proc-title"});
        if (!process_.waitForStarted(5000)) {
            error_ = QStringLiteral("nsenter did not start");
            return;
        }
        if (!waitFor("Server startup complete", 10000))
            error_ = QStringLiteral("avahi-daemon did not start: ") + output_;
    }

    ~AvahiPeer()
    {
        QFile::remove(servicePath());
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(5000);
            }
        }
    }

    const QString& error() const { return error_; }

    // Writes the service file and has the daemon read its services again.
    bool publish(const QStringList& txt)
    {
        QFile file(servicePath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        file.write(serviceXml(txt).toUtf8());
        // The daemon rereads a file only when its modification time changed, in whole seconds.
        const bool stamped = file.setFileTime(QDateTime::fromSecsSinceEpoch(1000000 + ++generation_),
                                              QFileDevice::FileModificationTime);
        file.close();
        return stamped && reload();
    }

    // A deleted file: the daemon says goodbye.
    bool withdraw() { return QFile::remove(servicePath()) && reload(); }

private:
    static QString servicePath() { return kServiceFolder + QStringLiteral("/box.service"); }

    bool reload() { return ::kill(static_cast<pid_t>(process_.processId()), SIGHUP) == 0; }

    bool waitFor(const char* text, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (!output_.contains(QLatin1String(text))) {
            if (clock.elapsed() > timeoutMs || process_.state() == QProcess::NotRunning)
                return false;
            process_.waitForReadyRead(100);
            output_ += QString::fromUtf8(process_.readAll());
        }
        return true;
    }

    QTemporaryDir dir_;
    QProcess process_;
    int generation_ = 0;
    QString output_;
    QString error_;
};

struct Seen {
    QString what;
    BonjourInfo info;
    bool onGuiThread;
};

// Records the helper's signals as the GUI thread receives them.
class Recorder : public QObject {
public:
    explicit Recorder(BonjourHelper* helper)
    {
        const auto record = [this](const char* what) {
            return [this, what](BonjourInfo info) {
                seen.push_back(Seen{QString::fromLatin1(what), info, QThread::currentThread() == qApp->thread()});
            };
        };
        connect(helper, &BonjourHelper::deviceArrived, this, record("arrived"));
        connect(helper, &BonjourHelper::deviceUpdated, this, record("updated"));
        connect(helper, &BonjourHelper::deviceRemoved, this, record("removed"));
    }
    bool waitFor(int count, int timeoutMs)
    {
        return QTest::qWaitFor([&] { return static_cast<int>(seen.size()) >= count; }, timeoutMs);
    }
    std::vector<Seen> seen;
};

using Txt = std::map<std::string, std::string>;

} // namespace

// Arrival with the first TXT record, an update after the file changed, removal after the
// goodbye, all received on the GUI thread; the engine stops with its last object and starts
// again for the next.
TEST(NetnsDiscovery, DaemonInstanceArrivesUpdatesAndLeaves)
{
    AvahiPeer peer;
    ASSERT_TRUE(peer.error().isEmpty()) << peer.error().toStdString();
    ASSERT_TRUE(peer.publish({"model=A", "ver=1"}));
    {
        BonjourHelper helper;
        EXPECT_TRUE(discoveryEngineRunning());
        Recorder recorder(&helper);
        ASSERT_TRUE(recorder.waitFor(1, 10000)) << "nothing arrived";
        const Seen& arrived = recorder.seen.at(0);
        EXPECT_EQ(arrived.what, "arrived");
        EXPECT_TRUE(arrived.onGuiThread);
        EXPECT_EQ(arrived.info.name, "Box 1");
        EXPECT_EQ(arrived.info.type, "_tarnwright._tcp.");
        EXPECT_EQ(arrived.info.domain, "local.");
        EXPECT_EQ(arrived.info.interfaceIndex, static_cast<std::int32_t>(if_nametoindex("twg0")));
        EXPECT_EQ(arrived.info.txt, (Txt{{"model", "A"}, {"ver", "1"}}));
        EXPECT_TRUE(arrived.info.announced);

        // A cache-flush announcement spares records received in the last second: the TXT record
        // just fetched would then linger beside the new one for its whole lifetime.
        QTest::qWait(1500);
        ASSERT_TRUE(peer.publish({"model=A", "ver=2"}));
        ASSERT_TRUE(recorder.waitFor(2, 10000)) << "no update";
        EXPECT_EQ(recorder.seen.at(1).what, "updated");
        EXPECT_EQ(recorder.seen.at(1).info.txt, (Txt{{"model", "A"}, {"ver", "2"}}));
        // The old record lingers beside the new one for a while: it must not flap back.
        QTest::qWait(4500);
        ASSERT_EQ(recorder.seen.size(), 2u) << recorder.seen.back().what.toStdString() << " "
                                            << recorder.seen.back().info.txt.at("ver");

        ASSERT_TRUE(peer.withdraw());
        ASSERT_TRUE(recorder.waitFor(3, 10000)) << "no removal";
        EXPECT_EQ(recorder.seen.at(2).what, "removed");
        EXPECT_EQ(recorder.seen.at(2).info.txt, (Txt{{"model", "A"}, {"ver", "2"}}));
        EXPECT_TRUE(recorder.seen.at(2).onGuiThread);
    }
    EXPECT_FALSE(discoveryEngineRunning());

    ASSERT_TRUE(peer.publish({"model=B"}));
    BonjourHelper again;
    Recorder recorder(&again);
    ASSERT_TRUE(recorder.waitFor(1, 10000)) << "the engine did not start again";
    EXPECT_EQ(recorder.seen.at(0).info.txt, (Txt{{"model", "B"}}));
}

// The same life from the tests' own responder, which speaks as a device does: arrival with the
// first TXT record, an update when it announces a new one, removal after its goodbye.
TEST(NetnsDiscovery, ResponderInstanceArrivesUpdatesAndLeaves)
{
    const QByteArray pid = qgetenv("TWG_NETNS_PEER_PID");
    ASSERT_FALSE(pid.isEmpty()) << "not inside the test namespaces: run through netns_run.sh";
    UnicastResponder responder({"--mode", "multicast", "--address", kPeerAddress, "--interface", "twg1", "--txt",
                                "model=A", "--txt", "ver=1", "--lifetime", "60", "--max-replies", "200"},
                               {"nsenter", "-t", QString::fromLatin1(pid), "-n"});
    ASSERT_TRUE(responder.error().isEmpty()) << responder.error().toStdString();

    BonjourHelper helper;
    Recorder recorder(&helper);
    ASSERT_TRUE(responder.command("announce")) << responder.errors().toStdString();
    ASSERT_TRUE(recorder.waitFor(1, 10000)) << "nothing arrived";
    const Seen& arrived = recorder.seen.at(0);
    EXPECT_EQ(arrived.what, "arrived");
    EXPECT_TRUE(arrived.onGuiThread);
    EXPECT_EQ(arrived.info.name, "Box 1");
    EXPECT_EQ(arrived.info.type, "_tarnwright._tcp.");
    EXPECT_EQ(arrived.info.domain, "local.");
    EXPECT_EQ(arrived.info.interfaceIndex, static_cast<std::int32_t>(if_nametoindex("twg0")));
    EXPECT_EQ(arrived.info.txt, (Txt{{"model", "A"}, {"ver", "1"}}));

    // As with the daemon: the cache flush spares a record received in the last second.
    QTest::qWait(1500);
    ASSERT_TRUE(responder.command("txt model=A ver=2"));
    ASSERT_TRUE(recorder.waitFor(2, 10000)) << "no update";
    EXPECT_EQ(recorder.seen.at(1).what, "updated");
    EXPECT_EQ(recorder.seen.at(1).info.txt, (Txt{{"model", "A"}, {"ver", "2"}}));
    QTest::qWait(3000);
    ASSERT_EQ(recorder.seen.size(), 2u) << "flapped: " << recorder.seen.back().what.toStdString();

    ASSERT_TRUE(responder.command("goodbye"));
    ASSERT_TRUE(recorder.waitFor(3, 10000)) << "no removal";
    EXPECT_EQ(recorder.seen.at(2).what, "removed");
    EXPECT_EQ(recorder.seen.at(2).info.txt, (Txt{{"model", "A"}, {"ver", "2"}}));
    EXPECT_TRUE(recorder.seen.at(2).onGuiThread);
}

// The resolver gives the daemon's host name and the service's port; the look-up its address,
// confirmed by a connection when a port is given.
TEST(NetnsDiscovery, ResolverAndLookupAgainstTheDaemon)
{
    AvahiPeer peer;
    ASSERT_TRUE(peer.error().isEmpty()) << peer.error().toStdString();
    ASSERT_TRUE(peer.publish({"model=A"}));
    BonjourHelper helper;
    Recorder recorder(&helper);
    ASSERT_TRUE(recorder.waitFor(1, 10000));
    const BonjourInfo& info = recorder.seen.at(0).info;

    std::optional<std::tuple<DNSServiceErrorType, std::string, quint16>> resolved;
    BonjourHelperResolver::resolve(BonjourDevice{info.name, info.type, info.domain, info.interfaceIndex},
                                   [&](DNSServiceErrorType error, std::string host, quint16 port) {
                                       resolved.emplace(error, host, port);
                                   });
    ASSERT_TRUE(QTest::qWaitFor([&] { return resolved.has_value(); }, 7000));
    EXPECT_EQ(*resolved, std::make_tuple(DNSServiceErrorType(0), std::string("box.local."), quint16(9000)));

    std::optional<std::pair<DNSServiceErrorType, std::string>> address;
    BonjourHelperLookup::lookup("box.local.", [&](DNSServiceErrorType error, std::string a) { address.emplace(error, a); }, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return address.has_value(); }, 3000));
    EXPECT_EQ(*address, std::make_pair(DNSServiceErrorType(0), std::string(kPeerAddress)));

    // Something listening on the peer's port 9000.
    QProcess listener;
    listener.start(QStringLiteral("nsenter"),
                   {"-t", QString::fromLatin1(qgetenv("TWG_NETNS_PEER_PID")), "-n", "python3", "-c",
                    "import socket,time\ns=socket.socket()\ns.bind(('10.77.0.2',9000))\ns.listen()\n"
                    "print('ready',flush=True)\nc=s.accept()\ntime.sleep(5)"});
    ASSERT_TRUE(listener.waitForReadyRead(5000));
    address.reset();
    BonjourHelperLookup::lookup("box.local.", [&](DNSServiceErrorType error, std::string a) { address.emplace(error, a); }, 9000);
    ASSERT_TRUE(QTest::qWaitFor([&] { return address.has_value(); }, 3000));
    EXPECT_EQ(*address, std::make_pair(DNSServiceErrorType(0), std::string(kPeerAddress)));
    listener.kill();
    listener.waitForFinished(3000);
}

// The daemon answers the unicast question with every record in the answer section; the
// reader wants exactly one answer, so the query is refused at once, not at its time-out. The
// prompt reply shows the question was well formed.
TEST(NetnsDiscovery, UnicastQueryToTheDaemonIsAnsweredAndRefusedAtOnce)
{
    AvahiPeer peer;
    ASSERT_TRUE(peer.error().isEmpty()) << peer.error().toStdString();
    ASSERT_TRUE(peer.publish({"model=A"}));
    QTest::qWait(1500); // the daemon announces before it answers

    BonjourInfoQuery query;
    std::atomic<int> completions{0};
    std::atomic<bool> ok{true};
    query.finished.connect([&](bool good, const BonjourInfo&) {
        ok = good;
        ++completions;
    });
    QElapsedTimer clock;
    clock.start();
    query.query(kPeerAddress, 2000, "_tarnwright._tcp.local");
    ASSERT_TRUE(QTest::qWaitFor([&] { return completions > 0; }, 3000));
    EXPECT_FALSE(ok);
    EXPECT_LT(clock.elapsed(), 1000) << "no reply came: the time-out ended it";
}
