// ShowErrorReport for the running program: fills and shows the one error report dialog.
#pragma once

#include <functional>
#include <memory>
#include <utility>

#include "support/errors/Errors.h"
#include "support/errors/frmErrors.h"

namespace tavrino {

class ErrorDialogReporter final : public ErrorReporter {
public:
    ErrorDialogReporter() = default;
    ~ErrorDialogReporter() override;
    ErrorDialogReporter(const ErrorDialogReporter&) = delete;
    ErrorDialogReporter& operator=(const ErrorDialogReporter&) = delete;

    void ShowErrorReport(int location, std::int32_t number,
                         const std::string& description) override;

    // The dialog, created on first use.
    frmErrors& Dialog();
    [[nodiscard]] bool HasDialog() const { return dialog_ != nullptr; }

    // Runs once, when the dialog is created (the report sender is installed here).
    std::function<void(frmErrors&)> onDialogCreated;
    // Told of every report before it is shown (the command channel passes the reason on).
    std::function<void(int location, std::int32_t number, const std::string& description)> onReport;

private:
    std::unique_ptr<frmErrors> dialog_;
};

// Writes number, location and description (in that order) and shows the dialog, not modal.
void ShowErrorInDialog(frmErrors& dialog, int location, std::int32_t number,
                       const std::string& description);

// The guard of the dialog's own handlers: their errors are reported through the dialog itself.
template <class Body>
void GuardedByDialog(frmErrors& dialog, int location, Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
        try {
            ErrorInfo info = DescribeException(std::current_exception());
            ShowErrorInDialog(dialog, location, info.number, info.description);
        } catch (...) {  // NOLINT(bugprone-empty-catch): nothing is left to report through
        }
    }
}

}  // namespace tavrino
