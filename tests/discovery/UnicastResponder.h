#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

// The tests' own responder (unicast_responder.py), started by a test and always ended with it:
// on a loopback address, or in multicast mode inside a test namespace that `launcher` (such as
// nsenter and its options) enters. Fails loudly when python3 or the script is missing.
class UnicastResponder {
public:
    explicit UnicastResponder(const QStringList& arguments, const QStringList& launcher = {})
    {
        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty()) {
            error_ = QStringLiteral("python3 is not installed (tools/install-deps.sh installs it)");
            return;
        }
        const QStringList command = launcher + QStringList{python, QStringLiteral(TWG_UNICAST_RESPONDER)} + arguments;
        process_.setProgram(command.first());
        process_.setArguments(command.mid(1));
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start();
        if (!process_.waitForStarted(5000) || !waitForLine(QStringLiteral("ready"), 5000))
            error_ = QStringLiteral("the responder did not start: ") + QString::fromUtf8(process_.readAllStandardError());
    }
    ~UnicastResponder()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    UnicastResponder(const UnicastResponder&) = delete;
    UnicastResponder& operator=(const UnicastResponder&) = delete;

    // Empty once it is listening.
    const QString& error() const { return error_; }

    // Multicast mode: one of its stdin commands ("announce", "txt k=v ...", "goodbye"); true
    // once it reports the packet sent.
    bool command(const QString& line)
    {
        const QString verb = line.section(QLatin1Char(' '), 0, 0);
        const int before = output_.count(QStringLiteral("sent ") + verb + QLatin1Char('\n'));
        process_.write((line + QLatin1Char('\n')).toUtf8());
        while (output_.count(QStringLiteral("sent ") + verb + QLatin1Char('\n')) == before) {
            if (!process_.waitForReadyRead(5000))
                return false;
            output_ += QString::fromUtf8(process_.readAllStandardOutput());
        }
        return true;
    }

    // What it printed on stderr, for a failure's message.
    QString errors() { return QString::fromUtf8(process_.readAllStandardError()); }

    // The names it was asked for so far, in order.
    QStringList queries()
    {
        process_.waitForReadyRead(0);
        output_ += QString::fromUtf8(process_.readAllStandardOutput());
        QStringList names;
        const QStringList lines = output_.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& line : lines) {
            if (line.startsWith(QLatin1String("query ")))
                names << line.mid(6);
        }
        return names;
    }

private:
    bool waitForLine(const QString& line, int ms)
    {
        while (!output_.contains(line + QLatin1Char('\n'))) {
            if (!process_.waitForReadyRead(ms))
                return false;
            output_ += QString::fromUtf8(process_.readAllStandardOutput());
        }
        return true;
    }

    QProcess process_;
    QString output_;
    QString error_;
};
