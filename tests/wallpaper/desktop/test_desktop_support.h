// What the tests of the desktops' real programs share: a private session (home, session bus,
// Xvfb) whose programs are all stopped again by their own process ids, one test picture, and
// the placements every on-screen desktop is checked against.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "common/TestSupport.h"
#include "common/VirtualDisplay.h"
#include "support/errors/Errors.h"
#include "wallpaper/desktop/DesktopSetter.h"

#include <signal.h>

// Xlib last: its macros (None, Bool, Status, ...) would clash with names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace tavrino::test {

inline const QColor kTopLeft{255, 0, 0}, kTopRight{0, 255, 0}, kBottomLeft{0, 0, 255},
    kBottomRight{255, 255, 0};
inline const QColor kNotPicture;  // a probe that must show none of the four

// A picture in four coloured quarters, so placement shows in single pixels.
inline QImage QuarteredImage(QSize quarter) {
    QImage image(quarter * 2, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool right = x >= quarter.width();
            image.setPixelColor(x, y,
                                y < quarter.height() ? (right ? kTopRight : kTopLeft)
                                                     : (right ? kBottomRight : kBottomLeft));
        }
    }
    return image;
}

// Every screen (or monitor, or output): wider than 4:3, and sized so that tiles laid out from
// the middle (Plasma) fall where tiles laid out from the corner do.
inline constexpr int kWidth = 440;
inline constexpr int kHeight = 270;

struct Probe {
    QPoint at;
    QColor colour;
};
struct Shown {
    Placement placement;
    QSize quarter;  // of the bitmap handed over
    std::vector<Probe> probes;
};
// The last row is the composed 4:3 box as high as the screen, under the same file name as the
// row before; every row differs on screen from the one before, so a change not drawn fails.
// clang-format off
inline const std::vector<Shown> kShown = {
    {Placement::Tiled,     {20, 15},   {{{5, 5}, kTopLeft}, {{25, 5}, kTopRight}, {{5, 20}, kBottomLeft}, {{25, 20}, kBottomRight}, {{45, 5}, kTopLeft}, {{5, 35}, kTopLeft}}},
    {Placement::Stretched, {20, 15},   {{{110, 67}, kTopLeft}, {{330, 67}, kTopRight}, {{110, 202}, kBottomLeft}, {{330, 202}, kBottomRight}, {{15, 10}, kTopLeft}, {{425, 10}, kTopRight}}},
    {Placement::Centred,   {20, 15},   {{{210, 128}, kTopLeft}, {{230, 128}, kTopRight}, {{210, 142}, kBottomLeft}, {{230, 142}, kBottomRight}, {{190, 135}, kNotPicture}, {{5, 5}, kNotPicture}}},
    {Placement::Centred,   {180, 135}, {{{130, 67}, kTopLeft}, {{310, 67}, kTopRight}, {{130, 202}, kBottomLeft}, {{310, 202}, kBottomRight}, {{20, 135}, kNotPicture}, {{420, 135}, kNotPicture}}},
};
// clang-format on

// The first of the programs that is not installed, "" when all are.
inline std::string Missing(std::initializer_list<const char*> programs) {
    for (const char* program : programs) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty()) {
            return program;
        }
    }
    return {};
}

// The one per-change copy of the bitmap in folder, "<none>" when there is none or more.
inline QString FreshWallpaperFile(const QString& folder) {
    const QStringList files =
        QDir(folder).entryList({"TavrinoWallpaperManager-*.bmp"}, QDir::Files);
    return files.size() == 1 ? folder + QLatin1Char('/') + files.front() : "<none>";
}

// What a setter says when it fails, "<no failure>" when it does not.
inline std::string FailureOf(DesktopSetter& setter, const QString& path, Placement placement) {
    try {
        setter.SetBackground(path.toStdString(), placement);
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), errnum::DesktopRefused);
        return error.what();
    }
    return "<no failure>";
}

inline QProcessEnvironment ToProcessEnvironment(const Environment& environment) {
    QProcessEnvironment result;
    for (const auto& [name, value] : environment) {
        result.insert(QString::fromStdString(name), QString::fromStdString(value));
    }
    return result;
}

// The colours of the X screen, whatever the visual's depth.
inline QImage GrabRoot(Display* display) {
    XWindowAttributes root{};
    XGetWindowAttributes(display, XDefaultRootWindow(display), &root);
    XImage* image =
        XGetImage(display, XDefaultRootWindow(display), 0, 0, static_cast<unsigned>(root.width),
                  static_cast<unsigned>(root.height), AllPlanes, ZPixmap);
    if (image == nullptr) {
        return {};
    }
    const auto channel = [](unsigned long pixel, unsigned long mask) {
        return static_cast<int>((pixel & mask) * 255 / mask);
    };
    QImage shot(root.width, root.height, QImage::Format_RGB32);
    for (int y = 0; y < root.height; ++y) {
        for (int x = 0; x < root.width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            shot.setPixelColor(
                x, y,
                QColor(channel(p, root.visual->red_mask), channel(p, root.visual->green_mask),
                       channel(p, root.visual->blue_mask)));
        }
    }
    XDestroyImage(image);
    return shot;
}

// A private home and session bus, and an Xvfb screen unless the size is empty.
class Session {
public:
    explicit Session(QSize screen = {kWidth, kHeight}, int depth = 24) {
        QProcessEnvironment process = home.Environment();
        // No accessibility bus, gvfs daemons or GPU: nothing here needs them.
        for (const auto* setting : {"LANG=C.UTF-8", "NO_AT_BRIDGE=1", "GIO_USE_VFS=local",
                                    "GIO_USE_VOLUME_MONITOR=unix", "QT_QUICK_BACKEND=software"}) {
            const QStringList pair = QString::fromLatin1(setting).split(QLatin1Char('='));
            process.insert(pair[0], pair[1]);
        }
        if (!screen.isEmpty()) {
            display = std::make_unique<VirtualDisplay>(screen, depth);
            process.insert("DISPLAY", display->Name());
            x = XOpenDisplay(display->Name().toLocal8Bit().constData());
        }
        for (const QString& name : process.keys()) {
            env[name.toStdString()] = process.value(name).toStdString();
        }
        bus_.setProcessEnvironment(process);
        bus_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (bus_.waitForStarted(10000) && WaitUntil([this] { return bus_.canReadLine(); })) {
            env["DBUS_SESSION_BUS_ADDRESS"] = bus_.readLine().trimmed().toStdString();
        }
        // Quotes, shell syntax and letters beyond ASCII: nothing may reach a desktop unquoted.
        data = home.Path("it's \"a\" $(touch pwned) `x` ;* \u00e4 \u2028");
        QDir().mkpath(data);
        bitmap = data + "/TavrinoWallpaperManager.bmp";
    }
    ~Session() {
        while (!programs_.empty()) {
            Stop(*programs_.back());
            programs_.pop_back();
        }
        if (env.contains("DBUS_SESSION_BUS_ADDRESS")) {
            const QString name = "tavrino-stop-all";
            // Services the bus started (xfconfd, dconf-service, ...) outlive it otherwise.
            QDBusConnectionInterface* bus =
                QDBusConnection::connectToBus(QString::fromStdString(Address()), name).interface();
            for (const QString& client : bus->registeredServiceNames().value()) {
                const uint pid = bus->servicePid(client).value();
                if (client.startsWith(QLatin1Char(':')) && pid != 0 &&
                    pid != QCoreApplication::applicationPid()) {
                    ::kill(static_cast<pid_t>(pid), SIGTERM);
                }
            }
            QDBusConnection::disconnectFromBus(name);
        }
        Stop(bus_);
        if (x != nullptr) {
            XCloseDisplay(x);
        }
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    [[nodiscard]] std::string Address() const { return env.at("DBUS_SESSION_BUS_ADDRESS"); }
    [[nodiscard]] bool Running() const {
        return env.contains("DBUS_SESSION_BUS_ADDRESS") && (!display || x != nullptr);
    }

    // Starts a program that runs until the session ends (or Stop); nullptr when it did not.
    QProcess* Start(const QString& program, const QStringList& arguments) {
        QProcess& process = *programs_.emplace_back(std::make_unique<QProcess>());
        process.setProcessEnvironment(ToProcessEnvironment(env));
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(home.Path(QFileInfo(program).fileName() + ".log"));
        process.start(program, arguments);
        return process.waitForStarted(10000) ? &process : nullptr;
    }
    static void Stop(QProcess& process) {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(2000);
        }
    }

    // Runs a program to its end; its output, nothing when it failed or hung.
    std::optional<QByteArray> Run(const QString& program, const QStringList& arguments) const {
        QProcess process;
        process.setProcessEnvironment(ToProcessEnvironment(env));
        process.start(program, arguments);
        const bool done = process.waitForFinished(15000);
        Stop(process);
        return done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0
                   ? std::optional(process.readAllStandardOutput())
                   : std::nullopt;
    }

    // Waits until the screen shows every probe, offset by the monitor's position; the failure
    // names the first probe that did not.
    ::testing::AssertionResult Shows(const std::vector<Probe>& probes, QPoint offset = {}) const {
        std::string last;
        const auto near = [](const QColor& a, const QColor& b) {
            return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                             std::abs(a.blue() - b.blue())}) <= 12;
        };
        const bool shown = WaitUntil([&] {
            const QImage shot = grab ? grab() : GrabRoot(x);
            for (const auto& [at, colour] : probes) {
                const QColor seen =
                    shot.valid(at + offset) ? shot.pixelColor(at + offset) : QColor();
                const bool ok =
                    colour.isValid()
                        ? near(seen, colour)
                        : std::ranges::none_of(
                              std::array{kTopLeft, kTopRight, kBottomLeft, kBottomRight},
                              [&](const QColor& c) { return near(seen, c); });
                if (!seen.isValid() || !ok) {
                    last = QStringLiteral("(%1,%2) is %3, not %4")
                               .arg(at.x() + offset.x())
                               .arg(at.y() + offset.y())
                               .arg(seen.name(), colour.isValid() ? colour.name() : "the picture")
                               .toStdString();
                    return false;
                }
            }
            return true;
        });
        return shown ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << last;
    }

    // Hands every row of kShown to the setter and checks the screen at each offset; then()
    // checks what the desktop stored for the row.
    void ShowsEveryPlacement(DesktopSetter& setter, const std::vector<QPoint>& offsets = {{}},
                             const std::function<void(std::size_t row)>& then = {}) {
        for (std::size_t row = 0; row < kShown.size(); ++row) {
            SCOPED_TRACE(::testing::Message()
                         << "row " << row << ", " << PlacementName(kShown[row].placement));
            ASSERT_TRUE(QuarteredImage(kShown[row].quarter).save(bitmap, "BMP"));
            ASSERT_NO_THROW(setter.SetBackground(bitmap.toStdString(), kShown[row].placement));
            for (const QPoint& offset : offsets) {
                EXPECT_TRUE(Shows(kShown[row].probes, offset));
            }
            if (then) {
                then(row);
            }
        }
    }

    PrivateHome home;
    std::unique_ptr<VirtualDisplay> display;
    Display* x = nullptr;
    Environment env;  // what the session's programs and the setters get
    QString data;     // where the bitmap is
    QString bitmap;
    std::function<QImage()> grab;  // how the screen is read; the X root when empty

private:
    QProcess bus_;
    std::deque<std::unique_ptr<QProcess>> programs_;
};

}  // namespace tavrino::test
