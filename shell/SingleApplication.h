#pragma once

#include <QApplication>
#include <QString>

class QLocalServer;
class QLocalSocket;
class QSharedMemory;

// One running instance per key: a second start knocks on the first one's local server, which
// raises its window, and then leaves.
class SingleApplication : public QApplication {
    Q_OBJECT
public:
    SingleApplication(int& argc, char** argv, const QString& key);

    // True when another instance with this key answered: the caller returns 0 at once.
    bool isSecondInstance() const { return secondInstance_; }

    void setActivationWindow(QWidget* window) { activationWindow_ = window; }

    // The local-server name for a key, the same in both roles: QLocalServer refuses names with
    // "/" and socket paths over about 107 bytes.
    static QString serverName(const QString& key);

signals:
    void secondInstanceDetected();

public slots:
    void slotConnectionEstablished();

private:
    QWidget* activationWindow_ = nullptr;
    QSharedMemory* sharedMemory_ = nullptr;
    QString key_;
    QLocalServer* localServer_ = nullptr;
    QLocalSocket* localSocket_ = nullptr;
    bool secondInstance_ = false;
};
