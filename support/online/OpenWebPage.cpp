#include "support/online/OpenWebPage.h"

#include <QRegularExpression>
#include <QUrl>

#include "support/MessageBox.h"

namespace tavrino {

namespace {

bool IsLocalPath(const QString& address) {
    static const QRegularExpression drivePath(QStringLiteral("^[A-Za-z]:[\\\\/]"));
    return address.startsWith(QLatin1Char('/')) || address.startsWith(QStringLiteral("\\\\")) ||
           drivePath.match(address).hasMatch();
}

}  // namespace

WebPageTarget WebPageTargetFor(const QString& address) {
    if (!IsLocalPath(address)) {
        return WebPageTarget{address, {}};
    }
    // Windows paths use backslashes on every platform the address may come from.
    QString path = address;
    if (!path.startsWith(QLatin1Char('/'))) {
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    }
    const QUrl url = QUrl::fromLocalFile(path);
    return WebPageTarget{QString::fromLatin1(url.toEncoded()), address};
}

void OpenWebPage(ErrorReporter& reporter, const QString& address, QWidget* owner) {
    Guarded(reporter, loc::OpenWebPage, [&] {
        switch (LaunchBrowser(WebPageTargetFor(address), owner)) {
            case BrowserLaunch::Started:
                break;
            case BrowserLaunch::NoBrowser:
                ShowMessage(owner, kBrowserNotFoundText, kBrowserNotFoundTitle,
                            MessageIcon::Exclamation);
                break;
            case BrowserLaunch::StartFailed:
                ShowMessage(owner, kPageNotOpenedText, kPageNotOpenedTitle,
                            MessageIcon::Exclamation);
                break;
        }
    });
}

}  // namespace tavrino
