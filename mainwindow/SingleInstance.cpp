#include "mainwindow/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>

namespace tavrino {

namespace {

// Room for every launch of a burst ("--next" fifty times at once) to wait its turn.
constexpr int kBacklog = 256;

// Something at path that is not a socket: a folder, a file, a link. Never ours to remove.
bool SomethingElseAt(const QString& path) {
    const QFileInfo there(path);
    return there.isSymLink() || there.isDir() || there.isFile();
}

void WriteLine(QLocalSocket* socket, const QString& line) {
    if (socket == nullptr) {
        return;
    }
    socket->write(line.toUtf8() + '\n');
    socket->flush();
    socket->disconnectFromServer();
}

}  // namespace

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
        return false;  // a live copy holds the lock
    }
    // We hold the lock, so a socket left there belongs to a copy that died.
    if (!SomethingElseAt(socketPath_)) {
        QLocalServer::removeServer(socketPath_);
    }
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.setMaxPendingConnections(kBacklog);
    server_.setListenBacklogSize(kBacklog);
    if (!server_.listen(socketPath_)) {
        channelProblem_ =
            QStringLiteral(
                "Tavrino Wallpaper Manager runs without its command channel, so "
                "\"--next\" and \"--show\" cannot reach it: %1 is in the way (%2). Remove or "
                "rename it and start the program again to have them work.")
                .arg(QDir::toNativeSeparators(socketPath_), server_.errorString());
    }
    return true;
}

SingleInstance::Answer SingleInstance::Ask(command::Request request, int connectMs,
                                           int answerMs) const {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(connectMs)) {
        if (SomethingElseAt(socketPath_)) {
            return {std::nullopt, QStringLiteral("%1 is not the program's command socket "
                                                 "(something else is in its place), so a "
                                                 "running copy cannot be reached")
                                      .arg(QDir::toNativeSeparators(socketPath_))};
        }
        return {std::nullopt,
                QStringLiteral("no running copy answered (is it running and past its start-up?)")};
    }
    socket.write(QByteArray::fromStdString(command::RequestLine(request)) + '\n');
    if (!socket.waitForBytesWritten(connectMs)) {
        return {std::nullopt, QStringLiteral("the running copy did not take the request")};
    }
    while (!socket.canReadLine()) {
        if (socket.bytesAvailable() > qint64{command::kMaxLine} ||
            !socket.waitForReadyRead(answerMs)) {
            return {std::nullopt, QStringLiteral("the running copy did not answer")};
        }
    }
    const QByteArray line = socket.readLine(qint64{command::kMaxLine} + 1);
    std::optional<command::Reply> reply = command::ParseReply(line.toStdString());
    if (!reply) {
        return {std::nullopt, QStringLiteral("the running copy gave an answer that is not one "
                                             "of this program's")};
    }
    return {std::move(reply), {}};
}

bool SingleInstance::Send(const QString& request, int timeoutMs) const {
    const std::optional<command::Request> known = command::ParseRequest(request.toStdString());
    if (!known) {
        return false;
    }
    const Answer answer = Ask(*known, timeoutMs, timeoutMs);
    return answer.reply && answer.reply->outcome == command::Outcome::Done;
}

void SingleInstance::Accept() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] { Receive(socket); });
    }
}

void SingleInstance::Receive(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > qint64{command::kMaxLine}) {
            socket->abort();  // not one of ours
        }
        return;
    }
    const QString request =
        QString::fromUtf8(socket->readLine(qint64{command::kMaxLine} + 1)).trimmed();
    if (serving_ && replyWhileServing) {
        if (const std::optional<QString> now = replyWhileServing(request)) {
            WriteLine(socket, *now);
            return;
        }
    }
    queue_.append({socket, request});
    ServeQueue();
}

// Serves the queue in arrival order. A request that comes in while one is served (its handler
// may let events run) waits in the queue and is served by the outer call.
void SingleInstance::ServeQueue() {
    if (serving_) {
        return;
    }
    serving_ = true;
    while (!queue_.isEmpty()) {
        const Pending next = queue_.takeFirst();
        if (next.socket == nullptr) {
            continue;  // the asker gave up
        }
        const QString answer =
            onRequest ? onRequest(next.request)
                      : QString::fromStdString(command::ReplyLine({command::Outcome::Done, {}}));
        WriteLine(next.socket, answer);
    }
    serving_ = false;
}

}  // namespace tavrino
