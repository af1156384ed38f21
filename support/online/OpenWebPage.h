// Opens a web address or a local HTML page in the browser the system associates with HTML pages.
#pragma once

#include <QString>

#include "support/errors/Errors.h"

class QWidget;

namespace tavrino {

inline const QString kBrowserNotFoundText = QStringLiteral("Could not find associated Browser");
inline const QString kBrowserNotFoundTitle = QStringLiteral("Browser Not Found");
inline const QString kPageNotOpenedText = QStringLiteral("Web Page not Opened");
inline const QString kPageNotOpenedTitle = QStringLiteral("URL Failed");

// What the browser is asked to open.
struct WebPageTarget {
    QString url;        // the address; a local page as a file:// URL
    QString localPath;  // the local page's path, empty for a web address
};

// A local path (absolute, or a Windows drive path) becomes a file:// URL; anything with a scheme
// or anything else is passed on unchanged.
WebPageTarget WebPageTargetFor(const QString& address);

enum class BrowserLaunch { Started, NoBrowser, StartFailed };

// Starts the browser associated with HTML pages on target, the address as its one argument,
// without waiting for it. Linux and other XDG desktops: GIO's default application for
// text/html (OpenWebPage_posix.cpp). Windows: FindExecutableA on a throw-away "temphtm.HTM" in
// the data folder, then ShellExecuteA (OpenWebPage_win.cpp). May throw tavrino::Error for
// failures worth an error report.
BrowserLaunch LaunchBrowser(const WebPageTarget& target, QWidget* owner);

// Opens address in the associated browser. No browser: "Browser Not Found" box; failed start:
// "URL Failed" box (both with the exclamation icon). Other failures are reported under the
// OpenWebPage location. Returns without waiting for the browser.
void OpenWebPage(ErrorReporter& reporter, const QString& address, QWidget* owner = nullptr);

}  // namespace tavrino
