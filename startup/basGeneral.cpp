#include "startup/basGeneral.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <optional>
#include <string>

#include "layouts/Resources.h"
#include "mainwindow/SingleInstance.h"
#include "startup/Program.h"

namespace tavrino {

namespace {

// Says the same as the manual page, tavrino-wallpaper-manager(1), in short.
const char* const kUsage =
    "Usage: tavrino-wallpaper-manager [/startup | --next | --show | --help | --version]\n"
    "\n"
    "Keeps a list of your pictures and rotates them as the desktop wallpaper.\n"
    "One copy runs per user session; a second launch brings the first one to the front.\n"
    "\n"
    "  /startup    the launch at log-on (any letter case): ends at once when automatic\n"
    "              start is off, and hides into the tray when asked to\n"
    "  --next      asks the running copy to change the wallpaper now\n"
    "  --show      asks the running copy to bring its window back\n"
    "  -h, --help  shows this text\n"
    "  --version   shows the program's version\n"
    "Any other argument starts the program as if none had been given.\n"
    "\n"
    "Environment:\n"
    "  TAVRINO_DATA_DIR     the folder for the display list and the wallpaper bitmap\n"
    "  TAVRINO_DESKTOP      the desktop to hand the wallpaper to, when the guess is wrong:\n"
    "                       gnome, cinnamon, mate, plasma, xfce, lxqt, lxde, sway, x11\n"
    "  TAVRINO_VENDOR_SITE  the vendor web site asked for updates and sent error reports\n"
    "\n"
    "Exit status: 0 when done; 1 when no running copy did what --next or --show asked.\n"
    "Settings, files and desktops: man tavrino-wallpaper-manager\n";

QString VersionText() {
    return QStringLiteral("%1.%2.%3")
        .arg(TAVRINO_VERSION_MAJOR)
        .arg(TAVRINO_VERSION_MINOR)
        .arg(TAVRINO_VERSION_REVISION);
}

// The command-line options beyond the log-on switch. They need no display, so they are
// answered before any window system is touched. Returns the exit status when one was given.
std::optional<int> RunCommand(int& argc, char** argv) {
    if (argc != 2) {
        return std::nullopt;
    }
    const QString option = QString::fromLocal8Bit(argv[1]);
    if (option == QStringLiteral("--help") || option == QStringLiteral("-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (option == QStringLiteral("--version")) {
        std::printf("tavrino-wallpaper-manager %s\n", VersionText().toLocal8Bit().constData());
        return 0;
    }
    if (option != QStringLiteral("--next") && option != QStringLiteral("--show")) {
        return std::nullopt;
    }
    QCoreApplication app(argc, argv);
    const SingleInstance instance;
    const bool next = option == QStringLiteral("--next");
    const SingleInstance::Answer answer =
        instance.Ask(next ? command::Request::Next : command::Request::Show);
    if (!answer.reply) {
        std::fprintf(stderr, "tavrino-wallpaper-manager: %s\n",
                     answer.whyNot.toLocal8Bit().constData());
        return 1;
    }
    const std::string& reason = answer.reply->reason;
    switch (answer.reply->outcome) {
        case command::Outcome::Done:
            std::printf("%s\n",
                        next ? "The wallpaper was changed." : "The window was brought back.");
            return 0;
        case command::Outcome::Refused:
            std::fprintf(stderr, "tavrino-wallpaper-manager: the wallpaper was not changed: %s\n",
                         reason.c_str());
            break;
        case command::Outcome::Busy:
            std::fprintf(stderr, "tavrino-wallpaper-manager: the running copy is busy: %s\n",
                         reason.c_str());
            break;
        case command::Outcome::Starting:
            std::fprintf(stderr,
                         "tavrino-wallpaper-manager: the running copy is still starting; try "
                         "again in a moment\n");
            break;
        case command::Outcome::Unknown:
            std::fprintf(stderr,
                         "tavrino-wallpaper-manager: the running copy did not understand the "
                         "request\n");
            break;
    }
    return 1;
}

}  // namespace

QString ArgumentString(const QStringList& arguments) {
    return arguments.mid(1).join(QLatin1Char(' '));
}

bool EndsAtLogOn(const QString& argumentString, double autoStart) {
    return argumentString.toLower() == QStringLiteral("/startup") && autoStart == 0.0;
}

int RunProgram(int& argc, char** argv) {
    if (std::optional<int> status = RunCommand(argc, argv)) {
        return *status;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavrino-wallpaper-manager"));
    QApplication::setApplicationVersion(VersionText());
    QApplication::setDesktopFileName(QStringLiteral("example.tavrino.WallpaperManager"));
    // A tray program: hiding the last window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    InitAppearance();

    Program program(ArgumentString(QApplication::arguments()));
    if (!program.Start()) {
        return 0;
    }
    return QApplication::exec();
}

}  // namespace tavrino
