// The splash window: shows "Loading...", runs the optional update check after a second,
// then waits three seconds and hands over to the main window.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace Ui {
class frmSplash;
}

namespace tavrino {

class ErrorReporter;
class SettingsStore;

// Runs the update check; calls done() exactly once when it has finished (whatever the outcome).
// It may return the new-release notice so the splash can keep it above the main window.
using UpdateCheckRunner = std::function<void(QWidget* splash, std::function<void()> done)>;

class frmSplash : public QWidget {
    Q_OBJECT

public:
    frmSplash(SettingsStore& store, ErrorReporter& reporter, QWidget* parent = nullptr);
    ~frmSplash() override;
    frmSplash(const frmSplash&) = delete;
    frmSplash& operator=(const frmSplash&) = delete;

    UpdateCheckRunner updateCheck;               // empty: no check is made
    std::function<void()> showMainWindow;        // the tmrDelay tick's first step
    std::function<QWidget*()> newReleaseNotice;  // the notice to keep on top, if any

    [[nodiscard]] QString StatusText() const;
    QTimer tmrInitializeApp;
    QTimer tmrDelay;

private:
    void Load();
    void tmrInitializeApp_Timer();
    void tmrDelay_Timer();

    SettingsStore& store_;
    ErrorReporter& reporter_;
    std::unique_ptr<Ui::frmSplash> ui_;
};

}  // namespace tavrino
