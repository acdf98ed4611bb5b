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
    // Hashed rather than edited, so that two application names never share a server name.
    const QByteArray path = QFile::encodeName(QDir::tempPath() + QLatin1Char('/') + key);
    if (!key.contains(QLatin1Char('/')) && path.size() <= kMaxSocketPathBytes)
        return key;
    const QByteArray digest = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("vantorel-") + QString::fromLatin1(digest);
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
