#include "tests/support/online/LoopbackHttpServer.h"

#include <QTcpSocket>
#include <memory>

namespace tavrino::test {

LoopbackHttpServer::LoopbackHttpServer(Handler handler) : handler_(std::move(handler)) {
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            auto request = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
                const bool complete = request->contains("\r\n\r\n");
                *request += socket->readAll();
                if (complete || !request->contains("\r\n\r\n")) {
                    return;  // answered already, or the head is still coming
                }
                const QByteArray target = request->split(' ').value(1);
                const HttpAnswer answer = handler_(target, static_cast<int>(targets.size()));
                targets << target;
                if (answer.status == 0) {
                    return;
                }
                const qint64 size = answer.floodBytes > 0 ? answer.floodBytes : answer.body.size();
                QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + " Status\r\n";
                if (answer.declareLength) {
                    head += "Content-Length: " + QByteArray::number(size) + "\r\n";
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
                connect(socket, &QTcpSocket::bytesWritten, this, pump);
                connect(socket, &QTcpSocket::stateChanged, this,
                        [this, left] { floodClientGone = floodClientGone || *left > 0; });
                pump();
            });
        }
    });
    server_.listen(QHostAddress::LocalHost, 0);
}

QString LoopbackHttpServer::Root() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort());
}

QString ClosedPortRoot() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());  // closed on return
}

void SpinFor(int ms) {
    WaitUntil([] { return false; }, ms, 10);
}

}  // namespace tavrino::test
