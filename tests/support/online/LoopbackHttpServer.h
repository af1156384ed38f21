// An HTTP/1.1 server on 127.0.0.1: answers each GET as the test says, records every target.
#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <memory>

#include "common/TestSupport.h"

namespace tavrino::test {

struct HttpAnswer {
    int status = 200;  // 0: read the request and never answer
    QByteArray body = {};
    qint64 floodBytes = 0;      // > 0: that many filler bytes instead of body
    bool declareLength = true;  // send Content-Length
};

class LoopbackHttpServer {
public:
    // handler gets the request target ("/path?query") and the number of requests before it.
    explicit LoopbackHttpServer(std::function<HttpAnswer(const QByteArray&, int)> handler)
        : handler_(std::move(handler)) {
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, &server_,
                                 [this, socket, request = std::make_shared<QByteArray>()] {
                                     const bool answered = request->contains("\r\n\r\n");
                                     *request += socket->readAll();
                                     if (!answered && request->contains("\r\n\r\n")) {
                                         Answer(socket, request->split(' ').value(1));
                                     }
                                 });
            }
        });
        server_.listen(QHostAddress::LocalHost, 0);
    }
    [[nodiscard]] QString Root() const {
        return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort());
    }

    QList<QByteArray> targets;     // of every request, in order
    qint64 floodedBytes = 0;       // filler handed to the system so far
    bool floodClientGone = false;  // a client hung up before the filler ended

private:
    void Answer(QTcpSocket* socket, const QByteArray& target) {
        const HttpAnswer answer = handler_(target, static_cast<int>(targets.size()));
        targets << target;
        const qint64 size = answer.floodBytes > 0 ? answer.floodBytes : answer.body.size();
        if (answer.status != 0) {
            socket->write("HTTP/1.1 " + QByteArray::number(answer.status) + " Status\r\n" +
                          (answer.declareLength
                               ? "Content-Length: " + QByteArray::number(size) + "\r\n"
                               : "") +
                          "Connection: close\r\n\r\n" + answer.body);
        }
        // The filler goes out a little at a time, as the client takes it.
        auto left = std::make_shared<qint64>(answer.status != 0 ? answer.floodBytes : -1);
        const auto pump = [this, socket, left] {
            while (*left > 0 && socket->state() == QAbstractSocket::ConnectedState &&
                   socket->bytesToWrite() < 256 * 1024) {
                socket->write(QByteArray(64 * 1024, 'x'));
                *left -= 64 * 1024;
                floodedBytes += 64 * 1024;
            }
            if (*left == 0) {
                socket->disconnectFromHost();
            }
        };
        QObject::connect(socket, &QTcpSocket::bytesWritten, &server_, pump);
        QObject::connect(socket, &QTcpSocket::stateChanged, &server_,
                         [this, left] { floodClientGone = floodClientGone || *left > 0; });
        pump();
    }

    std::function<HttpAnswer(const QByteArray&, int)> handler_;
    QTcpServer server_;
};

// An address where nothing listens.
inline QString ClosedPortRoot() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());  // closed on return
}

}  // namespace tavrino::test
