// The About box: product name, version, description, support contacts, and a button that starts
// the operating system's System Information tool.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

#include "settings/RegistryApi.h"
#include "support/errors/Errors.h"

namespace Ui {
class frmAbout;
}

namespace tavrino {

inline const QString kAboutDescription = QStringLiteral(
    "This tool will allow you to select multiple images to be displayed on your Windows "
    "background and will automatically rotate them on a schedule you select.  This tool is "
    "provided free of charge.");
inline const QString kSupportTelephone = QStringLiteral("(312) 555-0147");
inline const QString kAboutDisclaimer = QStringLiteral("Provided as is, without any warranty.");

// Starts a program by path without waiting for it; false when it could not be started.
using ProgramStarter = std::function<bool(const QString& path)>;

class frmAbout : public QDialog {
    Q_OBJECT

public:
    // systemRegistry: where the tool is looked up (null: the machine-wide registry of this
    // platform). startProgram: how it is started (empty: a detached process). Deletes itself
    // when closed (OK, Enter, Escape or the title bar).
    explicit frmAbout(ErrorReporter& reporter, QWidget* parent = nullptr,
                      std::unique_ptr<RegistryApi> systemRegistry = nullptr,
                      ProgramStarter startProgram = {}, QString vendorRoot = {});
    ~frmAbout() override;
    frmAbout(const frmAbout&) = delete;
    frmAbout& operator=(const frmAbout&) = delete;

    // Starts the System Information tool, or says that it is unavailable.
    void StartSysInfo();

protected:
    // Escape and the title bar's close button unload the box like its OK button.
    void reject() override;

private:
    void Form_Load(QWidget* mainWindow);
    void cmdOK_Click();
    void cmdSysInfo_Click();

    ErrorReporter& reporter_;
    std::unique_ptr<RegistryApi> registry_;
    ProgramStarter startProgram_;
    QString vendorRoot_;
    std::unique_ptr<Ui::frmAbout> ui_;
};

// Shows the About box over the main window, not modal, and returns it: a new one, or the one
// that is open already.
frmAbout* ShowAbout(ErrorReporter& reporter, QWidget* mainWindow);

}  // namespace tavrino
