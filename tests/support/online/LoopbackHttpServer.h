// A small HTTP/1.1 server on 127.0.0.1 for the online tests: answers each GET as the test says
// and records every raw request line.
#pragma once

#include "common/TestSupport.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <functional>

class QTcpSocket;

namespace tavrino::test {

struct HttpAnswer {
    enum class Kind {
        Body,    // status line, headers, body, close
        Silent,  // accept and read the request, never answer
        Stream,  // streamBytes of filler, as fast as the client takes them
    };
    Kind kind = Kind::Body;
    int status = 200;
    QByteArray body;
    qint64 streamBytes = 0;
    bool declareLength = true;  // send Content-Length (Stream: the full size)

    static HttpAnswer Ok(QByteArray b) {
        return HttpAnswer{Kind::Body, 200, std::move(b), 0, true};
    }
    static HttpAnswer Status(int s, QByteArray b = {}) {
        return HttpAnswer{Kind::Body, s, std::move(b), 0, true};
    }
    static HttpAnswer Never() { return HttpAnswer{Kind::Silent, 0, {}, 0, false}; }
    static HttpAnswer Flood(qint64 bytes, bool declare) {
        return HttpAnswer{Kind::Stream, 200, {}, bytes, declare};
    }
};

class LoopbackHttpServer : public QObject {
    Q_OBJECT

public:
    // answer gets the request target ("/path?query") and the number of requests before it.
    using Handler = std::function<HttpAnswer(const QByteArray& target, int index)>;

    explicit LoopbackHttpServer(Handler handler, QObject* parent = nullptr);

    [[nodiscard]] quint16 Port() const { return server_.serverPort(); }
    // "http://127.0.0.1:<port>"
    [[nodiscard]] QString Root() const;

    // Every request line as received, e.g. "GET /products/Varnello/version.asp HTTP/1.1".
    QList<QByteArray> requestLines;
    // The request target of each request line.
    [[nodiscard]] QList<QByteArray> Targets() const;

    qint64 streamedBytes = 0;       // filler written by Stream answers
    bool streamClientGone = false;  // a Stream client hung up before the end

private:
    void Accept();
    void ReadRequest(QTcpSocket* socket);
    void Stream(QTcpSocket* socket, qint64 remaining);

    Handler handler_;
    QTcpServer server_;
};

// An address where nothing listens.
QString ClosedPortRoot();

// Lets the event loop run for a while (for "nothing more happens" checks).
void SpinFor(int ms);

}  // namespace tavrino::test
