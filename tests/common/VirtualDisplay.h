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

class VirtualDisplay {
public:
    explicit VirtualDisplay(const QString& screen = QStringLiteral("1280x800x24"));
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    [[nodiscard]] bool IsRunning() const { return !name_.isEmpty(); }
    [[nodiscard]] QString Name() const { return name_; }  // ":93"

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
