#include "startup/Program.h"

#include <utility>

#include "mainwindow/SingleInstance.h"
#include "mainwindow/frmMain.h"
#include "settings/Options.h"
#include "startup/basGeneral.h"
#include "startup/frmSplash.h"
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
                static_cast<void>(instance_->Send(QStringLiteral("show")));
            }
            goOn = false;
            return;
        }
        instance_->onRequest = [this](const QString& request) { return Answer(request); };

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

QString Program::Answer(const QString& request) {
    if (!main_ || !main_->Loaded()) {
        return QStringLiteral("starting");
    }
    if (request == QStringLiteral("show")) {
        main_->Restore();
        return QStringLiteral("ok");
    }
    if (request == QStringLiteral("next")) {
        return main_->ChangeWallpaperNow() ? QStringLiteral("ok") : QStringLiteral("failed");
    }
    return QStringLiteral("unknown");
}

void Program::ShowMainWindow() {
    if (!main_) {
        main_ = std::make_unique<frmMain>(argumentString_, store_, reporter_);
    }
    main_->ShowFromStartup();
}

}  // namespace tavrino
