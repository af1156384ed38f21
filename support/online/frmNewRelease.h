// The new-release notice: the vendor site's release notes as plain text, closed by its button.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <memory>

#include "support/errors/Errors.h"

namespace Ui {
class frmNewRelease;
}

namespace tavrino {

class frmNewRelease : public QDialog {
    Q_OBJECT

public:
    // Deletes itself when closed.
    explicit frmNewRelease(ErrorReporter& reporter, QWidget* parent = nullptr);
    ~frmNewRelease() override;
    frmNewRelease(const frmNewRelease&) = delete;
    frmNewRelease& operator=(const frmNewRelease&) = delete;

    // The notice that is open now, if any (there is only ever one).
    static QPointer<frmNewRelease> Current();

    // The open notice, or a new one when none is open.
    static frmNewRelease* Obtain(ErrorReporter& reporter);

    // Puts the text in unchanged: markup is shown, not rendered.
    void SetReleaseNotes(const QString& notes);
    [[nodiscard]] QString ReleaseNotes() const;

private:
    void cmd1_Click();

    ErrorReporter& reporter_;
    std::unique_ptr<Ui::frmNewRelease> ui_;
};

}  // namespace tavrino
