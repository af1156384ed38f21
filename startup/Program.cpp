#include "startup/Program.h"

#include <QApplication>
#include <QPixmapCache>
#include <QTimer>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

#include "mainwindow/SingleInstance.h"
#include "mainwindow/frmMain.h"
#include "settings/Options.h"
#include "startup/basGeneral.h"
#include "startup/frmSplash.h"
#include "support/MessageBox.h"
#include "support/online/ErrorReportSender.h"
#include "support/online/UpdateCheck.h"

namespace tavrino {

Program::Program(QString argumentString)
    : argumentString_(std::move(argumentString)), store_(reporter_) {
    reporter_.onDialogCreated = [](frmErrors& dialog) { InstallErrorReportSender(dialog); };
}

Program::~Program() = default;

bool Program::Start() {
    bool goOn = true;
    Guarded(reporter_, loc::StartUp, [this, &goOn] {
        // Read on every start; a damaged value is reported and the default applies.
        const double autoStart = ReadNumberSetting(store_, "AutoStart", 1, reporter_, loc::StartUp);
        if (EndsAtLogOn(argumentString_, autoStart)) {
            goOn = false;
            return;
        }
        instance_ = std::make_unique<SingleInstance>();
        if (!instance_->BecomePrimary()) {
            // Another copy runs: a plain launch brings it to the front, a log-on launch just ends.
            if (argumentString_.toLower() != QStringLiteral("/startup")) {
                const SingleInstance::Answer answer = instance_->Ask(command::Request::Show);
                if (!answer.reply) {
                    std::fprintf(stderr, "tavrino-wallpaper-manager: another copy runs, but %s\n",
                                 answer.whyNot.toLocal8Bit().constData());
                }
            }
            goOn = false;
            return;
        }
        instance_->onRequest = [this](const QString& request) { return Answer(request); };
        instance_->replyWhileServing = [](const QString&) { return BusyReply(); };
        if (const QString problem = instance_->ChannelProblem(); !problem.isEmpty()) {
            // Said once, at start, and the program goes on without the channel.
            std::fprintf(stderr, "tavrino-wallpaper-manager: %s\n",
                         problem.toLocal8Bit().constData());
            QTimer::singleShot(0, [problem] { ShowMessage(nullptr, problem); });
        }

        splash_ = std::make_unique<frmSplash>(store_, reporter_);
        splash_->updateCheck = [this](QWidget* splash, std::function<void()> done) {
            CheckForUpdateWithNotice(reporter_, splash,
                                     [this, done = std::move(done)](QPointer<QWidget> notice) {
                                         notice_ = notice;
                                         done();
                                     });
        };
        splash_->newReleaseNotice = [this] { return notice_.data(); };
        splash_->showMainWindow = [this] { ShowMainWindow(); };
        splash_->show();
    });
    return goOn;
}

QString Program::Answer(const QString& line) {
    using command::Outcome;
    const auto reply = [](Outcome outcome, const std::string& reason = {}) {
        return QString::fromStdString(command::ReplyLine({outcome, reason}));
    };
    const std::optional<command::Request> request = command::ParseRequest(line.toStdString());
    if (!request) {
        return reply(Outcome::Unknown);
    }
    if (*request == command::Request::Ping) {
        return reply(Outcome::Done);
    }
    if (!main_ || !main_->Loaded()) {
        return reply(Outcome::Starting);
    }
    if (std::optional<QString> busy = BusyReply()) {
        return *busy;
    }
    if (*request == command::Request::Show) {
        main_->Restore();
        return reply(Outcome::Done);
    }
    // What the window shows when the picture is refused is the reason given back.
    std::string refusal;
    const auto note = [&refusal](const std::string& text) {
        if (refusal.empty()) {
            refusal = text;
        }
    };
    reporter_.onReport = [&note](int, std::int32_t, const std::string& description) {
        note(description);
    };
    SetMessageWatcher([&note](const ShownMessage& message) { note(message.text.toStdString()); });
    const bool changed = main_->ChangeWallpaperNow();
    reporter_.onReport = {};
    SetMessageWatcher({});
    if (!refusal.empty()) {
        return reply(Outcome::Refused, refusal);
    }
    return changed ? reply(Outcome::Done) : reply(Outcome::Refused, "the display list is empty");
}

std::optional<QString> Program::BusyReply() {
    // A box waiting for the user holds up every change until it is closed.
    if (const QWidget* box = QApplication::activeModalWidget()) {
        return QString::fromStdString(command::ReplyLine(
            {command::Outcome::Busy, "a message box (\"" + box->windowTitle().toStdString() +
                                         "\") is waiting for an answer in the running copy"}));
    }
    return std::nullopt;
}

void Program::ShowMainWindow() {
    if (!main_) {
        main_ = std::make_unique<frmMain>(argumentString_, store_, reporter_);
    }
    main_->ShowFromStartup();
    // The splash closes once this returns; its picture (also kept in Qt's pixmap cache, which
    // refills on demand) need not stay for the weeks in the tray.
    QTimer::singleShot(0, main_.get(), [this] {
        splash_.reset();
        QPixmapCache::clear();
    });
}

}  // namespace tavrino
