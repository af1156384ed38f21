#include "support/online/UpdateCheck.h"

#include <QStringDecoder>
#include <utility>

#include "support/MessageBox.h"
#include "support/WindowPlacement.h"
#include "support/online/frmNewRelease.h"

namespace tavrino {

QString DecodePageText(const QByteArray& body, bool truncated) {
    QByteArray bytes = body;
    if (truncated) {
        // Drop a multi-byte character that the cut split (at most three bytes of it are here).
        qsizetype start = bytes.size();
        int continuation = 0;
        while (start > 0 && continuation < 3 &&
               (static_cast<unsigned char>(bytes[start - 1]) & 0xC0U) == 0x80U) {
            --start;
            ++continuation;
        }
        if (start > 0) {
            const auto lead = static_cast<unsigned char>(bytes[start - 1]);
            int needed = 0;
            if ((lead & 0xE0U) == 0xC0U) {
                needed = 1;
            } else if ((lead & 0xF0U) == 0xE0U) {
                needed = 2;
            } else if ((lead & 0xF8U) == 0xF0U) {
                needed = 3;
            }
            if (needed > continuation) {
                bytes.truncate(start - 1);
            }
        }
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        return text;
    }
    return QString::fromLatin1(body);
}

UpdateCheck::UpdateCheck(ErrorReporter& reporter, UpdateCheckConfig config, QObject* parent)
    : QObject(parent), reporter_(reporter), config_(std::move(config)), http_(config_.timeout) {}

QString UpdateCheck::MessageText() const {
    return kNewVersionText + QStringLiteral("  ") + config_.root;
}

void UpdateCheck::Run(QWidget* messageParent, Done done) {
    if (running_) {
        return;
    }
    running_ = true;
    messageParent_ = messageParent;
    done_ = std::move(done);
    const QUrl url(QString::fromStdString(VersionCheckUrl(config_.root.toStdString())));
    http_.Get(url, kVersionReplyLimit, OverLimit::Fail,
              [this](const HttpResult& result) { VersionArrived(result); });
}

void UpdateCheck::VersionArrived(const HttpResult& result) {
    bool announce = false;
    IgnoringErrors([&] {
        const std::string reply = result.body.toStdString();
        announce = AnnouncesOtherVersion(reply, VersionText(config_.version));
    });
    if (!announce) {
        Finish(nullptr);
        return;
    }
    QPointer<UpdateCheck> self(this);
    IgnoringErrors([this] {
        ShowMessage(messageParent_.data(), MessageText(), kNewVersionTitle,
                    MessageIcon::Information);
    });
    if (!self) {
        return;  // the splash went away while the box was open
    }
    const QUrl url(QString::fromStdString(ReleaseNotesUrl(config_.root.toStdString())));
    http_.Get(url, kReleaseNotesLimit, OverLimit::Truncate,
              [this](const HttpResult& notes) { NotesArrived(notes); });
}

void UpdateCheck::NotesArrived(const HttpResult& result) {
    QPointer<frmNewRelease> notice;
    IgnoringErrors([&] { notice = frmNewRelease::Obtain(reporter_); });
    if (notice && result.ok) {
        // A failed request leaves the text box as it is: the notice still shows.
        IgnoringErrors(
            [&] { notice->SetReleaseNotes(DecodePageText(result.body, result.truncated)); });
    }
    if (notice) {
        IgnoringErrors([&] {
            if (!notice->isVisible()) {
                PlaceOverMainWindow(notice);
            }
            notice->show();
        });
    }
    Finish(notice);
}

void UpdateCheck::Finish(QPointer<frmNewRelease> notice) {
    Done done = std::exchange(done_, {});
    if (done) {
        done(std::move(notice));
    }
}

void CheckForUpdate(ErrorReporter& reporter, QWidget* splash, std::function<void()> done) {
    CheckForUpdateWithNotice(reporter, splash, [done = std::move(done)](const QPointer<QWidget>&) {
        if (done) {
            done();
        }
    });
}

void CheckForUpdateWithNotice(ErrorReporter& reporter, QWidget* splash,
                              std::function<void(QPointer<QWidget> notice)> done,
                              UpdateCheckConfig config) {
    auto* check = new UpdateCheck(reporter, std::move(config), splash);
    check->Run(splash, [check, done = std::move(done)](QPointer<frmNewRelease> notice) {
        check->deleteLater();
        if (done) {
            done(QPointer<QWidget>(notice.data()));
        }
    });
}

}  // namespace tavrino
