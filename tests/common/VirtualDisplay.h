// An Xvfb server and a private home for tests that run the real program or real desktop
// tools, so no test ever touches the user's display or files.
#pragma once

#include "common/TestSupport.h"

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <string>

namespace tavrino::test {

// HOME, XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_RUNTIME_DIR and TAVRINO_DATA_DIR in a temporary folder.
class PrivateHome {
public:
    PrivateHome();
    [[nodiscard]] bool IsValid() const { return dir_.isValid(); }
    [[nodiscard]] QString Path(const QString& relative = QString()) const;
    [[nodiscard]] QString ConfigHome() const { return Path(QStringLiteral("config")); }
    [[nodiscard]] QString DataHome() const { return Path(QStringLiteral("data")); }
    [[nodiscard]] QString RuntimeDir() const { return Path(QStringLiteral("runtime")); }
    [[nodiscard]] QString AppData() const { return Path(QStringLiteral("appdata")); }
    // The process environment with the private folders in place.
    [[nodiscard]] QProcessEnvironment Environment() const;
    // Writes the program's settings file with the given "Key=value" lines.
    void WriteSettings(const QStringList& lines) const;

private:
    QTemporaryDir dir_;
};

// Xvfb on a display number it picks itself, stopped at the end by its own process id.
class VirtualDisplay {
public:
    explicit VirtualDisplay(const QString& screen = QStringLiteral("1280x800x24"));
    VirtualDisplay(int width, int height, int depth)
        : VirtualDisplay(QStringLiteral("%1x%2x%3").arg(width).arg(height).arg(depth)) {}
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    [[nodiscard]] bool IsRunning() const { return !name_.isEmpty(); }
    [[nodiscard]] QString Name() const { return name_; }  // ":93"
    [[nodiscard]] std::string Id() const { return name_.toStdString(); }

    // Runs a command on this display and returns its standard output ("" on failure).
    [[nodiscard]] QString Run(const QString& program, const QStringList& arguments,
                              int timeoutMs = 10000) const;
    // Visible top-level windows whose title matches (xdotool search --onlyvisible --name).
    [[nodiscard]] int CountVisibleWindows(const QString& titlePattern) const;
    // Sizes of the visible top-level windows whose title matches.
    [[nodiscard]] QList<QSize> VisibleWindowSizes(const QString& titlePattern) const;

private:
    QProcess server_;
    QString name_;
};

}  // namespace tavrino::test
