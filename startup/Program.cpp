#include "startup/Program.h"

#include <utility>

#include "mainwindow/frmMain.h"
#include "settings/Options.h"
#include "startup/basGeneral.h"
#include "startup/frmSplash.h"

namespace tavrino {

Program::Program(QString argumentString)
    : argumentString_(std::move(argumentString)), store_(reporter_) {}

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
        splash_ = std::make_unique<frmSplash>(store_, reporter_);
        splash_->showMainWindow = [this] { ShowMainWindow(); };
        splash_->show();
    });
    return goOn;
}

void Program::ShowMainWindow() {
    if (!main_) {
        main_ = std::make_unique<frmMain>(argumentString_, store_, reporter_);
    }
    main_->ShowFromStartup();
}

}  // namespace tavrino
