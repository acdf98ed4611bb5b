#include "shell/SingleApplication.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSharedMemory>
#include <QWidget>

namespace {

constexpr int kProbeTimeoutMs = 100;
// sun_path holds 108 bytes with the terminator; leave a little room.
constexpr int kMaxSocketPathBytes = 100;

} // namespace

QString SingleApplication::serverName(const QString& key)
{
    QString name = key;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QByteArray path = QFile::encodeName(QDir::tempPath() + QLatin1Char('/') + name);
    if (path.size() > kMaxSocketPathBytes) {
        const QByteArray digest = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex();
        name = QStringLiteral("vantorel-") + QString::fromLatin1(digest);
    }
    return name;
}

SingleApplication::SingleApplication(int& argc, char** argv, const QString& key)
    : QApplication(argc, argv), key_(key)
{
    sharedMemory_ = new QSharedMemory(key_, this);
    // A segment left by a killed instance has no one attached: attaching and detaching once
    // removes it, and does nothing to a live instance's segment.
    if (sharedMemory_->attach(QSharedMemory::ReadOnly))
        sharedMemory_->detach();

    const QString name = serverName(key_);
    if (!sharedMemory_->create(1, QSharedMemory::ReadOnly)) {
        if (!localSocket_)
            localSocket_ = new QLocalSocket(this);
        localSocket_->connectToServer(name, QIODevice::ReadWrite);
        if (localSocket_->waitForConnected(kProbeTimeoutMs)) {
            secondInstance_ = true;
            return;
        }
    }
    if (localSocket_) {
        delete localSocket_;
        localSocket_ = nullptr;
    }
    if (!localServer_)
        localServer_ = new QLocalServer(this);
    QLocalServer::removeServer(name);
    connect(localServer_, &QLocalServer::newConnection, this, &SingleApplication::slotConnectionEstablished);
    localServer_->listen(name);
}

void SingleApplication::slotConnectionEstablished()
{
    if (QLocalSocket* connection = localServer_->nextPendingConnection())
        delete connection;
    emit secondInstanceDetected();
    if (activationWindow_) {
        activationWindow_->setWindowState((activationWindow_->windowState() & ~Qt::WindowMinimized)
                                          | Qt::WindowActive);
        activationWindow_->raise();
        activationWindow_->activateWindow();
    }
}
