// Sends the report held by the error report dialog to the vendor site: one GET, and at most one
// more when the site answers "RETRY|<base>". Nothing of the exchange is shown to the user.
#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>

#include "support/online/HttpGet.h"
#include "support/online/VendorSite.h"

namespace tavrino {

class frmErrors;

// Longest reply read from the report address; a longer one counts as a failed request.
inline constexpr qint64 kReportReplyLimit = 64 * 1024;

struct ErrorReportConfig {
    QString root = QString::fromStdString(VendorSiteRoot());
    std::chrono::milliseconds timeout = kRequestTimeout;
    ProgramVersion version = RunningVersion();
};

class ErrorReportSender : public QObject {
    Q_OBJECT

public:
    explicit ErrorReportSender(ErrorReportConfig config = {}, QObject* parent = nullptr);

    // Sends fields; done runs exactly once, from the event loop, when the exchange is over
    // (whatever its outcome), unless the sender is destroyed first. Sends may overlap.
    void Send(const ErrorReportFields& fields, std::function<void()> done);

private:
    ErrorReportConfig config_;
    HttpGetter http_;
};

// Makes the dialog's "Send Report" button send its report. While a report is on its way the
// button is disabled; afterwards the dialog hides, unless a newer report has been put into it
// meanwhile (that one stays on screen).
void InstallErrorReportSender(frmErrors& dialog, ErrorReportConfig config = {});

}  // namespace tavrino
