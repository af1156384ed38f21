#include "support/online/OpenWebPage.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>

#include "support/MessageBox.h"
#include "support/online/OpenWebPageDesktopEntry.h"

#ifdef Q_OS_WIN
// windows.h first: shellapi.h builds on it.
#include <windows.h>

#include <shellapi.h>

#include <array>

#include "support/DataPaths.h"
#endif

namespace tavrino {

namespace {

bool IsLocalPath(const QString& address) {
    static const QRegularExpression drivePath(QStringLiteral("^[A-Za-z]:[\\\\/]"));
    return address.startsWith(QLatin1Char('/')) || address.startsWith(QStringLiteral("\\\\")) ||
           drivePath.match(address).hasMatch();
}

#ifndef Q_OS_WIN

// Desktop files are small; anything bigger is not one.
constexpr qint64 kDesktopFileLimit = 1024 * 1024;
constexpr int kXdgMimeWaitMs = 5000;

// The desktop file id associated with HTML pages, empty when there is none.
QString DefaultHtmlHandler() {
    QProcess query;
    query.setProcessChannelMode(QProcess::SeparateChannels);
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    if (!query.waitForStarted(kXdgMimeWaitMs)) {
        return {};
    }
    if (!query.waitForFinished(kXdgMimeWaitMs)) {
        query.kill();
        query.waitForFinished(kXdgMimeWaitMs);
        return {};
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        return {};
    }
    const QString output = QString::fromLocal8Bit(query.readAllStandardOutput());
    return output.section(QLatin1Char('\n'), 0, 0).trimmed();
}

std::optional<BrowserCommand> CommandFromDesktopFile(const QString& path,
                                                     const WebPageTarget& target) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray content = file.read(kDesktopFileLimit);
    const std::optional<DesktopEntry> entry = ParseDesktopEntry(content.toStdString());
    if (!entry) {
        return std::nullopt;
    }
    const OpenTarget open{target.url.toStdString(), target.localPath.toStdString()};
    const auto line = BrowserCommandLine(*entry, path.toStdString(), open);
    if (!line) {
        return std::nullopt;
    }
    BrowserCommand command;
    command.program = QString::fromStdString(line->front());
    for (std::size_t i = 1; i < line->size(); ++i) {
        command.arguments << QString::fromStdString((*line)[i]);
    }
    return command;
}

// The desktop file of id: by the id itself in each applications folder in order; failing that,
// a file of that name in a sub-folder (xdg-mime answers with the bare file name for entries
// that live in sub-folders).
QString LocateDesktopFile(const QString& id) {
    const std::vector<std::string> candidates = DesktopFileIdCandidates(id.toStdString());
    if (candidates.empty()) {
        return {};
    }
    const QStringList folders =
        QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
    for (const QString& folder : folders) {
        for (const std::string& candidate : candidates) {
            const QString path = QDir(folder).filePath(QString::fromStdString(candidate));
            if (QFileInfo(path).isFile()) {
                return path;
            }
        }
    }
    for (const QString& folder : folders) {
        QDirIterator it(folder, {id}, QDir::Files, QDirIterator::Subdirectories);
        if (it.hasNext()) {
            return it.next();
        }
    }
    return {};
}

std::optional<BrowserCommand> FindXdgBrowser(const WebPageTarget& target) {
    const QString id = DefaultHtmlHandler();
    if (id.isEmpty()) {
        return std::nullopt;
    }
    // The first file found for the id is the one that counts, usable or not.
    const QString path = LocateDesktopFile(id);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return CommandFromDesktopFile(path, target);
}

bool StartDetached(const BrowserCommand& command, QWidget* /*owner*/) {
    return QProcess::startDetached(command.program, command.arguments);
}

#else  // Q_OS_WIN

// FindExecutableA answers for a file, not for an extension, so a throw-away page is asked about.
std::optional<BrowserCommand> FindShellBrowser(const WebPageTarget& target) {
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
    if (reinterpret_cast<INT_PTR>(found) <= 32) {
        return std::nullopt;
    }
    const QString program = QString::fromLocal8Bit(buffer.data()).trimmed();
    if (program.isEmpty()) {
        return std::nullopt;
    }
    return BrowserCommand{program, {target.url}};
}

bool StartShellBrowser(const BrowserCommand& command, QWidget* owner) {
    // ShellExecuteA takes one parameter string: an address with blanks is quoted so it stays
    // one argument.
    QStringList quoted;
    for (const QString& argument : command.arguments) {
        quoted << (argument.contains(QLatin1Char(' '))
                       ? QLatin1Char('"') + argument + QLatin1Char('"')
                       : argument);
    }
    const QByteArray program = QDir::toNativeSeparators(command.program).toLocal8Bit();
    const QByteArray parameters = quoted.join(QLatin1Char(' ')).toLocal8Bit();
    HWND window = owner != nullptr ? reinterpret_cast<HWND>(owner->window()->winId()) : nullptr;
    const HINSTANCE result = ShellExecuteA(window, "open", program.constData(),
                                           parameters.constData(), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

#endif

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

BrowserLauncher DefaultBrowserLauncher() {
#ifdef Q_OS_WIN
    return BrowserLauncher{FindShellBrowser, StartShellBrowser};
#else
    return BrowserLauncher{FindXdgBrowser, StartDetached};
#endif
}

void OpenWebPage(ErrorReporter& reporter, const QString& address, QWidget* owner) {
    OpenWebPage(reporter, address, owner, DefaultBrowserLauncher());
}

void OpenWebPage(ErrorReporter& reporter, const QString& address, QWidget* owner,
                 const BrowserLauncher& launcher) {
    Guarded(reporter, loc::OpenWebPage, [&] {
        const WebPageTarget target = WebPageTargetFor(address);
        const std::optional<BrowserCommand> command =
            launcher.findBrowser ? launcher.findBrowser(target) : std::nullopt;
        if (!command) {
            ShowMessage(owner, kBrowserNotFoundText, kBrowserNotFoundTitle,
                        MessageIcon::Exclamation);
            return;
        }
        if (!launcher.start || !launcher.start(*command, owner)) {
            ShowMessage(owner, kPageNotOpenedText, kPageNotOpenedTitle, MessageIcon::Exclamation);
        }
    });
}

}  // namespace tavrino
