// The root-window setter on a real X server (Xvfb): the root's pixels for each placement, the
// published pixmap properties, and that old pixmaps are freed rather than piling up.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "support/errors/Errors.h"
#include "tests/wallpaper/desktop/test_desktop_support.h"
#include "tests/wallpaper/desktop/test_desktop_xsupport.h"
#include "wallpaper/desktop/DesktopSetter.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

namespace tavrino {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

int g_lastError = 0;
int RecordError(Display* /*display*/, XErrorEvent* event) {
    g_lastError = event->error_code;
    return 0;
}

struct Probe {
    int x, y;
    QColor color;
};

class X11DesktopTest : public ::testing::Test {
protected:
    void Start(int depth, int width = kWidth) {
        if (!test::HaveProgram("Xvfb")) {
            GTEST_SKIP() << "Xvfb is not installed (package xvfb)";
        }
        server_ = std::make_unique<test::VirtualDisplay>(width, kHeight, depth);
        ASSERT_FALSE(server_->Id().empty()) << "Xvfb did not start";
        display_ = XOpenDisplay(server_->Id().c_str());
        ASSERT_NE(display_, nullptr);
        previousHandler_ = XSetErrorHandler(&RecordError);
        ASSERT_TRUE(home_.isValid());
        environment_ = test::PrivateEnvironment(home_.path());
        environment_["DISPLAY"] = server_->Id();
        bitmap_ = home_.path() + QStringLiteral("/TavrinoWallpaperManager.bmp");
        test::WriteBitmap(bitmap_, test::QuarteredImage());
    }
    void TearDown() override {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
            XSetErrorHandler(previousHandler_);
        }
        server_.reset();
    }

    [[nodiscard]] Window Root() const { return XDefaultRootWindow(display_); }

    // Splits the screen into monitors side by side, kWidth wide each, as `xrandr --setmonitor`
    // does; no count leaves the server's own monitor for the whole screen.
    void SetMonitors(int count) {
        int existing = 0;
        XRRMonitorInfo* list = XRRGetMonitors(display_, Root(), False, &existing);
        for (int i = 0; i < existing; ++i) {
            if (list[i].automatic == 0) {
                XRRDeleteMonitor(display_, Root(), list[i].name);
            }
        }
        XRRFreeMonitors(list);
        for (int i = 0; i < count; ++i) {
            XRRMonitorInfo* monitor = XRRAllocateMonitor(display_, 0);
            const std::string name = "monitor-" + std::to_string(i);
            monitor->name = XInternAtom(display_, name.c_str(), False);
            monitor->primary = i == 0 ? True : False;
            monitor->x = i * kWidth;
            monitor->width = kWidth;
            monitor->height = kHeight;
            monitor->mwidth = 100;
            monitor->mheight = 75;
            XRRSetMonitor(display_, Root(), monitor);
            XRRFreeMonitors(monitor);
        }
        XSync(display_, False);
    }

    // Probes that see a colour other than the expected one, for messages.
    std::string Mismatches(const std::vector<Probe>& probes, int dx) {
        std::string wrong;
        for (const Probe& probe : probes) {
            const QColor seen = RootPixel(probe.x + dx, probe.y);
            if (!test::Near(seen, probe.color)) {
                wrong += " (" + std::to_string(probe.x + dx) + "," + std::to_string(probe.y) +
                         ") is " + seen.name().toStdString() + " not " +
                         probe.color.name().toStdString() + ";";
            }
        }
        return wrong;
    }

    QColor RootPixel(int x, int y) { return test::RootPixel(display_, x, y); }

    std::optional<Pixmap> Property(const char* name) {
        const Atom atom = XInternAtom(display_, name, False);
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        std::optional<Pixmap> result;
        if (XGetWindowProperty(display_, Root(), atom, 0, 1, False, XA_PIXMAP, &type, &format,
                               &count, &remaining, &data) == Success &&
            type == XA_PIXMAP && count == 1) {
            Pixmap value = 0;
            std::memcpy(&value, data, sizeof value);
            result = value;
        }
        if (data != nullptr) {
            XFree(data);
        }
        return result;
    }

    // The pixmap's width, 0 when it no longer exists.
    unsigned PixmapWidth(Pixmap pixmap) {
        Window root = 0;
        int x = 0;
        int y = 0;
        unsigned width = 0;
        unsigned height = 0;
        unsigned border = 0;
        unsigned depth = 0;
        g_lastError = 0;
        const Status ok =
            XGetGeometry(display_, pixmap, &root, &x, &y, &width, &height, &border, &depth);
        XSync(display_, False);
        return ok != 0 && g_lastError == 0 ? width : 0;
    }

    bool PixmapAlive(Pixmap pixmap) { return PixmapWidth(pixmap) != 0; }

    // A pixmap published the way another root setter leaves it: retained after its client ended.
    Pixmap RetainedForeignPixmap(bool esetroot) {
        Display* other = XOpenDisplay(server_->Id().c_str());
        const Window root = XDefaultRootWindow(other);
        const Pixmap pixmap =
            XCreatePixmap(other, root, 8, 8, static_cast<unsigned>(XDefaultDepth(other, 0)));
        const auto value = static_cast<long>(pixmap);
        XChangeProperty(other, root, XInternAtom(other, "_XROOTPMAP_ID", False), XA_PIXMAP, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&value), 1);
        if (esetroot) {
            XChangeProperty(other, root, XInternAtom(other, "ESETROOT_PMAP_ID", False), XA_PIXMAP,
                            32, PropModeReplace, reinterpret_cast<const unsigned char*>(&value), 1);
        }
        XSetCloseDownMode(other, RetainPermanent);
        XCloseDisplay(other);
        return pixmap;
    }

    std::unique_ptr<test::VirtualDisplay> server_;
    Display* display_ = nullptr;
    int (*previousHandler_)(Display*, XErrorEvent*) = nullptr;
    QTemporaryDir home_;
    Environment environment_;
    QString bitmap_;
};

struct PlacementCase {
    Placement placement;
    std::vector<Probe> probes;
};

const std::vector<PlacementCase>& PlacementCases() {
    static const std::vector<PlacementCase> cases{
        {Placement::Tiled,
         {{5, 5, test::kTopLeft},
          {25, 5, test::kTopRight},
          {5, 20, test::kBottomLeft},
          {25, 20, test::kBottomRight},
          {45, 5, test::kTopLeft},
          {5, 35, test::kTopLeft},
          {285, 225, test::kBottomLeft},
          {315, 235, test::kBottomRight}}},
        {Placement::Stretched,
         {{5, 5, test::kTopLeft},
          {315, 5, test::kTopRight},
          {5, 235, test::kBottomLeft},
          {315, 235, test::kBottomRight},
          {100, 80, test::kTopLeft},
          {220, 160, test::kBottomRight}}},
        {Placement::Centred,
         {{145, 110, test::kTopLeft},
          {175, 110, test::kTopRight},
          {145, 130, test::kBottomLeft},
          {175, 130, test::kBottomRight},
          {5, 5, Qt::black},
          {315, 235, Qt::black},
          {135, 120, Qt::black}}},
    };
    return cases;
}

TEST_F(X11DesktopTest, TheRootShowsThePictureInEachPlacement) {
    Start(24);
    auto setter = MakeDesktopSetter(DesktopKind::X11Root, environment_);
    for (const PlacementCase& c : PlacementCases()) {
        SCOPED_TRACE(PlacementName(c.placement));
        ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), c.placement));
        for (const Probe& probe : c.probes) {
            const QColor seen = RootPixel(probe.x, probe.y);
            EXPECT_TRUE(test::Near(seen, probe.color))
                << "(" << probe.x << "," << probe.y << ") is " << seen.name().toStdString()
                << ", expected " << probe.color.name().toStdString();
        }
        const auto published = Property("_XROOTPMAP_ID");
        ASSERT_TRUE(published.has_value());
        EXPECT_EQ(Property("ESETROOT_PMAP_ID"), published);
        EXPECT_TRUE(PixmapAlive(*published));
    }
}

TEST_F(X11DesktopTest, EachMonitorShowsThePictureAndFollowsAChangeOfMonitors) {
    Start(24, 2 * kWidth);
    SetMonitors(2);
    auto setter = MakeDesktopSetter(DesktopKind::X11Root, environment_);
    for (const PlacementCase& c : PlacementCases()) {
        SCOPED_TRACE(PlacementName(c.placement));
        ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), c.placement));
        EXPECT_EQ(Mismatches(c.probes, 0), "") << "left monitor";
        EXPECT_EQ(Mismatches(c.probes, kWidth), "") << "right monitor";
    }
    // One monitor over the whole screen now: the centred picture moves to the middle of it.
    SetMonitors(0);
    const std::vector<Probe> whole{{kWidth - 15, 110, test::kTopLeft},
                                   {kWidth + 15, 130, test::kBottomRight},
                                   {160, 120, Qt::black},
                                   {kWidth + 160, 120, Qt::black}};
    EXPECT_TRUE(test::WaitUntil([&] { return Mismatches(whole, 0).empty(); }, 5000))
        << Mismatches(whole, 0);
}

TEST_F(X11DesktopTest, SixteenBitScreensGetTheRightColoursToo) {
    Start(16);
    auto setter = MakeDesktopSetter(DesktopKind::X11Root, environment_);
    const PlacementCase& centred = PlacementCases().back();
    ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), centred.placement));
    for (const Probe& probe : centred.probes) {
        EXPECT_TRUE(test::Near(RootPixel(probe.x, probe.y), probe.color, 10))
            << probe.x << "," << probe.y;
    }
}

TEST_F(X11DesktopTest, TwentyChangesLeaveOnlyOneRetainedPixmap) {
    Start(24);
    const Pixmap foreign = RetainedForeignPixmap(true);
    ASSERT_TRUE(PixmapAlive(foreign));
    auto setter = MakeDesktopSetter(DesktopKind::X11Root, environment_);
    std::vector<Pixmap> published;
    for (int change = 0; change < 20; ++change) {
        const Placement placement =
            PlacementCases()[static_cast<std::size_t>(change % 3)].placement;
        ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), placement)) << change;
        const auto pixmap = Property("_XROOTPMAP_ID");
        ASSERT_TRUE(pixmap.has_value());
        published.push_back(*pixmap);
    }
    // The killed clients' slots are reused, and with them their resource ids; a pixmap id
    // that is alive again now belongs to a newer change and has the screen's size.
    EXPECT_FALSE(PixmapAlive(foreign) && PixmapWidth(foreign) == 8)
        << "the previous setter's pixmap was not freed";
    // Every change's client is killed by the next one, so at most two client slots take turns;
    // leaked clients would each hold a slot of their own and give twenty different ids.
    const std::set<Pixmap> distinct(published.begin(), published.end());
    EXPECT_LE(distinct.size(), 3U) << "retained clients are piling up";
    for (const Pixmap pixmap : distinct) {
        EXPECT_EQ(PixmapAlive(pixmap), pixmap == published.back()) << std::hex << pixmap;
    }
    EXPECT_TRUE(PixmapAlive(published.back()));
    // The picture is still there after all that.
    EXPECT_TRUE(test::Near(RootPixel(5, 5), test::kTopLeft) ||
                test::Near(RootPixel(5, 5), Qt::black));
}

TEST_F(X11DesktopTest, APixmapOfALiveClientIsNeverKilled) {
    Start(24);
    // Published by a running program (only _XROOTPMAP_ID, no ESETROOT_PMAP_ID): this test's own
    // connection. Killing its owner would end this very connection.
    const Pixmap own =
        XCreatePixmap(display_, Root(), 8, 8, static_cast<unsigned>(XDefaultDepth(display_, 0)));
    const auto value = static_cast<long>(own);
    XChangeProperty(display_, Root(), XInternAtom(display_, "_XROOTPMAP_ID", False), XA_PIXMAP, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&value), 1);
    XSync(display_, False);
    auto setter = MakeDesktopSetter(DesktopKind::X11Root, environment_);
    ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), Placement::Tiled));
    EXPECT_TRUE(PixmapAlive(own));
    EXPECT_NE(Property("_XROOTPMAP_ID"), std::optional<Pixmap>(own));
}

TEST_F(X11DesktopTest, NoDisplayOrAnUnreadableBitmapIsReported) {
    Start(24);
    struct Case {
        const char* what;
        std::string display;
        std::string bitmap;
    };
    const std::vector<Case> cases{
        {"no DISPLAY", "", bitmap_.toStdString()},
        {"a display that does not exist", ":9876", bitmap_.toStdString()},
        {"a bitmap that does not exist", server_->Id(),
         home_.path().toStdString() + "/missing.bmp"},
    };
    for (const Case& c : cases) {
        Environment environment = environment_;
        environment["DISPLAY"] = c.display;
        auto setter = MakeDesktopSetter(DesktopKind::X11Root, environment);
        try {
            setter->SetBackground(c.bitmap, Placement::Centred);
            ADD_FAILURE() << c.what << ": no failure reported";
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), errnum::DesktopRefused) << c.what;
        }
    }
    EXPECT_FALSE(Property("_XROOTPMAP_ID").has_value());
}

}  // namespace
}  // namespace tavrino
