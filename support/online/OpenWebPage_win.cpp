// The browser on Windows: the program FindExecutableA associates with a throw-away page,
// started by ShellExecuteA.
// windows.h first: shellapi.h builds on it.
#include <windows.h>

#include <shellapi.h>

#include <QDir>
#include <QFile>
#include <QWidget>
#include <array>

#include "support/DataPaths.h"
#include "support/online/OpenWebPage.h"

namespace tavrino {

BrowserLaunch LaunchBrowser(const WebPageTarget& target, QWidget* owner) {
    // FindExecutableA answers for a file, not for an extension, so a throw-away page is asked.
    const QString temp = QDir(DataFolder()).filePath(QStringLiteral("temphtm.HTM"));
    {
        QFile file(temp);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write("\"<HTML> <\\HTML>\"\r\n") < 0 || !file.flush()) {
            throw Error(errnum::PathFileAccessError,
                        "Path/File access error: " + temp.toStdString());
        }
    }
    std::array<char, MAX_PATH + 1> buffer{};
    buffer.fill(' ');
    buffer.back() = '\0';
    const QByteArray nativeTemp = QDir::toNativeSeparators(temp).toLocal8Bit();
    const HINSTANCE found = FindExecutableA(nativeTemp.constData(), nullptr, buffer.data());
    if (!QFile::remove(temp)) {
        throw Error(errnum::PermissionDenied, "Permission denied: " + temp.toStdString());
    }
    const QString program = QString::fromLocal8Bit(buffer.data()).trimmed();
    if (reinterpret_cast<INT_PTR>(found) <= 32 || program.isEmpty()) {
        return BrowserLaunch::NoBrowser;
    }
    // ShellExecuteA takes one parameter string: an address with blanks is quoted so it stays
    // one argument.
    const QString& url = target.url;
    const QByteArray parameters =
        (url.contains(QLatin1Char(' ')) ? QLatin1Char('"') + url + QLatin1Char('"') : url)
            .toLocal8Bit();
    const QByteArray file = QDir::toNativeSeparators(program).toLocal8Bit();
    HWND window = owner != nullptr ? reinterpret_cast<HWND>(owner->window()->winId()) : nullptr;
    const HINSTANCE result = ShellExecuteA(window, "open", file.constData(), parameters.constData(),
                                           nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32 ? BrowserLaunch::Started
                                                  : BrowserLaunch::StartFailed;
}

}  // namespace tavrino
