// Helpers for the desktop tests: private folders, test bitmaps, and outside programs that are
// started by the test and always stopped again by their own process id.
#pragma once

#include <gtest/gtest.h>

#include "common/TestSupport.h"

#include <QByteArray>
#include <QColor>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/errors/Errors.h"
#include "wallpaper/desktop/DesktopKind.h"
#include "wallpaper/desktop/DesktopSetter.h"

#include <signal.h>
#include <sys/types.h>

namespace tavrino::test {

// The one per-change copy of the bitmap a desktop was handed in dataFolder, "<none>" when there
// is none or more than one.
inline QString FreshWallpaperFile(const QString& dataFolder) {
    const QStringList files =
        QDir(dataFolder).entryList({QStringLiteral("TavrinoWallpaperManager-*.bmp")}, QDir::Files);
    return files.size() == 1 ? dataFolder + QLatin1Char('/') + files.front()
                             : QStringLiteral("<none>");
}

inline bool HaveProgram(const char* name) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty();
}

// A 40 x 30 picture in four coloured quarters, so placement shows in single pixels.
inline constexpr int kQuarterWidth = 20;
inline constexpr int kQuarterHeight = 15;
inline const QColor kTopLeft{255, 0, 0};
inline const QColor kTopRight{0, 255, 0};
inline const QColor kBottomLeft{0, 0, 255};
inline const QColor kBottomRight{255, 255, 0};

inline QImage QuarteredImage(int quarterWidth = kQuarterWidth, int quarterHeight = kQuarterHeight) {
    QImage image(2 * quarterWidth, 2 * quarterHeight, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool right = x >= quarterWidth;
            const bool bottom = y >= quarterHeight;
            image.setPixelColor(
                x, y,
                bottom ? (right ? kBottomRight : kBottomLeft) : (right ? kTopRight : kTopLeft));
        }
    }
    return image;
}

// Writes the picture as a BMP file, the way the composed wallpaper is stored.
inline void WriteBitmap(const QString& path, const QImage& image) {
    if (!image.save(path, "BMP")) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

// Colour distance small enough for a picture that went through the desktop's renderer.
inline bool Near(const QColor& a, const QColor& b, int tolerance = 12) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// The basic environment of a private session: only what the programs need.
inline Environment PrivateEnvironment(const QString& home) {
    Environment environment;
    const QProcessEnvironment process = QProcessEnvironment::systemEnvironment();
    environment["PATH"] =
        process.value(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin")).toStdString();
    environment["HOME"] = home.toStdString();
    environment["XDG_CONFIG_HOME"] = (home + QStringLiteral("/.config")).toStdString();
    environment["XDG_DATA_HOME"] = (home + QStringLiteral("/.local/share")).toStdString();
    environment["XDG_CACHE_HOME"] = (home + QStringLiteral("/.cache")).toStdString();
    environment["LANG"] = "C.UTF-8";
    QDir().mkpath(home + QStringLiteral("/.config"));
    return environment;
}

inline QProcessEnvironment ToProcessEnvironment(const Environment& environment) {
    QProcessEnvironment result;
    for (const auto& [name, value] : environment) {
        result.insert(QString::fromStdString(name), QString::fromStdString(value));
    }
    return result;
}

// Runs a program to its end (bounded) and returns its standard output; nothing on failure.
inline std::optional<QByteArray> RunForOutput(const Environment& environment,
                                              const QString& program, const QStringList& arguments,
                                              int timeoutMs = 15000) {
    QProcess process;
    process.setProcessEnvironment(ToProcessEnvironment(environment));
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs)) {
        return std::nullopt;
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(2000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

// Ends a process the test started, by its own id: asked first, then killed.
inline void StopProcess(QProcess& process) {
    if (process.state() == QProcess::NotRunning) {
        return;
    }
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(2000);
    }
}

// Colour of a probe that must show none of the test picture's four colours.
inline const QColor kNotPicture;

// Waits until every probe shows its colour; look() gives what the screen shows at each try
// (desktops draw a new picture a moment later or fade it in). The failure names the first probe
// that did not.
inline ::testing::AssertionResult Shows(const std::function<std::function<QColor(QPoint)>()>& look,
                                        const std::vector<std::pair<QPoint, QColor>>& probes) {
    std::string last;
    const bool shown = WaitUntil(
        [&] {
            const std::function<QColor(QPoint)> pixel = look();
            for (const auto& [point, colour] : probes) {
                const QColor seen = pixel(point);
                const bool ok = colour.isValid()
                                    ? Near(seen, colour)
                                    : !Near(seen, kTopLeft) && !Near(seen, kTopRight) &&
                                          !Near(seen, kBottomLeft) && !Near(seen, kBottomRight);
                if (!ok) {
                    last = "(" + std::to_string(point.x()) + "," + std::to_string(point.y()) +
                           ") is " + seen.name().toStdString() + ", expected " +
                           (colour.isValid() ? colour.name().toStdString() : "no picture");
                    return false;
                }
            }
            return true;
        },
        15000);
    return shown ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << last;
}

// What a setter says when it fails, "<no failure>" when it does not.
inline std::string FailureOf(DesktopSetter& setter, const std::string& path, Placement placement) {
    try {
        setter.SetBackground(path, placement);
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), errnum::DesktopRefused);
        return error.what();
    }
    return "<no failure>";
}

// A private D-Bus session bus for one test. At the end every program still on it (services it
// started, such as xfconfd or dconf-service, outlive it otherwise) and then the bus itself are
// stopped, each by its own process id.
class PrivateBus {
public:
    // environment: what the bus and the services it starts get (HOME, XDG_* of the test).
    explicit PrivateBus(const Environment& environment) {
        process_.setProcessEnvironment(ToProcessEnvironment(environment));
        process_.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1")});
        if (!process_.waitForStarted(10000)) {
            return;
        }
        WaitUntil([this] { return process_.waitForReadyRead(100) || process_.canReadLine(); },
                  10000);
        address_ = QString::fromUtf8(process_.readLine()).trimmed().toStdString();
    }
    ~PrivateBus() {
        const QString name = QStringLiteral("tavrino-stop-all");
        {
            QDBusConnection bus =
                QDBusConnection::connectToBus(QString::fromStdString(address_), name);
            for (const QString& client : bus.interface()->registeredServiceNames().value()) {
                const QDBusReply<uint> pid = bus.interface()->servicePid(client);
                if (client.startsWith(QLatin1Char(':')) && pid.isValid() &&
                    pid.value() != QCoreApplication::applicationPid()) {
                    ::kill(static_cast<pid_t>(pid.value()), SIGTERM);
                }
            }
        }
        QDBusConnection::disconnectFromBus(name);
        StopProcess(process_);
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    [[nodiscard]] const std::string& Address() const { return address_; }

private:
    QProcess process_;
    std::string address_;
};

}  // namespace tavrino::test
