#include "mainwindow/frmMain.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>
#include <QSignalBlocker>
#include <array>
#include <utility>

#include "layouts/FixedSize.h"
#include "layouts/Resources.h"
#include "library/LibraryController.h"
#include "mainwindow/TrayIcon.h"
#include "rotation/ListView.h"
#include "rotation/RotationController.h"
#include "settings/Options.h"
#include "settings/RegistryApi.h"
#include "settings/clsRegEdit.h"
#include "support/DataPaths.h"
#include "support/WindowPlacement.h"
#include "support/about/frmAbout.h"
#include "support/errors/Errors.h"
#include "support/online/OpenWebPage.h"
#include "support/online/VendorSite.h"
#include "support/online/frmNewRelease.h"
#include "ui_frmMain.h"
#include "wallpaper/PreviewController.h"
#include "wallpaper/WallpaperComposer.h"
#include "wallpaper/decode/DecoderProcess.h"
#include "wallpaper/desktop/ApplyWallpaper.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {

namespace {

std::string ToPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

Qt::CheckState ToCheckState(int state) {
    switch (state) {
        case 1:
            return Qt::Checked;
        case 2:
            return Qt::PartiallyChecked;
        default:
            return Qt::Unchecked;
    }
}

}  // namespace

MainWindowServices::MainWindowServices() = default;
MainWindowServices::~MainWindowServices() = default;
MainWindowServices::MainWindowServices(MainWindowServices&&) noexcept = default;
MainWindowServices& MainWindowServices::operator=(MainWindowServices&&) noexcept = default;

frmMain::frmMain(QString argumentString, SettingsStore& store, ErrorReporter& reporter,
                 MainWindowServices services, QWidget* parent)
    : QMainWindow(parent),
      argumentString_(std::move(argumentString)),
      store_(store),
      reporter_(reporter),
      services_(std::move(services)),
      ui_(std::make_unique<Ui::frmMain>()),
      options_(std::make_unique<OptionBoxes>(store, reporter)) {
    ui_->setupUi(this);
    SetMainWindow(this);
    setWindowIcon(AppIcon());
    // Fixed single border with a minimise button and no maximise button.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    FixMainWindowSize(*this);
    if (services_.dataFolder.isEmpty()) {
        services_.dataFolder = DataFolder();
    }
    if (!services_.registry) {
        services_.registry = MakeUserRegistry();
    }
    if (!services_.desktop) {
        services_.desktop = MakeDesktopSetter(ProcessEnvironment());
    }

    regEdit_ = std::make_unique<clsRegEdit>(*services_.registry, reporter_);

    library_ = std::make_unique<library::LibraryController>(library::LibraryWidgets::Of(*ui_),
                                                            reporter_, services_.dataFolder, this);

    const library::DisplayList& list = library_->displayList();
    listView_ = std::make_unique<rotation::FunctionListView>(
        [&list] { return static_cast<int>(list.Count()); },
        // Views, not strings: the rotation reads every row, and a string per row would stay.
        [&list](int row) { return list.PathView(static_cast<std::size_t>(row)); },
        [&list](int row) { return list.IsFlagSet(static_cast<std::size_t>(row)); });

    composer_ = std::make_unique<WallpaperComposer>(reporter_, *options_, services_.dataFolder);
    composer_->SetMessageParent(this);
    preview_ =
        std::make_unique<PreviewController>(ui_->pctPreview, ui_->imgPreview, reporter_, *options_);
    preview_->SetMessageParent(this);

    auto compose = [this](const std::string& path) { composer_->ComposeWallpaper(path); };
    apply_ = std::make_unique<ApplyWallpaper>(
        reporter_, *options_, *regEdit_, compose,
        [this] { return static_cast<std::int32_t>(rotation_->CurrentIndex()); },
        [&list](std::int32_t row) {
            return row >= 0 ? list.ImagePath(static_cast<std::size_t>(row)) : std::string();
        },
        *services_.desktop, ToPath(composer_->BitmapPath()), this);

    rotation_ = std::make_unique<RotationController>(
        RotationWidgets::Of(*ui_), *listView_, *options_, store_, reporter_,
        WallpaperCalls{compose, [this] { (*apply_)(); }});

    tray_ = std::make_unique<TrayIcon>(
        AppIcon(), reporter_, [this] { Restore(); }, this);

    // The entry's path as the list holds it (its rows count from 1): the shown text need not
    // name the file. Moving through the list with the keyboard previews as a click does; a
    // click that moves the selection previews once, on its release.
    const auto previewRow = [this, &list](const QModelIndex& index) {
        const auto row = static_cast<std::size_t>(index.row()) + 1;
        if (index.isValid() && row <= list.Count()) {
            preview_->lstPreview_ItemClick(list.ImagePath(row));
        }
    };
    connect(ui_->lstPreview, &QAbstractItemView::clicked, this, previewRow);
    connect(ui_->lstPreview->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [previewRow](const QModelIndex& current) {
                if (QGuiApplication::mouseButtons() == Qt::NoButton) {
                    previewRow(current);
                }
            });
    connect(ui_->mnuHide, &QAction::triggered, this, [this] { mnuHide_Click(); });
    connect(ui_->mnuExit, &QAction::triggered, this, [this] { mnuExit_Click(); });
    connect(ui_->mnuHelpFiles, &QAction::triggered, this, [this] { mnuHelpFiles_Click(); });
    connect(ui_->mnuAbout, &QAction::triggered, this, [this] { mnuAbout_Click(); });
    WireOptionBoxes();
}

frmMain::~frmMain() = default;

void frmMain::WireOptionBoxes() {
    const std::array<std::pair<Option, QCheckBox*>, 8> boxes{{
        {Option::AutoStart, ui_->chkAutoStart},
        {Option::AutoUpdate, ui_->chkAutoUpdate},
        {Option::Aspect, ui_->chkMaintainAspect},
        {Option::Minimize, ui_->chkMinimize},
        {Option::Random, ui_->chkRandom},
        {Option::Rotate, ui_->chkRotateImages},
        {Option::Stretch, ui_->chkStretchImages},
        {Option::Tile, ui_->chkTileImages},
    }};
    for (const auto& [option, box] : boxes) {
        // A user's click goes through the option rules, which save and clear the other box.
        connect(box, &QCheckBox::clicked, this, [this, option = option](bool checked) {
            const int state = checked ? 1 : 0;
            Guarded(reporter_, KeyOf(option).clickLocation,
                    [this, option, state] { options_->SetState(option, state); });
        });
    }
    options_->onStateChanged = [boxes](Option option, int state) {
        for (const auto& [o, box] : boxes) {
            if (o == option) {
                const QSignalBlocker blocker(box);
                box->setCheckState(ToCheckState(state));
            }
        }
    };
}

void frmMain::ShowFromStartup() {
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
        return;
    }
    show();
}

void frmMain::Form_Load() {
    rotation_->Start();  // tmrShowNext runs from the load on, whatever the load meets
    Guarded(reporter_, loc::MainLoad, [this] {
        // 1. The registry object for the desktop's style values.
        regEdit_->SetTopHKey(reg::CurrentUser);
        regEdit_->SetKeyName("Control Panel\\desktop");
        // 2. and 3. The folder listing, then the display list with both list views.
        library_->ListFolderImages();
        library_->LoadDisplayList();
        // 4. Preview the first entry, before the options are applied.
        if (ui_->lstPreview->model() != nullptr && ui_->lstPreview->model()->rowCount() > 0 &&
            !library_->displayList().Empty()) {
            preview_->lstPreview_ItemClick(library_->displayList().ImagePath(1));
        }
        // 5. The settings, with their write-back and the Tile/Stretch exclusion.
        const std::string minutes = options_->LoadFromStore(loc::MainLoad);
        ui_->txtRotateMinutes->setText(QString::fromStdString(minutes));
        // 6. and 7. The current wallpaper, then the next one and the status line.
        rotation_->ShowFirstImage();
        rotation_->AnnounceAtLoad();
        // 8. Column widths: the list view's own width less 6 pixels.
        for (library::CheckListView* view :
             {ui_->lstDirFiles, ui_->lstPreview, ui_->lstDisplayFiles}) {
            view->setTextElideMode(Qt::ElideMiddle);  // a long path keeps its file name in view
            view->header()->setStretchLastSection(false);
            view->header()->resizeSection(0, view->width() - 6);
        }
        // 9. Show, centred on first show.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            move(screen->availableGeometry().center() - frameGeometry().center() + pos());
        }
        show();
        // An error reported earlier in the load stays in view, above the window.
        RaiseSecondaryWindows();
        // 10. The tray icon.
        tray_->Register();
        // 11. After a log-on start, hide again when asked to.
        if (argumentString_.toLower() == QStringLiteral("/startup") &&
            options_->Checked(Option::Minimize)) {
            HideToTray();
        }
    });
}

void frmMain::HideToTray() {
    // Without a notification area a hidden window could never come back: minimise instead.
    if (tray_->Available()) {
        hide();
    } else {
        showMinimized();
    }
}

void frmMain::Restore() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    showNormal();
    raise();
    activateWindow();
}

frmAbout* frmMain::AboutBox() const {
    return about_.data();
}

bool frmMain::ChangeWallpaperNow() {
    return rotation_->ChangeNow();
}

void frmMain::OpenPage(const QString& address) {
    if (services_.openWebPage) {
        services_.openWebPage(address);
    } else {
        OpenWebPage(reporter_, address, this);
    }
}

void frmMain::mnuHide_Click() {
    Guarded(reporter_, loc::MnuHideClick, [this] {
        if (about_) {
            about_->hide();
        }
        if (QPointer<frmNewRelease> notice = frmNewRelease::Current()) {
            notice->hide();
        }
        HideToTray();
    });
}

void frmMain::mnuExit_Click() {
    Guarded(reporter_, loc::MnuExitClick, [this] {
        ending_ = true;
        if (services_.endProgram) {
            services_.endProgram();
        } else {
            QCoreApplication::exit(0);
        }
    });
}

void frmMain::mnuHelpFiles_Click() {
    Guarded(reporter_, loc::MnuHelpFilesClick, [this] { OpenPage(HelpIndexPath()); });
}

void frmMain::mnuAbout_Click() {
    Guarded(reporter_, loc::MnuAboutClick, [this] {
        if (!about_) {
            about_ = new frmAbout(reporter_, this);  // deletes itself when closed
        }
        about_->show();
        about_->raise();
        about_->activateWindow();
    });
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (ending_) {
        event->accept();
        return;
    }
    Form_Unload();
    event->accept();
}

void frmMain::showEvent(QShowEvent* event) {
    // The user may click through the list from now on: the first preview need not wait for a
    // decoding helper to start.
    PrepareDecoder();
    QMainWindow::showEvent(event);
}

void frmMain::Form_Unload() {
    ending_ = true;
    Guarded(reporter_, loc::MainUnload,
            [this] { OpenPage(QString::fromStdString(VendorSiteRoot())); });
    if (services_.endProgram) {
        services_.endProgram();
    } else {
        QCoreApplication::exit(0);
    }
}

}  // namespace tavrino
