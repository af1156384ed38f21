// A small HTTP/1.1 server on 127.0.0.1 for the online tests: answers each GET as the test says
// and records every request target.
#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
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
    qint64 floodedBytes = 0;       // filler written so far
    bool floodClientGone = false;  // a client hung up before the filler ended

private:
    void Answer(QTcpSocket* socket, const QByteArray& target) {
        const HttpAnswer answer = handler_(target, static_cast<int>(targets.size()));
        targets << target;
        if (answer.status == 0) {
            return;
        }
        QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + " Status\r\n";
        if (answer.declareLength) {
            head +=
                "Content-Length: " +
                QByteArray::number(answer.floodBytes > 0 ? answer.floodBytes : answer.body.size()) +
                "\r\n";
        }
        socket->write(head + "Connection: close\r\n\r\n" + answer.body);
        auto left = std::make_shared<qint64>(answer.floodBytes);
        const auto pump = [this, socket, left] {
            while (*left > 0 && socket->state() == QAbstractSocket::ConnectedState &&
                   socket->bytesToWrite() < 256 * 1024) {
                const qint64 n = std::min<qint64>(64 * 1024, *left);
                socket->write(QByteArray(static_cast<qsizetype>(n), 'x'));
                *left -= n;
                floodedBytes += n;
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
