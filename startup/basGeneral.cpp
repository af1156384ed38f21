#include "startup/basGeneral.h"

#include <QApplication>

#include "startup/Program.h"

namespace tavrino {

QString ArgumentString(const QStringList& arguments) { return arguments.mid(1).join(QLatin1Char(' ')); }

bool EndsAtLogOn(const QString& argumentString, double autoStart) {
    return argumentString.toLower() == QStringLiteral("/startup") && autoStart == 0.0;
}

int RunProgram(int& argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tavrino-wallpaper-manager"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(TAVRINO_VERSION_MAJOR)
                                            .arg(TAVRINO_VERSION_MINOR)
                                            .arg(TAVRINO_VERSION_REVISION));
    QApplication::setDesktopFileName(QStringLiteral("tavrino-wallpaper-manager"));
    // A tray program: hiding the last window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    Program program(ArgumentString(QApplication::arguments()));
    if (!program.Start()) {
        return 0;
    }
    return QApplication::exec();
}

}  // namespace tavrino
