// Renders every window of the program into PNG files so their layouts can be reviewed without
// running the program: tavrino-screenshots <output folder>. The main window is saved once per tab.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMainWindow>
#include <QMenu>
#include <QStandardItemModel>
#include <QStringList>
#include <QTextStream>
#include <QWidget>

#include "layouts/Captions.h"
#include "layouts/FixedSize.h"
#include "layouts/Resources.h"
#include "ui_frmAbout.h"
#include "ui_frmErrors.h"
#include "ui_frmMain.h"
#include "ui_frmNewRelease.h"
#include "ui_frmSplash.h"

namespace {

bool Save(QWidget& window, const QDir& folder, const QString& name) {
    window.show();
    QApplication::processEvents();
    const QString path = folder.filePath(name + QStringLiteral(".png"));
    const bool saved = window.grab().save(path);
    QTextStream(saved ? stdout : stderr) << (saved ? "saved " : "could not save ") << path << '\n';
    return saved;
}

// A list model like the ones the main window builds: one checkable column with a caption.
QStandardItemModel* SampleList(QObject* parent, const char* caption, const QStringList& rows) {
    auto* model = new QStandardItemModel(0, 1, parent);
    model->setHorizontalHeaderLabels({QString::fromUtf8(caption)});
    for (const QString& row : rows) {
        auto* item = new QStandardItem(row);
        item->setCheckable(true);
        model->appendRow(item);
    }
    return model;
}

void FillList(tavrino::library::CheckListView* view, const char* caption, const QStringList& rows) {
    view->setModel(SampleList(view, caption, rows));
}

bool ShootMain(const QDir& folder) {
    QMainWindow window;
    Ui::frmMain ui;
    ui.setupUi(&window);
    tavrino::FixMainWindowSize(window);
    const QStringList images = {QStringLiteral("/home/user/Pictures/Lake at dawn.jpg"),
                                QStringLiteral("/home/user/Pictures/Harbour.gif"),
                                QStringLiteral("/home/user/Pictures/Old town.bmp")};
    FillList(ui.lstPreview, tavrino::kPreviewColumn, images);
    FillList(ui.lstDisplayFiles, tavrino::kDisplayFilesColumn, images);
    FillList(ui.lstDirFiles, tavrino::kDirFilesColumn, {QStringLiteral("Harbour.gif")});
    bool ok = true;
    const QStringList tabs = {QStringLiteral("preview"), QStringLiteral("manage-images"),
                              QStringLiteral("options")};
    for (int i = 0; i < tabs.size(); ++i) {
        ui.SSTab1->setCurrentIndex(i);
        ok = Save(window, folder, QStringLiteral("frmMain-") + tabs[i]) && ok;
    }
    for (QMenu* menu : {ui.mnuFile, ui.mnuHelp}) {
        menu->popup(window.mapToGlobal(QPoint(0, 0)));
        QApplication::processEvents();
        const QString name = QStringLiteral("frmMain-") + menu->objectName();
        const QString path = folder.filePath(name + QStringLiteral(".png"));
        const bool saved = menu->grab().save(path);
        QTextStream(saved ? stdout : stderr)
            << (saved ? "saved " : "could not save ") << path << '\n';
        ok = saved && ok;
        menu->hide();
    }
    return ok;
}

template <typename Ui, typename Window>
bool Shoot(const QDir& folder, const QString& name, Qt::WindowFlags flags = {}) {
    Window window;
    Ui ui;
    ui.setupUi(&window);
    if (flags) {
        window.setWindowFlags(flags);
    }
    return Save(window, folder, name);
}

bool ShootAbout(const QDir& folder) {
    QDialog window;
    Ui::frmAbout ui;
    ui.setupUi(&window);
    // Texts the program fills in at load, so their room can be judged.
    ui.lblVersion->setText(QStringLiteral("Version 1.0.0"));
    ui.lblDescription->setText(QStringLiteral(
        "This tool will allow you to select multiple images to be displayed on your Windows "
        "background and will automatically rotate them on a schedule you select.  This tool is "
        "provided free of charge."));
    ui.lblDisclaimer->setText(QStringLiteral("Provided as is, without warranty of any kind."));
    ui.Label1->setText(ui.Label1->text() + QStringLiteral("http://www.tavrino.example"));
    ui.Label2->setText(ui.Label2->text() + QStringLiteral("(312) 555-0147"));
    return Save(window, folder, QStringLiteral("frmAbout"));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tavrino::InitAppearance();
    const QStringList arguments = QApplication::arguments();
    const QDir folder(arguments.size() > 1 ? arguments.at(1) : QStringLiteral("screenshots"));
    if (!QDir().mkpath(folder.path())) {
        QTextStream(stderr) << "cannot create " << folder.path() << '\n';
        return 1;
    }
    bool ok = ShootMain(folder);
    ok = Shoot<Ui::frmSplash, QWidget>(folder, QStringLiteral("frmSplash"),
                                       Qt::SplashScreen | Qt::FramelessWindowHint) &&
         ok;
    ok = Shoot<Ui::frmErrors, QDialog>(folder, QStringLiteral("frmErrors")) && ok;
    ok = Shoot<Ui::frmNewRelease, QDialog>(folder, QStringLiteral("frmNewRelease")) && ok;
    ok = ShootAbout(folder) && ok;
    return ok ? 0 : 1;
}
