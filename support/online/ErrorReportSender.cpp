#include "support/online/ErrorReportSender.h"

#include <QPointer>
#include <QToolButton>
#include <QUrl>
#include <utility>

#include "support/errors/Errors.h"
#include "support/errors/frmErrors.h"

namespace tavrino {

namespace {

// The report addresses are already percent-encoded: taken as they are, so a "%26" in the
// description stays a character of the value and never becomes a field separator.
QUrl ReportUrl(const std::string& address) {
    return QUrl::fromEncoded(QByteArray::fromStdString(address), QUrl::TolerantMode);
}

}  // namespace

ErrorReportSender::ErrorReportSender(ErrorReportConfig config, QObject* parent)
    : QObject(parent), config_(std::move(config)), http_(config_.timeout) {}

void ErrorReportSender::Send(const ErrorReportFields& fields, std::function<void()> done) {
    const std::string first = ErrorReportUrl(config_.root.toStdString(), fields, config_.version);
    http_.Get(ReportUrl(first), kReportReplyLimit, OverLimit::Fail,
              [this, fields, done = std::move(done)](const HttpResult& result) {
                  std::optional<std::string> base;
                  if (result.ok) {
                      IgnoringErrors([&] { base = RetryBase(result.body.toStdString()); });
                  }
                  if (!base) {
                      done();
                      return;
                  }
                  // The second reply is read and ignored: there is never a third request.
                  const std::string second = ErrorReportUrlAt(*base, fields, config_.version);
                  http_.Get(ReportUrl(second), kReportReplyLimit, OverLimit::Fail,
                            [done](const HttpResult&) { done(); });
              });
}

void InstallErrorReportSender(frmErrors& dialog, ErrorReportConfig config) {
    auto* sender = new ErrorReportSender(std::move(config), &dialog);
    dialog.sendHandler = [sender](frmErrors& form) {
        QPointer<frmErrors> guard(&form);
        QPointer<QToolButton> button = form.findChild<QToolButton*>(QStringLiteral("cmdSendError"));
        if (button) {
            button->setEnabled(false);
        }
        ErrorReportFields fields{form.ErrorLocation, form.ErrorNumber,
                                 form.ErrorDescription.toStdString()};
        const QString sentDescription = form.ErrorDescription;
        sender->Send(fields, [guard, button, fields, sentDescription] {
            if (button) {
                button->setEnabled(true);
            }
            if (!guard) {
                return;
            }
            const bool sameReport = guard->ErrorLocation == fields.location &&
                                    guard->ErrorNumber == fields.number &&
                                    guard->ErrorDescription == sentDescription;
            if (sameReport) {
                guard->hide();
            }
        });
    };
}

}  // namespace tavrino
