// XFCE, MATE, LXQt and LXDE as their own programs draw the desktop (xfdesktop, caja,
// pcmanfm-qt, pcmanfm) on Xvfb with a private bus and home; the screen is read back.
#include <QThread>

#include "tests/wallpaper/desktop/test_desktop_support.h"

namespace tavrino {
namespace {

// xfdesktop names a monitor after its output, Xvfb's is "screen"; an unplugged monitor keeps
// its properties and must get the picture as well.
const QString kDrawnMonitor = "/backdrop/screen0/monitorscreen/workspace0/last-image";
const QString kUnplugged = "/backdrop/screen0/monitorHDMI-1/workspace0/last-image";

QStringList Xfconf(const QString& property, const QStringList& set = {}) {
    return QStringList{"xfconf-query", "-c", "xfce4-desktop", "-p", property} + set;
}
QStringList CajaHides(const char* icon) {
    return {"gsettings", "set", "org.mate.caja.desktop", QString::fromLatin1(icon), "false"};
}

bool HasDesktopWindow(const test::Session& session) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(session.x, XDefaultRootWindow(session.x), &root, &parent, &children, &count);
    XFree(children);
    return count > 0;
}

struct Drawn {
    DesktopKind kind;
    const char* packages;
    QStringList program;                        // draws the desktop
    std::vector<QStringList> profile;           // run before it starts: no icons over the picture
    std::function<bool(test::Session&)> ready;  // once it has taken up the profile
    const char* refusedBy;                      // named when there is no desktop to take it
};

class DrawnDesktopTest : public ::testing::TestWithParam<Drawn> {};

TEST_P(DrawnDesktopTest, EachPlacementIsDrawnWhereItBelongs) {
    const Drawn& d = GetParam();
    if (const std::string missing =
            test::Missing({qPrintable(d.program[0]), "Xvfb", "dbus-daemon"});
        !missing.empty()) {
        GTEST_SKIP() << missing << " is not installed (packages " << d.packages << ", xvfb, dbus)";
    }
    test::Session session;
    ASSERT_TRUE(session.Running());
    ASSERT_TRUE(test::QuarteredImage({20, 15}).save(session.bitmap, "BMP"));
    if (d.refusedBy != nullptr) {  // the picture is handed to a manager that is not there
        const std::string failure = test::FailureOf(*MakeDesktopSetter(d.kind, session.env),
                                                    session.bitmap, Placement::Centred);
        EXPECT_NE(failure.find(d.refusedBy), std::string::npos) << failure;
        EXPECT_EQ(test::FreshWallpaperFile(session.data), "<none>");
    }
    for (const QStringList& command : d.profile) {
        ASSERT_TRUE(session.Run(command[0], command.mid(1))) << command.join(' ').toStdString();
    }
    ASSERT_TRUE(session.Start(d.program[0], d.program.mid(1)));
    ASSERT_TRUE(test::WaitUntil([&] { return d.ready(session); }, 20000, 200))
        << "the desktop did not come up";
    QThread::msleep(500);  // pcmanfm opens its command channel right after the window
    auto setter = MakeDesktopSetter(d.kind, session.env);
    session.ShowsEveryPlacement(*setter, {{}}, [&](std::size_t) {
        if (d.kind == DesktopKind::Xfce) {
            const auto unplugged = session.Run("xfconf-query", Xfconf(kUnplugged).mid(1));
            EXPECT_EQ(QString::fromUtf8(unplugged.value_or("<unreadable>").trimmed()),
                      test::FreshWallpaperFile(session.data));
        }
    });
}

INSTANTIATE_TEST_SUITE_P(
    Drawn, DrawnDesktopTest,
    ::testing::Values(
        // clang-format off
        Drawn{DesktopKind::Xfce, "xfdesktop4", {"xfdesktop", "--disable-wm-check"},
              {Xfconf("/desktop-icons/style", {"-n", "-t", "int", "-s", "0"}), Xfconf(kUnplugged, {"-n", "-t", "string", "-s", "/old.png"})},
              [](test::Session& s) { return s.Run("xfconf-query", Xfconf(kDrawnMonitor).mid(1)).has_value(); }, nullptr},
        Drawn{DesktopKind::Mate, "caja", {"caja", "--force-desktop", "--no-default-window"},
              {CajaHides("computer-icon-visible"), CajaHides("home-icon-visible"), CajaHides("trash-icon-visible"), CajaHides("volumes-visible")},
              [](test::Session& s) { return s.Run("xwininfo", {"-name", "Desktop"}).has_value(); }, nullptr},
        Drawn{DesktopKind::Lxqt, "pcmanfm-qt", {"pcmanfm-qt", "--desktop", "--profile=lxqt"}, {}, HasDesktopWindow, "pcmanfm-qt"},
        Drawn{DesktopKind::Lxde, "pcmanfm", {"pcmanfm", "--desktop", "--profile=LXDE"}, {}, HasDesktopWindow, "pcmanfm"}),
    // clang-format on
    [](const ::testing::TestParamInfo<Drawn>& param) {
        return std::string(DesktopKindName(param.param.kind));
    });

}  // namespace
}  // namespace tavrino
