#include "mainwindow/frmMain.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <utility>

#include "settings/Options.h"
#include "support/Errors.h"
#include "ui_frmMain.h"

namespace tavrino {

frmMain::frmMain(QString argumentString, SettingsStore& store, ErrorReporter& reporter,
                 QWidget* parent)
    : QMainWindow(parent),
      argumentString_(std::move(argumentString)),
      store_(store),
      reporter_(reporter),
      ui_(std::make_unique<Ui::frmMain>()),
      options_(std::make_unique<OptionBoxes>(store, reporter)) {
    ui_->setupUi(this);
    // Fixed single border with a minimise button and no maximise button.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
}

frmMain::~frmMain() = default;

void frmMain::ShowFromStartup() {
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
        return;
    }
    show();
}

void frmMain::Form_Load() {
    Guarded(reporter_, loc::MainLoad, [this] {
        const std::string minutes = options_->LoadFromStore(loc::MainLoad);
        ui_->txtRotateMinutes->setText(QString::fromStdString(minutes));
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            adjustSize();
            move(screen->availableGeometry().center() - rect().center());
        }
        show();
    });
}

}  // namespace tavrino
