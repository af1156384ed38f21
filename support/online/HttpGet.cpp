#include "support/online/HttpGet.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <utility>

namespace tavrino {

namespace {

struct RequestState {
    bool finished = false;
    QByteArray body;
    bool truncated = false;
};

int TimeoutMs(std::chrono::milliseconds timeout) {
    const auto count = timeout.count();
    if (count <= 0) {
        return 1;
    }
    return count > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(count);
}

}  // namespace

HttpGetter::HttpGetter(std::chrono::milliseconds timeout, QObject* parent)
    : QObject(parent), manager_(new QNetworkAccessManager(this)), timeout_(timeout) {}

HttpGetter::~HttpGetter() = default;

void HttpGetter::Get(const QUrl& url, qint64 maxBytes, OverLimit over, Callback done) {
    if (maxBytes < 0) {
        maxBytes = 0;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    // Gives up when nothing moves for the whole time; the deadline below bounds the total.
    request.setTransferTimeout(TimeoutMs(timeout_));

    QNetworkReply* reply = manager_->get(request);
    // Never hold more than one byte over the limit in memory.
    reply->setReadBufferSize(maxBytes + 1);
    auto state = std::make_shared<RequestState>();
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);

    auto finish = [this, reply, state, done = std::move(done)](bool ok) {
        if (state->finished) {
            return;
        }
        state->finished = true;
        if (reply->isRunning()) {
            reply->abort();  // emits finished() at once; the flag above makes it a no-op
        }
        reply->deleteLater();
        HttpResult result;
        // Only a 2xx status answers the request: a redirection or an error page carries a body
        // of its own that must not be read as the site's reply.
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid() && (status.toInt() < 200 || status.toInt() > 299)) {
            ok = false;
        }
        result.ok = ok;
        result.truncated = ok && state->truncated;
        if (ok) {
            result.body = std::move(state->body);
        }
        // Run the caller's code outside the reply's signal, so it may delete this getter.
        QMetaObject::invokeMethod(
            this, [done, result = std::move(result)] { done(result); }, Qt::QueuedConnection);
    };

    // Takes what has arrived; returns false once the limit is passed (and finishes).
    auto take = [reply, state, maxBytes, over, finish]() -> bool {
        const qint64 room = maxBytes - state->body.size();
        if (reply->bytesAvailable() > room) {
            if (over == OverLimit::Truncate) {
                state->body += reply->read(room);
                state->truncated = true;
                finish(true);
            } else {
                finish(false);
            }
            return false;
        }
        state->body += reply->readAll();
        return true;
    };

    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, maxBytes, over, finish] {
        // A declared length over the limit needs no reading at all.
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (over == OverLimit::Fail && length.isValid() && length.toLongLong() > maxBytes) {
            finish(false);
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, [state, take] {
        if (!state->finished) {
            take();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [reply, state, take, finish] {
        if (state->finished) {
            return;
        }
        if (reply->error() != QNetworkReply::NoError) {
            finish(false);
            return;
        }
        if (take()) {
            finish(true);
        }
    });
    connect(deadline, &QTimer::timeout, this, [finish] { finish(false); });
    deadline->start(TimeoutMs(timeout_));
}

}  // namespace tavrino
