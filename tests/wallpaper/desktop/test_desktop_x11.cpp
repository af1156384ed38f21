// The root-window setter on Xvfb: every placement on each monitor and after a change of
// monitors, 16-bit screens, the published pixmap, and old pixmaps freed rather than piling up.
#include <set>

#include "tests/wallpaper/desktop/test_desktop_support.h"

#include <X11/Xatom.h>
#include <X11/extensions/Xrandr.h>

namespace tavrino {
namespace {

int g_lastError = 0;

class X11RootTest : public ::testing::Test {
protected:
    void Start(QSize screen, int depth = 24) {
        if (const std::string missing = test::Missing({"Xvfb", "dbus-daemon"}); !missing.empty()) {
            GTEST_SKIP() << missing << " is not installed (packages xvfb, dbus)";
        }
        session_ = std::make_unique<test::Session>(screen, depth);
        ASSERT_TRUE(session_->Running());
        x_ = session_->x;
        XSetErrorHandler(
            [](Display*, XErrorEvent* event) { return g_lastError = event->error_code, 0; });
        setter_ = MakeDesktopSetter(DesktopKind::X11Root, session_->env);
    }

    // Monitors side by side, kWidth wide each (as `xrandr --setmonitor`); none: the server's own.
    void SetMonitors(int count) {
        for (int i = 0; i < 2; ++i) {
            const Atom name = XInternAtom(x_, ("monitor-" + std::to_string(i)).c_str(), False);
            XRRMonitorInfo monitor{name,         False,         False, 0,  i * test::kWidth, 0,
                                   test::kWidth, test::kHeight, 100,   60, nullptr};
            if (i < count) {
                XRRSetMonitor(x_, XDefaultRootWindow(x_), &monitor);
            } else {
                XRRDeleteMonitor(x_, XDefaultRootWindow(x_), name);
            }
        }
        XSync(x_, False);
    }

    std::optional<Pixmap> Published(const char* name) const {
        const QString out =
            session_->display->Run("xprop", {"-root", name});  // "...: pixmap id # 0x..."
        bool ok = false;
        const Pixmap id = out.section("# ", 1).trimmed().toULong(&ok, 0);
        return ok ? std::optional(id) : std::nullopt;
    }

    // The pixmap's width, 0 when it no longer exists.
    unsigned PixmapWidth(Pixmap pixmap) {
        Window root = 0;
        int x = 0, y = 0;
        unsigned width = 0, height = 0, border = 0, depth = 0;
        g_lastError = 0;
        const Status ok = XGetGeometry(x_, pixmap, &root, &x, &y, &width, &height, &border, &depth);
        XSync(x_, False);
        return ok != 0 && g_lastError == 0 ? width : 0;
    }

    // An 8 x 8 pixmap published on the root; with retain, as a setter that ended leaves it.
    Pixmap Publish(Display* owner, bool retain) {
        const Window root = XDefaultRootWindow(owner);
        const Pixmap pixmap =
            XCreatePixmap(owner, root, 8, 8, static_cast<unsigned>(XDefaultDepth(owner, 0)));
        const auto value = static_cast<long>(pixmap);
        for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"}) {
            if (retain || name[0] == '_') {
                XChangeProperty(owner, root, XInternAtom(owner, name, False), XA_PIXMAP, 32,
                                PropModeReplace, reinterpret_cast<const unsigned char*>(&value), 1);
            }
        }
        if (retain) {
            XSetCloseDownMode(owner, RetainPermanent);
        }
        XSync(owner, False);
        return pixmap;
    }

    std::unique_ptr<test::Session> session_;
    Display* x_ = nullptr;
    std::unique_ptr<DesktopSetter> setter_;
};

TEST_F(X11RootTest, EachMonitorShowsEveryPlacementAndFollowsAChangeOfMonitors) {
    Start({2 * test::kWidth, test::kHeight});
    SetMonitors(2);
    session_->ShowsEveryPlacement(*setter_, {{0, 0}, {test::kWidth, 0}}, [this](std::size_t) {
        EXPECT_EQ(Published("ESETROOT_PMAP_ID"), Published("_XROOTPMAP_ID"));
        EXPECT_EQ(PixmapWidth(Published("_XROOTPMAP_ID").value_or(0)), 2U * test::kWidth);
    });
    // One monitor over the whole screen now: the 4:3 box moves to the middle of it.
    SetMonitors(0);
    const int dx = test::kWidth / 2;
    EXPECT_TRUE(session_->Shows({{{130 + dx, 67}, test::kTopLeft},
                                 {{310 + dx, 202}, test::kBottomRight},
                                 {{130, 67}, test::kNotPicture},
                                 {{310 + 2 * dx, 202}, test::kNotPicture}}));
}

TEST_F(X11RootTest, SixteenBitScreensGetTheRightColours) {
    Start({test::kWidth, test::kHeight}, 16);
    session_->ShowsEveryPlacement(*setter_);
}

TEST_F(X11RootTest, ALostServerIsReportedAndEachChangeFreesThePreviousPixmapButNoLiveClients) {
    Start({test::kWidth, test::kHeight});
    Environment gone = session_->env;  // an X server that went away is reported, not a crash
    gone["DISPLAY"] = ":9876";
    EXPECT_NE(test::FailureOf(*MakeDesktopSetter(DesktopKind::X11Root, gone), session_->bitmap,
                              Placement::Centred),
              "<no failure>");
    EXPECT_FALSE(Published("_XROOTPMAP_ID").has_value());
    Display* other = XOpenDisplay(session_->display->Name().toLocal8Bit().constData());
    const Pixmap foreign = Publish(other, true);
    XCloseDisplay(other);
    ASSERT_EQ(PixmapWidth(foreign), 8U);
    std::vector<Pixmap> published;
    for (std::size_t change = 0; change < 20; ++change) {
        ASSERT_NO_THROW(setter_->SetBackground(session_->bitmap.toStdString(),
                                               test::kShown[change % 3].placement));
        published.push_back(Published("_XROOTPMAP_ID").value_or(0));
    }
    // Killed clients' ids come back, so an id alive again must be a newer, screen-wide pixmap.
    EXPECT_NE(PixmapWidth(foreign), 8U) << "the previous setter's pixmap was not freed";
    const std::set<Pixmap> distinct(published.begin(), published.end());
    EXPECT_LE(distinct.size(), 3U) << "retained clients are piling up";
    for (const Pixmap pixmap : distinct) {
        EXPECT_EQ(PixmapWidth(pixmap) != 0, pixmap == published.back()) << std::hex << pixmap;
    }
    // Published by a running program (this test's own connection): killing it would end us.
    const Pixmap own = Publish(x_, false);
    ASSERT_NO_THROW(setter_->SetBackground(session_->bitmap.toStdString(), Placement::Tiled));
    EXPECT_EQ(PixmapWidth(own), 8U);
    EXPECT_NE(Published("_XROOTPMAP_ID"), own);
}

}  // namespace
}  // namespace tavrino
