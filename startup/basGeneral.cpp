#include "startup/basGeneral.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <optional>

#include "layouts/Resources.h"
#include "mainwindow/SingleInstance.h"
#include "startup/Program.h"

namespace tavrino {

namespace {

const char* const kUsage =
    "Usage: tavrino-wallpaper-manager [/startup | --next | --show | --help | --version]\n"
    "\n"
    "Keeps a list of your pictures and rotates them as the desktop wallpaper.\n"
    "\n"
    "  /startup   the launch at log-on: ends at once when automatic start is off,\n"
    "             and hides into the tray when asked to\n"
    "  --next     asks the running copy to change the wallpaper now\n"
    "  --show     asks the running copy to bring its window back\n"
    "  --help     shows this text\n"
    "  --version  shows the program's version\n";

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
    const QString request = option.mid(2);
    if (instance.Send(request)) {
        std::printf("%s\n", request == QStringLiteral("next") ? "The wallpaper was changed."
                                                              : "The window was brought back.");
        return 0;
    }
    std::fprintf(stderr,
                 "tavrino-wallpaper-manager: no running copy answered (is it running and "
                 "past its start-up?)\n");
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
    QApplication::setDesktopFileName(QStringLiteral("tavrino-wallpaper-manager"));
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
