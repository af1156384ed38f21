#include "mainwindow/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace tavrino {

namespace {
constexpr qint64 kMaxRequest = 256;
}

QString SingleInstance::DefaultFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
    }
    return folder;
}

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent),
#ifdef Q_OS_WIN
      socketPath_(QStringLiteral("tavrino-wallpaper-manager-") + qEnvironmentVariable("USERNAME")),
#else
      socketPath_(folder + QStringLiteral("/tavrino-wallpaper-manager.socket")),
#endif
      lock_(
          std::make_unique<QLockFile>(folder + QStringLiteral("/tavrino-wallpaper-manager.lock"))) {
    QDir().mkpath(folder);
    lock_->setStaleLockTime(0);  // a lock is stale only when its process is gone
    connect(&server_, &QLocalServer::newConnection, this, [this] { Accept(); });
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::BecomePrimary() {
    if (!lock_->tryLock(0)) {
        return false;
    }
    // We hold the lock, so any socket left behind belongs to a copy that died.
    QLocalServer::removeServer(socketPath_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    return server_.listen(socketPath_);
}

bool SingleInstance::Send(const QString& request, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    socket.write(request.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            return false;
        }
    }
    return socket.readLine(kMaxRequest).trimmed() == "ok";
}

void SingleInstance::Accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kMaxRequest) {
                    socket->abort();  // not one of ours
                }
                return;
            }
            const QString request = QString::fromUtf8(socket->readLine(kMaxRequest)).trimmed();
            const QString answer = onRequest ? onRequest(request) : QStringLiteral("ok");
            socket->write(answer.toUtf8() + '\n');
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}

}  // namespace tavrino
