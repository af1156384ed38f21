// Plain HTTP GET for the talks with the vendor web site. Requests run asynchronously so every
// window keeps painting while the site answers; each one has a time limit and a size limit so a
// silent or endless server can neither hang the program nor fill its memory.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QUrl>
#include <chrono>
#include <functional>

class QNetworkAccessManager;

namespace tavrino {

// How long the program waits for the vendor site before counting a request as failed.
inline constexpr std::chrono::milliseconds kRequestTimeout{10000};

// What to do with a body that is longer than allowed.
enum class OverLimit {
    Fail,      // the request counts as failed
    Truncate,  // the body is cut at the limit and the rest is not read
};

struct HttpResult {
    bool ok = false;  // false: no connection, a status other than 2xx, time-out or too long a body
    QByteArray body;  // empty unless ok
    bool truncated = false;  // OverLimit::Truncate cut the body
};

class HttpGetter : public QObject {
    Q_OBJECT

public:
    explicit HttpGetter(std::chrono::milliseconds timeout = kRequestTimeout,
                        QObject* parent = nullptr);
    ~HttpGetter() override;
    HttpGetter(const HttpGetter&) = delete;
    HttpGetter& operator=(const HttpGetter&) = delete;

    using Callback = std::function<void(const HttpResult&)>;

    // Starts a GET without headers of our own and without following redirections. done runs
    // exactly once, later from the event loop (never inside Get), unless the getter is
    // destroyed first. It may delete the getter.
    void Get(const QUrl& url, qint64 maxBytes, OverLimit over, Callback done);

    [[nodiscard]] std::chrono::milliseconds Timeout() const { return timeout_; }

private:
    QNetworkAccessManager* manager_;
    std::chrono::milliseconds timeout_;
};

}  // namespace tavrino
