// For the desktops' real programs: a private session (home, bus, Xvfb; all it starts stopped by
// process id), one test picture, and the placements every on-screen desktop is checked against.
#pragma once

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QStandardPaths>
#include <algorithm>
#include <array>

#include "common/VirtualDisplay.h"
#include "wallpaper/desktop/DesktopSetter.h"

#include <signal.h>
#include <unistd.h>

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
    QPainter painter(&image);
    for (int i = 0; i < 4; ++i) {
        painter.fillRect(QRect(QPoint(i % 2 * quarter.width(), i / 2 * quarter.height()), quarter),
                         std::array{kTopLeft, kTopRight, kBottomLeft,
                                    kBottomRight}[static_cast<std::size_t>(i)]);
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
    const auto* it = std::ranges::find_if(
        programs, [](const char* p) { return QStandardPaths::findExecutable(p).isEmpty(); });
    return it == programs.end() ? "" : *it;
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

// Home, bus, and Xvfb unless the size is empty; the bitmap holds a 40 x 30 picture.
class Session {
public:
    explicit Session(QSize screen = {kWidth, kHeight}, int depth = 24) {
        QProcessEnvironment process = home.Environment();
        // No accessibility bus, gvfs daemons or GPU: nothing here needs them.
        process.insert("NO_AT_BRIDGE", "1");
        process.insert("GIO_USE_VFS", "local");
        process.insert("GIO_USE_VOLUME_MONITOR", "unix");
        process.insert("QT_QUICK_BACKEND", "software");
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
        // Quotes, shell syntax, a backslash and letters beyond ASCII: nothing may reach a desktop
        // unquoted or come back unescaped.
        data = home.Path("it's \"a\" $(touch pwned) `x` ;* \\n \u00e4 \u2028");
        QDir().mkpath(data);
        bitmap = data + "/TavrinoWallpaperManager.bmp";
        QuarteredImage({20, 15}).save(bitmap, "BMP");
    }
    ~Session() {
        std::for_each(programs_.rbegin(), programs_.rend(), [](const auto& p) { Stop(*p); });
        if (env.contains("DBUS_SESSION_BUS_ADDRESS")) {
            const QString name = "tavrino-stop-all";
            // Services the bus started (xfconfd, dconf-service, ...) outlive it otherwise.
            QDBusConnectionInterface* bus =
                QDBusConnection::connectToBus(QString::fromStdString(Address()), name).interface();
            for (const QString& client : bus->registeredServiceNames().value()) {
                const uint pid = bus->servicePid(client).value();
                if (client.startsWith(QLatin1Char(':')) && pid != 0 &&
                    pid != static_cast<uint>(::getpid())) {
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
        process.setStandardErrorFile(home.Path(program.section('/', -1) + ".log"));
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

    // Waits until the screen shows every probe (offset to a monitor); else names the first.
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
                    last = "(" + std::to_string(at.x() + offset.x()) + "," +
                           std::to_string(at.y() + offset.y()) + ") is " +
                           seen.name().toStdString();
                    return false;
                }
            }
            return true;
        });
        return shown ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << last;
    }

    // Hands each row of kShown over, checks the screen at each offset, then then(row).
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
    std::vector<std::unique_ptr<QProcess>> programs_;
};

}  // namespace tavrino::test
