#include "support/errors/frmErrors.h"

#include <QEvent>
#include <QLabel>
#include <QToolButton>

#include "support/errors/ErrorDialogReporter.h"
#include "ui_frmErrors.h"

namespace tavrino {

frmErrors::frmErrors(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::frmErrors>()) {
    ui_->setupUi(this);
    // Fixed dialog border, no minimise or maximise button, not in the task bar.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);
    connect(ui_->cmdCancel, &QToolButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(ui_->cmdSendError, &QToolButton::clicked, this, [this] { cmdSendError_Click(); });
}

frmErrors::~frmErrors() = default;

QString frmErrors::LocationText() const {
    return QStringLiteral("Error Location: ") + QString::number(ErrorLocation);
}

QString frmErrors::NumberText() const {
    return QStringLiteral("Error Number: ") + QString::number(ErrorNumber);
}

QString frmErrors::DescriptionText() const {
    return QStringLiteral("Error Description: ") + ErrorDescription;
}

void frmErrors::RefreshLabels() {
    ui_->lblErrorLocation->setText(LocationText());
    ui_->lblErrorNumber->setText(NumberText());
    ui_->lblErrorDescription->setText(DescriptionText());
}

bool frmErrors::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate) {
        GuardedByDialog(*this, loc::ErrorsActivate, [this] { RefreshLabels(); });
    }
    return QDialog::event(e);
}

void frmErrors::focusInEvent(QFocusEvent* e) {
    GuardedByDialog(*this, loc::ErrorsGotFocus, [this] { RefreshLabels(); });
    QDialog::focusInEvent(e);
}

void frmErrors::showEvent(QShowEvent* e) {
    // Also refresh when shown, so a platform that never activates the dialog shows the values.
    RefreshLabels();
    QDialog::showEvent(e);
}

void frmErrors::cmdCancel_Click() {
    GuardedByDialog(*this, loc::ErrorsCancelClick, [this] { hide(); });
}

void frmErrors::cmdSendError_Click() {
    // Sending ignores its own errors. An installed sender talks to the vendor site without
    // blocking and hides the dialog itself once that exchange is over; without one, or when it
    // fails to start, the dialog hides at once.
    bool handedOver = false;
    IgnoringErrors([this, &handedOver] {
        if (sendHandler) {
            sendHandler(*this);
            handedOver = true;
        }
    });
    if (!handedOver) {
        hide();
    }
}

}  // namespace tavrino
