// The main window: its load brings every subsystem into its starting state in a fixed order;
// its menus hide it into the tray, end the program, open the help and show the About box.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

namespace Ui {
class frmMain;
}

namespace tavrino {

class ErrorReporter;
class SettingsStore;
class OptionBoxes;
class RegistryApi;
class clsRegEdit;
class DesktopSetter;
class WallpaperComposer;
class PreviewController;
class ApplyWallpaper;
class RotationController;
class TrayIcon;
class frmAbout;
namespace library {
class LibraryController;
}
namespace rotation {
class ListView;
}

// What the main window takes from outside; tests put stand-ins here.
struct MainWindowServices {
    MainWindowServices();
    ~MainWindowServices();
    MainWindowServices(MainWindowServices&&) noexcept;
    MainWindowServices& operator=(MainWindowServices&&) noexcept;
    MainWindowServices(const MainWindowServices&) = delete;
    MainWindowServices& operator=(const MainWindowServices&) = delete;

    std::unique_ptr<RegistryApi> registry;   // null: the user's registry of this platform
    std::unique_ptr<DesktopSetter> desktop;  // null: the setter for the running desktop
    QString dataFolder;                      // empty: DataFolder()
    // Opens an address or a local page in the browser; empty: OpenWebPage.
    std::function<void(const QString& address)> openWebPage;
    // Ends the program at once; empty: leave the event loop.
    std::function<void()> endProgram;
};

class frmMain : public QMainWindow {
    Q_OBJECT

public:
    frmMain(QString argumentString, SettingsStore& store, ErrorReporter& reporter,
            MainWindowServices services = {}, QWidget* parent = nullptr);
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // The start-up's request to show: loads the window the first time. A hide made by the
    // load after a log-on start stands.
    void ShowFromStartup();

    // Brings the window back: normal size, in front (the tray's double click, a second launch).
    void Restore();
    // The scheduled change, made now (a "--next" request).
    bool ChangeWallpaperNow();

    // Menu commands.
    void mnuHide_Click();
    void mnuExit_Click();
    void mnuHelpFiles_Click();
    void mnuAbout_Click();

    [[nodiscard]] bool Loaded() const { return loaded_; }
    [[nodiscard]] OptionBoxes& Options() { return *options_; }
    [[nodiscard]] Ui::frmMain& Controls() { return *ui_; }
    [[nodiscard]] library::LibraryController& Library() { return *library_; }
    [[nodiscard]] RotationController& Rotation() { return *rotation_; }
    [[nodiscard]] TrayIcon& Tray() { return *tray_; }
    [[nodiscard]] frmAbout* AboutBox() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void Form_Unload();
    void WireOptionBoxes();
    void HideToTray();
    void OpenPage(const QString& address);

    QString argumentString_;
    SettingsStore& store_;
    ErrorReporter& reporter_;
    MainWindowServices services_;
    std::unique_ptr<Ui::frmMain> ui_;
    std::unique_ptr<OptionBoxes> options_;
    std::unique_ptr<clsRegEdit> regEdit_;
    std::unique_ptr<library::LibraryController> library_;
    std::unique_ptr<rotation::ListView> listView_;
    std::unique_ptr<WallpaperComposer> composer_;
    std::unique_ptr<PreviewController> preview_;
    std::unique_ptr<ApplyWallpaper> apply_;
    std::unique_ptr<RotationController> rotation_;
    std::unique_ptr<TrayIcon> tray_;
    QPointer<frmAbout> about_;
    bool loaded_ = false;
    bool ending_ = false;
};

}  // namespace tavrino
