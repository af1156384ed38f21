// sway, headless and software-rendered, with two outputs side by side; grim shows what swaybg
// drew. sway refuses to run as root, so under root it runs as the user "nobody".
#include <QFileInfo>

#include "tests/wallpaper/desktop/test_desktop_support.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavrino {
namespace {

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
        QStringList command{"env",
                            "-i",
                            QStringLiteral("--chdir=") + session_->data,
                            QStringLiteral("HOME=") + session_->home.Path(),
                            QStringLiteral("XDG_RUNTIME_DIR=") + runtime,
                            "WLR_BACKENDS=headless",
                            "WLR_HEADLESS_OUTPUTS=2",
                            "WLR_RENDERER=pixman",
                            "WLR_LIBINPUT_NO_DEVICES=1",
                            "PATH=/usr/bin:/bin",
                            "sway",
                            "-c",
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
        session_->grab = [this, runtime, wayland] {
            const QString shot = session_->home.Path("shot.ppm");
            QFile::remove(shot);
            QProcess grim;
            grim.setProcessEnvironment(
                test::ToProcessEnvironment({{"PATH", "/usr/bin:/bin"},
                                            {"XDG_RUNTIME_DIR", runtime.toStdString()},
                                            {"WAYLAND_DISPLAY", wayland.toStdString()}}));
            grim.start("grim", {"-t", "ppm", shot});
            grim.waitForFinished(10000);
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

TEST_F(SwayTest, AMissingFileOrALostSessionIsReported) {
    // sway itself answers success for a file swaybg cannot read.
    Environment lost = session_->env;
    lost["SWAYSOCK"] = session_->home.Path().toStdString() + "/no-such.sock";
    // clang-format off
    const std::tuple<Environment, QString, const char*> cases[] = {
        {session_->env, session_->data + "/gone.bmp", "cannot be read"},
        {lost, session_->bitmap, "swaymsg"},
    };
    // clang-format on
    ASSERT_TRUE(test::QuarteredImage({20, 15}).save(session_->bitmap, "BMP"));
    for (const auto& [environment, bitmap, words] : cases) {
        const std::string failure = test::FailureOf(
            *MakeDesktopSetter(DesktopKind::Sway, environment), bitmap, Placement::Centred);
        EXPECT_NE(failure.find(words), std::string::npos) << failure;
    }
}

}  // namespace
}  // namespace tavrino
