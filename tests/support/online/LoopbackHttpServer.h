// A small HTTP/1.1 server on 127.0.0.1 for the online tests: answers each GET as the test says
// and records every request target.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <functional>

#include "common/TestSupport.h"

namespace tavrino::test {

struct HttpAnswer {
    int status = 200;  // 0: read the request and never answer
    QByteArray body;
    qint64 floodBytes = 0;      // > 0: that many filler bytes instead of body
    bool declareLength = true;  // send Content-Length

    static HttpAnswer Ok(QByteArray b) { return {200, std::move(b), 0, true}; }
    static HttpAnswer Never() { return {0, {}, 0, false}; }
    static HttpAnswer Flood(qint64 bytes, bool declare) { return {200, {}, bytes, declare}; }
};

class LoopbackHttpServer : public QObject {
    Q_OBJECT

public:
    // handler gets the request target ("/path?query") and the number of requests before it.
    using Handler = std::function<HttpAnswer(const QByteArray& target, int index)>;

    explicit LoopbackHttpServer(Handler handler);

    // "http://127.0.0.1:<port>"
    [[nodiscard]] QString Root() const;

    QList<QByteArray> targets;     // of every request, in order
    qint64 floodedBytes = 0;       // filler written so far
    bool floodClientGone = false;  // a client hung up before the filler ended

private:
    Handler handler_;
    QTcpServer server_;
};

// An address where nothing listens.
QString ClosedPortRoot();

// Lets the event loop run for a while (for "nothing more happens" checks).
void SpinFor(int ms);

}  // namespace tavrino::test
