#include "wallpaper/desktop/DesktopProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>

#include "support/errors/Errors.h"

namespace tavrino {

namespace {

QString FindProgram(const Environment& environment, const QString& program) {
    const auto path = environment.find("PATH");
    if (path != environment.end() && !path->second.empty()) {
        QString found = QStandardPaths::findExecutable(
            program,
            QString::fromStdString(path->second).split(QDir::listSeparator(), Qt::SkipEmptyParts));
        if (!found.isEmpty()) {
            return found;
        }
    }
    return QStandardPaths::findExecutable(program);
}

std::string Trimmed(const QByteArray& bytes) {
    return bytes.trimmed().toStdString();
}

}  // namespace

std::string CommandLineForMessage(const QString& program, const QStringList& arguments) {
    QString line = program;
    for (const QString& argument : arguments) {
        line += QLatin1Char(' ') + argument;
    }
    return line.toStdString();
}

ProgramResult RunProgram(const Environment& environment, const QString& program,
                         const QStringList& arguments, int timeoutMs) {
    const QString executable = FindProgram(environment, program);
    if (executable.isEmpty()) {
        throw Error(errnum::DesktopRefused,
                    "The program \"" + program.toStdString() +
                        "\" that sets this desktop's wallpaper is not installed");
    }
    QProcessEnvironment childEnvironment;
    for (const auto& [name, value] : environment) {
        childEnvironment.insert(QString::fromStdString(name), QString::fromStdString(value));
    }
    QProcess process;
    process.setProcessEnvironment(childEnvironment);
    process.setProgram(executable);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(timeoutMs)) {
        throw Error(errnum::DesktopRefused, CommandLineForMessage(program, arguments) + ": " +
                                                process.errorString().toStdString());
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(2000);
        throw Error(errnum::DesktopRefused, CommandLineForMessage(program, arguments) +
                                                ": no answer within " +
                                                std::to_string(timeoutMs / 1000) + " seconds");
    }
    ProgramResult result;
    result.output = process.readAllStandardOutput().toStdString();
    result.errors = process.readAllStandardError().toStdString();
    if (process.exitStatus() != QProcess::NormalExit) {
        throw Error(errnum::DesktopRefused, CommandLineForMessage(program, arguments) +
                                                ": the program crashed. " +
                                                Trimmed(QByteArray::fromStdString(result.errors)));
    }
    result.exitCode = process.exitCode();
    return result;
}

ProgramResult RunProgramChecked(const Environment& environment, const QString& program,
                                const QStringList& arguments, int timeoutMs) {
    ProgramResult result = RunProgram(environment, program, arguments, timeoutMs);
    if (result.exitCode != 0) {
        std::string words = ProgramWords(result);
        throw Error(errnum::DesktopRefused, CommandLineForMessage(program, arguments) +
                                                " failed (exit code " +
                                                std::to_string(result.exitCode) + ")" +
                                                (words.empty() ? std::string() : ": " + words));
    }
    return result;
}

std::string ProgramWords(const ProgramResult& result) {
    std::string words = Trimmed(QByteArray::fromStdString(result.errors));
    if (words.empty()) {
        words = Trimmed(QByteArray::fromStdString(result.output));
    }
    return words;
}

QString ConfigHome(const Environment& environment) {
    if (const auto it = environment.find("XDG_CONFIG_HOME");
        it != environment.end() && !it->second.empty()) {
        return QString::fromStdString(it->second);
    }
    if (const auto home = environment.find("HOME"); home != environment.end()) {
        return QString::fromStdString(home->second) + QStringLiteral("/.config");
    }
    return {};
}

void AwaitStoredWallpaper(const QString& wanted,
                          const std::function<QStringList()>& storedWallpapers, int settleMs,
                          const std::string& desktop, const std::string& program) {
    QDeadlineTimer deadline(settleMs);
    QString seen;
    do {
        for (const QString& stored : storedWallpapers()) {
            if (stored == wanted) {
                return;
            }
            if (!stored.isEmpty()) {
                seen = stored;
            }
        }
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    throw Error(
        errnum::DesktopRefused,
        desktop + " did not take the wallpaper: " + program + " keeps " +
            (seen.isEmpty() ? std::string("no picture") : "\"" + seen.toStdString() + "\"") +
            " (is " + program + " managing the desktop?)");
}

}  // namespace tavrino
