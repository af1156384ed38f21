// Desktops that take the picture through their own tools: GNOME and Cinnamon (gsettings, read
// back: their shells need a real screen), XFCE, MATE, LXQt and LXDE (drawn on Xvfb by their own
// programs) and sway (headless, two outputs, as grim shows them; run as "nobody" under root).
#include <QFileInfo>
#include <QThread>

#include "tests/wallpaper/desktop/test_desktop_support.h"
#include "wallpaper/desktop/DesktopCommands.h"
#include "wallpaper/desktop/GSettingsDesktopSetter.h"

#include <pwd.h>
#include <sys/stat.h>

namespace tavrino {
namespace {

struct Schema {
    DesktopKind kind;
    QString name;
    QStringList uriKeys;
};

class GSettingsTest : public ::testing::TestWithParam<Schema> {
protected:
    void SetUp() override {
        session_.env["GSETTINGS_BACKEND"] = "dconf";
        if (!session_.Running() || !session_.Run("gsettings", {"list-keys", GetParam().name})) {
            GTEST_SKIP()
                << "gsettings, dbus-daemon or the schema " << GetParam().name.toStdString()
                << " is not installed (packages libglib2.0-bin, dconf-gsettings-backend, dbus)";
        }
    }
    std::string Get(const QString& key) const {
        const auto out = session_.Run("gsettings", {"get", GetParam().name, key});
        return ParseGVariantString(out.value_or("<gsettings get failed>").toStdString())
            .value_or("<not a string>");
    }

    test::Session session_{QSize{}};
};

TEST_P(GSettingsTest, EveryPlacementIsStoredUnderAFreshNameAndAValueNotKeptIsReported) {
    // clang-format off
    const std::pair<Placement, const char*> cases[] = {
        {Placement::Tiled, "wallpaper"},
        {Placement::Stretched, "stretched"},
        {Placement::Centred, "centered"},
    };
    // clang-format on
    auto setter = MakeDesktopSetter(GetParam().kind, session_.env);
    QString previous;
    for (const auto& [placement, options] : cases) {
        SCOPED_TRACE(PlacementName(placement));
        ASSERT_NO_THROW(setter->SetBackground(session_.bitmap.toStdString(), placement));
        EXPECT_EQ(Get("picture-options"), options);
        const QString fresh = test::FreshWallpaperFile(session_.data);
        EXPECT_NE(fresh, previous);
        for (const QString& key : GetParam().uriKeys) {
            EXPECT_EQ(Get(key), FileUri(fresh.toStdString())) << key.toStdString();
        }
        previous = fresh;
    }
    // The memory backend takes every write and forgets it when gsettings ends.
    Environment forgetful = session_.env;
    forgetful["GSETTINGS_BACKEND"] = "memory";
    const std::string failure = test::FailureOf(*MakeDesktopSetter(GetParam().kind, forgetful),
                                                session_.bitmap, Placement::Stretched);
    EXPECT_NE(failure.find("did not keep the wallpaper"), std::string::npos) << failure;
    EXPECT_EQ(test::FreshWallpaperFile(session_.data), previous)
        << "the file the desktop shows must stay";
}

INSTANTIATE_TEST_SUITE_P(Desktops, GSettingsTest,
                         ::testing::Values(Schema{DesktopKind::Gnome,
                                                  "org.gnome.desktop.background",
                                                  {"picture-uri", "picture-uri-dark"}},
                                           Schema{DesktopKind::Cinnamon,
                                                  "org.cinnamon.desktop.background",
                                                  {"picture-uri"}}),
                         [](const auto& param) {
                             return std::string(DesktopKindName(param.param.kind));
                         });

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

// pcmanfm's desktop window is the first on the screen.
bool HasDesktopWindow(test::Session& s) {
    return !s.Run("xwininfo", {"-root", "-children"})
                .value_or(" 0 children")
                .contains(" 0 children");
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

class SwayTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string missing =
                test::Missing({"sway", "swaymsg", "swaybg", "grim", "dbus-daemon"});
            !missing.empty()) {
            GTEST_SKIP() << missing << " is not installed (packages sway, swaybg, grim, dbus)";
        }
        session_ = std::make_unique<test::Session>(QSize());
        const QString runtime = session_->home.Path("sway");
        const QString config = runtime + ".conf";
        QDir().mkpath(runtime);
        ::chmod(QFile::encodeName(session_->home.Path()).constData(), 0755);
        ::chmod(QFile::encodeName(session_->data).constData(), 0777);  // where $(touch) would write
        ::chmod(QFile::encodeName(runtime).constData(), 0700);
        test::WriteBytes(config.toStdString(),
                         QStringLiteral("output HEADLESS-1 resolution %1x%2 position 0 0\noutput "
                                        "HEADLESS-2 resolution %1x%2 position %1 0\n")
                             .arg(test::kWidth)
                             .arg(test::kHeight)
                             .toStdString());
        QStringList command =
            QStringList{"env", "-i", "--chdir=" + session_->data} +
            QString(
                "WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=2 WLR_RENDERER=pixman "
                "WLR_LIBINPUT_NO_DEVICES=1 PATH=/usr/bin:/bin")
                .split(' ') +
            QStringList{"HOME=" + session_->home.Path(), "XDG_RUNTIME_DIR=" + runtime, "sway", "-c",
                        config};
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            ASSERT_NE(nobody, nullptr)
                << "running as root without the user nobody, and sway refuses root";
            ASSERT_EQ(
                ::chown(QFile::encodeName(runtime).constData(), nobody->pw_uid, nobody->pw_gid), 0);
            command = QStringList{"runuser", "-u", "nobody", "--"} + command;
        }
        ASSERT_TRUE(session_->Start(command[0], command.mid(1)));
        QString socket, wayland;
        ASSERT_TRUE(test::WaitUntil([&] {
            const QDir folder(runtime);
            socket = folder.entryList({"sway-ipc.*.sock"}, QDir::System).value(0);
            wayland = folder.entryList({"wayland-?"}, QDir::System).value(0);
            return !socket.isEmpty() && !wayland.isEmpty();
        })) << "sway did not start; see "
            << session_->home.Path("runuser.log").toStdString();
        // sway-ipc.<uid>.<pid>.sock: the compositor's own id, to stop exactly that process.
        swayPid_ = socket.split(QLatin1Char('.')).value(2).toInt();
        session_->env["SWAYSOCK"] = (runtime + QLatin1Char('/') + socket).toStdString();
        session_->env["WAYLAND_DISPLAY"] = (runtime + QLatin1Char('/') + wayland).toStdString();
        session_->grab = [this] {
            const QString shot = session_->home.Path("shot.ppm");
            QFile::remove(shot);
            static_cast<void>(session_->Run("grim", {"-t", "ppm", shot}));
            return QImage(shot);
        };
    }
    void TearDown() override {
        if (swayPid_ > 0) {
            ::kill(swayPid_, SIGTERM);
        }
        session_.reset();
    }

    std::unique_ptr<test::Session> session_;
    pid_t swayPid_ = 0;
};

TEST_F(SwayTest, EveryOutputShowsEveryPlacementAndNoShellSeesThePath) {
    auto setter = MakeDesktopSetter(DesktopKind::Sway, session_->env);
    session_->ShowsEveryPlacement(*setter, {{0, 0}, {test::kWidth, 0}});
    EXPECT_FALSE(QFileInfo::exists(session_->data + "/pwned"))
        << "the path was expanded by a shell";
}

TEST_F(SwayTest, AMissingFileIsReportedThoughSwayItselfAnswersSuccess) {
    auto setter = MakeDesktopSetter(DesktopKind::Sway, session_->env);
    const std::string failure =
        test::FailureOf(*setter, session_->data + "/gone.bmp", Placement::Centred);
    EXPECT_NE(failure.find("cannot be read"), std::string::npos) << failure;
}

}  // namespace
}  // namespace tavrino
