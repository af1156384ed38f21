#include "support/about/frmAbout.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <utility>

#include "layouts/Resources.h"
#include "support/MessageBox.h"
#include "support/about/SysInfo.h"
#include "support/online/VendorSite.h"
#include "ui_frmAbout.h"

namespace tavrino {

namespace {

bool StartDetached(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    return QProcess::startDetached(path, {});
}

bool IsNormalFile(const std::string& path) {
    const QFileInfo info(QString::fromStdString(path));
    return info.isFile() && !info.isHidden();
}

}  // namespace

frmAbout::frmAbout(ErrorReporter& reporter, QWidget* parent,
                   std::unique_ptr<RegistryApi> systemRegistry, ProgramStarter startProgram,
                   QString vendorRoot)
    : QDialog(parent),
      reporter_(reporter),
      registry_(std::move(systemRegistry)),
      startProgram_(std::move(startProgram)),
      vendorRoot_(std::move(vendorRoot)),
      ui_(std::make_unique<Ui::frmAbout>()) {
    if (!startProgram_) {
        startProgram_ = StartDetached;
    }
    if (vendorRoot_.isEmpty()) {
        vendorRoot_ = QString::fromStdString(VendorSiteRoot());
    }
    ui_->setupUi(this);
    // Fixed dialog border without minimise or maximise button; a window of the main window, so
    // it stays out of the task bar.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);
    ui_->cmdOK->setDefault(true);
    connect(ui_->cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(ui_->cmdSysInfo, &QPushButton::clicked, this, [this] { cmdSysInfo_Click(); });
    Guarded(reporter_, loc::AboutLoad, [this, parent] { Form_Load(parent); });
}

frmAbout::~frmAbout() = default;

void frmAbout::Form_Load(QWidget* mainWindow) {
    setWindowTitle(QStringLiteral("About Tavrino Wallpaper Manager"));
    ui_->lblTitle->setText(QStringLiteral("Tavrino Wallpaper Manager"));
    ui_->lblVersion->setText(QStringLiteral("Version ") + QString::fromStdString(VersionText()));
    ui_->lblDescription->setText(kAboutDescription);
    ui_->lblDisclaimer->setText(kAboutDisclaimer);
    ui_->Label1->setText(QStringLiteral("Support Is Available At: ") + vendorRoot_);
    ui_->Label2->setText(QStringLiteral("or by calling ") + kSupportTelephone);

    // The application icon, as the main window carries it.
    const QIcon icon = mainWindow != nullptr && !mainWindow->windowIcon().isNull()
                           ? mainWindow->windowIcon()
                           : AppIcon();
    if (!icon.isNull()) {
        setWindowIcon(icon);
        ui_->picIcon->setPixmap(icon.pixmap(ui_->picIcon->size()));
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void frmAbout::reject() {
    cmdOK_Click();
}

void frmAbout::cmdOK_Click() {
    // Unloads the box: gone from the screen now, destroyed once this event is over.
    Guarded(reporter_, loc::AboutOkClick, [this] {
        hide();
        deleteLater();
    });
}

void frmAbout::cmdSysInfo_Click() {
    Guarded(reporter_, loc::AboutSysInfoClick, [this] { StartSysInfo(); });
}

void frmAbout::StartSysInfo() {
    bool started = false;
    try {
        if (!registry_) {
            registry_ = MakeSystemRegistry();
        }
#ifdef Q_OS_WIN
        constexpr char kSeparator = '\\';
#else
        constexpr char kSeparator = '/';
#endif
        const std::optional<std::string> program =
            FindSysInfoProgram(reporter_, *registry_, IsNormalFile, kSeparator);
        if (program) {
            started = startProgram_(QString::fromStdString(*program));
        }
    } catch (...) {  // NOLINT(bugprone-empty-catch): any failure means the tool is unavailable
        started = false;
    }
    if (!started) {
        ShowMessage(this, QString::fromUtf8(kSysInfoUnavailable), QString(), MessageIcon::None);
    }
}

frmAbout* ShowAbout(ErrorReporter& reporter, QWidget* mainWindow) {
    // One box at a time: asking again brings the open one forward.
    static QPointer<frmAbout> open;
    if (!open || !open->isVisible()) {
        open = new frmAbout(reporter, mainWindow);
    }
    open->show();
    open->raise();
    open->activateWindow();
    return open.data();
}

}  // namespace tavrino
