#include "support/errors/ErrorDialogReporter.h"

#include "support/WindowPlacement.h"

namespace tavrino {

ErrorDialogReporter::~ErrorDialogReporter() = default;

frmErrors& ErrorDialogReporter::Dialog() {
    if (!dialog_) {
        dialog_ = std::make_unique<frmErrors>();
        if (onDialogCreated) {
            onDialogCreated(*dialog_);
        }
    }
    return *dialog_;
}

void ShowErrorInDialog(frmErrors& dialog, int location, std::int32_t number,
                       const std::string& description) {
    // The order of the writes is fixed: number, location, description, then show.
    dialog.ErrorNumber = number;
    dialog.ErrorLocation = location;
    dialog.ErrorDescription = QString::fromStdString(description);
    if (!dialog.isVisible()) {
        PlaceOverMainWindow(&dialog);
    }
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

void ErrorDialogReporter::ShowErrorReport(int location, std::int32_t number,
                                          const std::string& description) {
    if (onReport) {
        onReport(location, number, description);
    }
    ShowErrorInDialog(Dialog(), location, number, description);
}

}  // namespace tavrino
