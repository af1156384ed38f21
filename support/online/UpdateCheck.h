// The update check run while the splash window is up: asks the vendor site which version is
// current and, when it names another one, says so and shows the release notes.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <chrono>
#include <functional>

#include "support/errors/Errors.h"
#include "support/online/HttpGet.h"
#include "support/online/VendorSite.h"

namespace tavrino {

class frmNewRelease;

// Longest version answer read at all; anything over five characters is no answer anyway.
inline constexpr qint64 kVersionReplyLimit = 64;
// Release notes are shown up to this size and cut there.
inline constexpr qint64 kReleaseNotesLimit = 1024 * 1024;

inline const QString kNewVersionTitle = QStringLiteral("New Version Available");
inline const QString kNewVersionText = QStringLiteral(
    "I would just like to let you know that there is a new version of this software available "
    "on our web site.");

struct UpdateCheckConfig {
    QString root = QString::fromStdString(VendorSiteRoot());
    std::chrono::milliseconds timeout = kRequestTimeout;
    ProgramVersion version = RunningVersion();
};

// The text of a page as sent: UTF-8 when it is valid UTF-8 (an incomplete character at a cut end
// is dropped), else read byte for byte as Latin-1, so no byte of it is lost or altered.
QString DecodePageText(const QByteArray& body, bool truncated);

// One check. Errors are ignored throughout: a failed request is an empty answer, nothing is
// ever reported and nothing is retried.
class UpdateCheck : public QObject {
    Q_OBJECT

public:
    explicit UpdateCheck(ErrorReporter& reporter, UpdateCheckConfig config = {},
                         QObject* parent = nullptr);

    using Done = std::function<void(QPointer<frmNewRelease> notice)>;

    // Asks for the version; when another one is named, shows the message box (owned by
    // messageParent), fetches the release notes and shows the notice. done runs exactly once,
    // from the event loop, after all of that; notice is the shown notice or null. Call once.
    void Run(QWidget* messageParent, Done done);

    // The text of the message box, with the root address.
    [[nodiscard]] QString MessageText() const;

private:
    void VersionArrived(const HttpResult& result);
    void NotesArrived(const HttpResult& result);
    void Finish(QPointer<frmNewRelease> notice);

    ErrorReporter& reporter_;
    UpdateCheckConfig config_;
    HttpGetter http_;
    QPointer<QWidget> messageParent_;
    Done done_;
    bool running_ = false;
};

// What the splash's first tick runs. The check lives under splash (so it ends with it; done is
// then not called) or, without a splash, on its own until it is done. done() runs exactly once,
// after the check and its message box are over; the notice, if one was shown, is
// frmNewRelease::Current().
void CheckForUpdate(ErrorReporter& reporter, QWidget* splash, std::function<void()> done);

// The same, handing over the notice window (null when none was shown) so the caller can keep
// it above the main window.
void CheckForUpdateWithNotice(ErrorReporter& reporter, QWidget* splash,
                              std::function<void(QPointer<QWidget> notice)> done,
                              UpdateCheckConfig config = {});

}  // namespace tavrino
