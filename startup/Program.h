// Everything the program owns for its whole run: the error dialog, the settings store,
// the splash during start-up and the main window afterwards.
#pragma once

#include <QPointer>
#include <QString>
#include <memory>
#include <optional>

#include "settings/QtSettingsStore.h"
#include "support/errors/ErrorDialogReporter.h"

namespace tavrino {

class frmSplash;
class frmMain;
class SingleInstance;

class Program {
public:
    explicit Program(QString argumentString);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The start-up procedure. False when the program ends at once: a log-on launch with
    // AutoStart off, or another copy already runs (it was asked to come to the front).
    bool Start();

    [[nodiscard]] frmSplash* Splash() const { return splash_.get(); }
    [[nodiscard]] frmMain* MainWindow() const { return main_.get(); }
    ErrorDialogReporter& Reporter() { return reporter_; }
    SettingsStore& Settings() { return store_; }

private:
    void ShowMainWindow();
    // The reply line to a command-channel request (--next, --show of another launch).
    QString Answer(const QString& line);
    // A "busy" reply while a message box waits for the user, else nothing.
    static std::optional<QString> BusyReply();

    QString argumentString_;
    ErrorDialogReporter reporter_;
    QtSettingsStore store_;
    std::unique_ptr<SingleInstance> instance_;
    std::unique_ptr<frmSplash> splash_;
    std::unique_ptr<frmMain> main_;
    QPointer<QWidget> notice_;
};

}  // namespace tavrino
