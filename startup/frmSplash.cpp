#include "startup/frmSplash.h"

#include <QApplication>
#include <QScreen>
#include <memory>

#include "settings/Options.h"
#include "support/errors/Errors.h"
#include "ui_frmSplash.h"

namespace tavrino {

frmSplash::frmSplash(SettingsStore& store, ErrorReporter& reporter, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      store_(store),
      reporter_(reporter),
      ui_(std::make_unique<Ui::frmSplash>()) {
    ui_->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose, false);
    tmrInitializeApp.setInterval(1000);
    tmrDelay.setInterval(3000);
    connect(&tmrInitializeApp, &QTimer::timeout, this, [this] { tmrInitializeApp_Timer(); });
    connect(&tmrDelay, &QTimer::timeout, this, [this] { tmrDelay_Timer(); });
    Load();
}

frmSplash::~frmSplash() = default;

QString frmSplash::StatusText() const {
    return ui_->lblStatus->text();
}

void frmSplash::Load() {
    Guarded(reporter_, loc::SplashLoad, [this] {
        setFixedSize(450, 250);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            move(screen->availableGeometry().center() - rect().center());
        }
        tmrInitializeApp.start();
    });
}

void frmSplash::tmrInitializeApp_Timer() {
    bool checking = false;
    Guarded(reporter_, loc::TmrInitializeAppTick, [this, &checking] {
        tmrInitializeApp.stop();
        const double autoUpdate =
            ReadNumberSetting(store_, "AutoUpdate", 1, reporter_, loc::TmrInitializeAppTick);
        if (autoUpdate == 1.0 && updateCheck) {
            ui_->lblStatus->setText(QStringLiteral("Checking for newer version"));
            ui_->lblStatus->repaint();
            checking = true;
        }
    });
    if (!checking) {
        tmrDelay.start();
        return;
    }
    // From the check on, errors are ignored; the delay starts once the check has finished.
    auto started = std::make_shared<bool>(false);
    auto startDelay = [this, started] {
        if (!*started) {
            *started = true;
            tmrDelay.start();
        }
    };
    try {
        updateCheck(this, startDelay);
    } catch (...) {
        startDelay();
    }
}

void frmSplash::tmrDelay_Timer() {
    Guarded(reporter_, loc::TmrDelayTick, [this] {
        tmrDelay.stop();
        if (showMainWindow) {
            showMainWindow();
        }
        if (newReleaseNotice) {
            if (QWidget* notice = newReleaseNotice(); notice != nullptr && notice->isVisible()) {
                notice->raise();
                notice->activateWindow();
            }
        }
        close();
    });
}

}  // namespace tavrino
