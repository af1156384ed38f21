// Opens a web address or a local HTML page in the browser the system associates with HTML pages.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

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

struct BrowserCommand {
    QString program;
    QStringList arguments;  // each element reaches the browser as one argument
};

// The two steps that depend on the platform, replaceable for tests.
struct BrowserLauncher {
    // The command that opens target in the associated browser; nullopt when none is associated.
    // May throw tavrino::Error for failures that are worth an error report.
    std::function<std::optional<BrowserCommand>(const WebPageTarget& target)> findBrowser;
    // Starts the command without waiting for it; false when it could not be started.
    std::function<bool(const BrowserCommand& command, QWidget* owner)> start;
};

// Linux and other XDG desktops: the desktop entry "xdg-mime query default text/html" names,
// looked up in the XDG data folders, started as a detached process (never through a shell).
// Windows: FindExecutableA on a throw-away "temphtm.HTM" in the data folder, then ShellExecuteA.
BrowserLauncher DefaultBrowserLauncher();

// Opens address in the associated browser. No browser: "Browser Not Found" box; failed start:
// "URL Failed" box (both with the exclamation icon). Other failures are reported under the
// OpenWebPage location. Returns without waiting for the browser.
void OpenWebPage(ErrorReporter& reporter, const QString& address, QWidget* owner = nullptr);
void OpenWebPage(ErrorReporter& reporter, const QString& address, QWidget* owner,
                 const BrowserLauncher& launcher);

}  // namespace tavrino
