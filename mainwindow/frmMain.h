// The main window: its load brings every subsystem into its starting state.
#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>

namespace Ui {
class frmMain;
}

namespace tavrino {

class ErrorReporter;
class SettingsStore;
class OptionBoxes;

class frmMain : public QMainWindow {
    Q_OBJECT

public:
    frmMain(QString argumentString, SettingsStore& store, ErrorReporter& reporter,
            QWidget* parent = nullptr);
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // The start-up's request to show: loads the window the first time. A hide made by the
    // load after a log-on start stands.
    void ShowFromStartup();

    [[nodiscard]] bool Loaded() const { return loaded_; }
    [[nodiscard]] OptionBoxes& Options() { return *options_; }
    [[nodiscard]] Ui::frmMain& Controls() { return *ui_; }

private:
    void Form_Load();

    QString argumentString_;
    SettingsStore& store_;
    ErrorReporter& reporter_;
    std::unique_ptr<Ui::frmMain> ui_;
    std::unique_ptr<OptionBoxes> options_;
    bool loaded_ = false;
};

}  // namespace tavrino
