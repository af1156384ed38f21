// An Xvfb server and a private home for tests that run the real program or real desktop
// tools, so no test ever touches the user's display or files.
#pragma once

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include "common/TestSupport.h"

namespace tavrino::test {

// HOME, the XDG folders (config, data, cache, runtime) and TAVRINO_DATA_DIR (appdata) in a
// temporary folder.
class PrivateHome {
public:
    PrivateHome();
    [[nodiscard]] QString Path(const QString& relative = QString()) const;
    [[nodiscard]] QString RuntimeDir() const { return Path(QStringLiteral("runtime")); }
    [[nodiscard]] QString AppData() const { return Path(QStringLiteral("appdata")); }
    // The process environment with the private folders in place and no session of the user's.
    [[nodiscard]] QProcessEnvironment Environment() const;
    // Writes the program's settings file with the given "Key=value" lines.
    void WriteSettings(const QStringList& lines) const;

private:
    QTemporaryDir dir_;
};

// Xvfb on a display number it picks itself, stopped at the end by its own process id.
class VirtualDisplay {
public:
    explicit VirtualDisplay(QSize size = {1280, 800}, int depth = 24);
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
