// The error report dialog: one instance, created on first use, afterwards only hidden.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace Ui {
class frmErrors;
}

namespace tavrino {

class frmErrors : public QDialog {
    Q_OBJECT

public:
    explicit frmErrors(QWidget* parent = nullptr);
    ~frmErrors() override;
    frmErrors(const frmErrors&) = delete;
    frmErrors& operator=(const frmErrors&) = delete;

    std::int32_t ErrorNumber = 0;
    std::int32_t ErrorLocation = 0;
    QString ErrorDescription;

    // What "Send Report" does; set by the report sender, which hides the dialog when its
    // exchange is over. Without one (or when it throws) the dialog just hides.
    std::function<void(frmErrors&)> sendHandler;

    // Writes the three labels from the members.
    void RefreshLabels();

    [[nodiscard]] QString LocationText() const;
    [[nodiscard]] QString NumberText() const;
    [[nodiscard]] QString DescriptionText() const;

protected:
    bool event(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void cmdCancel_Click();
    void cmdSendError_Click();

    std::unique_ptr<Ui::frmErrors> ui_;
};

}  // namespace tavrino
