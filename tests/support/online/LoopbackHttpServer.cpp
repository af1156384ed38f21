#include "tests/support/online/LoopbackHttpServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTcpSocket>
#include <QThread>
#include <memory>

namespace tavrino::test {

namespace {

constexpr qint64 kChunk = 64 * 1024;
constexpr qint64 kMaxQueued = 256 * 1024;

QByteArray ReasonFor(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 302:
            return "Found";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        default:
            return "Status";
    }
}

}  // namespace

LoopbackHttpServer::LoopbackHttpServer(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {
    connect(&server_, &QTcpServer::newConnection, this, [this] { Accept(); });
    server_.listen(QHostAddress::LocalHost, 0);
}

QString LoopbackHttpServer::Root() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(Port());
}

QList<QByteArray> LoopbackHttpServer::Targets() const {
    QList<QByteArray> targets;
    for (const QByteArray& line : requestLines) {
        const QList<QByteArray> parts = line.split(' ');
        targets << (parts.size() >= 2 ? parts[1] : QByteArray());
    }
    return targets;
}

void LoopbackHttpServer::Accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        auto answered = std::make_shared<bool>(false);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer, answered] {
            *buffer += socket->readAll();
            if (*answered || !buffer->contains("\r\n\r\n")) {
                return;
            }
            *answered = true;
            const QByteArray line = buffer->left(buffer->indexOf("\r\n"));
            const int index = static_cast<int>(requestLines.size());
            requestLines << line;
            const QList<QByteArray> parts = line.split(' ');
            const HttpAnswer answer = handler_(parts.size() >= 2 ? parts[1] : QByteArray(), index);
            switch (answer.kind) {
                case HttpAnswer::Kind::Silent:
                    return;
                case HttpAnswer::Kind::Body: {
                    QByteArray response = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' +
                                          ReasonFor(answer.status) + "\r\n";
                    response += "Content-Type: text/plain\r\n";
                    response +=
                        "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
                    response += "Connection: close\r\n\r\n";
                    response += answer.body;
                    socket->write(response);
                    socket->disconnectFromHost();
                    return;
                }
                case HttpAnswer::Kind::Stream: {
                    QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
                    if (answer.declareLength) {
                        head +=
                            "Content-Length: " + QByteArray::number(answer.streamBytes) + "\r\n";
                    }
                    head += "Connection: close\r\n\r\n";
                    socket->write(head);
                    Stream(socket, answer.streamBytes);
                    return;
                }
            }
        });
    }
}

void LoopbackHttpServer::Stream(QTcpSocket* socket, qint64 total) {
    auto remaining = std::make_shared<qint64>(total);
    auto pump = [this, socket, remaining] {
        while (*remaining > 0 && socket->state() == QAbstractSocket::ConnectedState &&
               socket->bytesToWrite() < kMaxQueued) {
            const qint64 n = std::min(kChunk, *remaining);
            socket->write(QByteArray(static_cast<qsizetype>(n), 'x'));
            *remaining -= n;
            streamedBytes += n;
        }
        if (*remaining == 0 && socket->state() == QAbstractSocket::ConnectedState) {
            socket->disconnectFromHost();
        }
    };
    connect(socket, &QTcpSocket::bytesWritten, this, pump);
    connect(socket, &QTcpSocket::disconnected, this, [this, remaining] {
        if (*remaining > 0) {
            streamClientGone = true;
        }
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, remaining] {
        if (*remaining > 0) {
            streamClientGone = true;
        }
    });
    pump();
}

QString ClosedPortRoot() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

void SpinFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}

}  // namespace tavrino::test
