// One running copy per user session. Two copies on the same data would fight over
// images.idx and the wallpaper, so a second launch hands its wish to the first and ends.
#pragma once

#include <QByteArray>
#include <QList>
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "mainwindow/CommandMessages.h"

class QLocalSocket;

namespace tavrino {

class SingleInstance : public QObject {
    Q_OBJECT

public:
    // folder: where the lock file and the socket live (the per-user runtime folder).
    explicit SingleInstance(const QString& folder = DefaultFolder(), QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is now the one running copy: no other copy holds the lock. It
    // then listens for requests, unless the socket's path cannot be used (ChannelProblem).
    bool BecomePrimary();

    // Why the running copy has no command channel, in plain words; empty when it has one.
    [[nodiscard]] QString ChannelProblem() const { return channelProblem_; }

    // What asking the running copy came to: its reply, or why there was none.
    struct Answer {
        std::optional<command::Reply> reply;
        QString whyNot;  // set when reply is empty
    };
    // Sends a request and waits for its reply. Requests are served one after the other, so the
    // wait for the answer is long: a queue of wallpaper changes may come first.
    [[nodiscard]] Answer Ask(command::Request request, int connectMs = 10000,
                             int answerMs = 120000) const;

    // Sends a request ("show", "next") to the running instance. True when it answered "done".
    [[nodiscard]] bool Send(const QString& request, int timeoutMs = 3000) const;

    // Called in the primary instance for every request received, one at a time; returns the
    // reply line (command::ReplyLine).
    std::function<QString(const QString& request)> onRequest;
    // Asked for a request that arrives while another is being served (a message box or a
    // change letting events run): a reply to give at once, or nothing to queue the request.
    std::function<std::optional<QString>(const QString& request)> replyWhileServing;

    [[nodiscard]] static QString DefaultFolder();

private:
    struct Pending {
        QPointer<QLocalSocket> socket;
        QString request;
    };
    void Accept();
    void Receive(QLocalSocket* socket);
    void ServeQueue();

    QString socketPath_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
    QString channelProblem_;
    QList<Pending> queue_;
    bool serving_ = false;
};

}  // namespace tavrino
