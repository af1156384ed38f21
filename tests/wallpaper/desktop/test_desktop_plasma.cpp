// KDE Plasma's own shell (kded5 with its StatusNotifierWatcher, plasmashell) on Xvfb: each
// placement on the screen, the program's icon taking real clicks, the administrator's lock.
#include <QDBusMessage>
#include <QRegularExpression>
#include <QThread>

#include "tests/wallpaper/desktop/test_desktop_support.h"

namespace tavrino {
namespace {

using test::WaitUntil;

class PlasmaTest : public ::testing::Test {
protected:
    // kded5 with its StatusNotifierWatcher on a screen of the given size, and the shell.
    void Start(QSize screen) {
        if (const std::string missing =
                test::Missing({"plasmashell", "kded5", "Xvfb", "dbus-daemon", "xdotool"});
            !missing.empty()) {
            GTEST_SKIP()
                << missing
                << " is not installed (packages plasma-workspace, plasma-desktop, xdotool)";
        }
        session_ = std::make_unique<test::Session>(screen);
        session_->env["TAVRINO_DESKTOP"] = "plasma";
        ASSERT_TRUE(session_->Running());
        session_->Start("kded5", {});
        ASSERT_TRUE(WaitUntil([this] { return Registered("org.kde.kded5"); }, 20000));
        Bus().call(
            QDBusMessage::createMethodCall("org.kde.kded5", "/kded", "org.kde.kded5", "loadModule")
            << "statusnotifierwatcher");
        Shell(false);
    }
    // Starts plasmashell afresh, its scripting forbidden by the administrator when locked.
    void Shell(bool locked) {
        if (shell_ != nullptr) {
            test::Session::Stop(*shell_);
        }
        test::WriteBytes(
            session_->home.Path("config/kdeglobals").toStdString(),
            locked ? "[KDE Action Restrictions][$i]\nplasma-desktop/scripting_console=false\n"
                   : "");
        shell_ = session_->Start("plasmashell", {});
        ASSERT_TRUE(WaitUntil([this] { return Registered("org.kde.StatusNotifierHost-"); }, 30000))
            << "no tray came up";
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus("plasma-test");
        session_.reset();
    }

    [[nodiscard]] QDBusConnection Bus() const {
        return QDBusConnection::connectToBus(QString::fromStdString(session_->Address()),
                                             "plasma-test");
    }
    [[nodiscard]] bool Registered(const QString& prefix) const {
        return std::ranges::any_of(Bus().interface()->registeredServiceNames().value(),
                                   [&](const QString& n) { return n.startsWith(prefix); });
    }

    // Where plasmashell has put its panel up, empty until it has.
    [[nodiscard]] QRect Panel() const {
        static const QRegularExpression window(
            QStringLiteral(R"(Position: (\d+),(\d+).*\n.*Geometry: (\d+)x(\d+))"));
        const QString out = session_->display->Run(
            "xdotool",
            {"search", "--onlyvisible", "--class", "plasmashell", "getwindowgeometry", "%@"});
        for (auto it = window.globalMatch(out); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            const QRect rect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                             m.captured(4).toInt());
            if (rect.width() > 4 * rect.height()) {
                return rect;
            }
        }
        return {};
    }

    std::unique_ptr<test::Session> session_;
    QProcess* shell_ = nullptr;
};

// The middle of the leftmost run of changed columns: the icon that came into the tray.
std::optional<int> NewIconX(const QImage& before, const QImage& after) {
    int first = -1, last = -1;
    for (int x = 0;
         before.size() == after.size() && x < after.width() && (first < 0 || x - last <= 6); ++x) {
        for (int y = 0; y < after.height(); ++y) {
            if (before.pixel(x, y) != after.pixel(x, y)) {
                first = first < 0 ? x : first;
                last = x;
            }
        }
    }
    return first < 0 ? std::nullopt : std::optional<int>((first + last) / 2);
}

// The program, on a screen where the panel takes its icon without squeezing the others.
TEST_F(PlasmaTest, ALogOnStartIsHiddenUntilTheIconsDoubleClickAndASecondLaunchReachesIt) {
    Start({1280, 800});
    const test::PrivateHome& home = session_->home;
    std::string list;
    for (const int size : {40, 20}) {  // the same four colours, composed differently
        const QString picture = home.AppData() + QString("/four%1.bmp").arg(size);
        ASSERT_TRUE(test::QuarteredImage({size, size * 3 / 4}).save(picture, "BMP"));
        list += (picture + "|True\r\n").toStdString();
    }
    test::WriteBytes(home.AppData().toStdString() + "/images.idx", list);
    home.WriteSettings({"AutoUpdate=0", "Aspect=1", "Minimize=1", "Stretch=1", "Tile=0"});
    QRect panel;
    QImage before;  // the panel once it is up and stands still
    ASSERT_TRUE(WaitUntil(
        [&] {
            panel = Panel();
            const QImage now = test::GrabRoot(session_->x).copy(panel);
            const bool settled = !panel.isEmpty() && now == before;
            before = now;
            return settled;
        },
        60000))
        << "the panel did not come up";
    QProcess* program = session_->Start(qEnvironmentVariable("TAVRINO_EXE"), {"/startup"});
    ASSERT_NE(program, nullptr);
    // The 4:3 box as high as the screen, black beside it.
    // clang-format off
    EXPECT_TRUE(session_->Shows({{{40, 400}, Qt::black}, {{1240, 400}, Qt::black}, {{400, 200}, test::kTopLeft},
                                 {{880, 200}, test::kTopRight}, {{400, 600}, test::kBottomLeft}, {{880, 600}, test::kBottomRight}}));
    // clang-format on

    const auto icon = [&] { return NewIconX(before, test::GrabRoot(session_->x).copy(panel)); };
    ASSERT_TRUE(WaitUntil([&] { return icon().has_value(); }, 30000))
        << "no icon came into the panel";
    QThread::msleep(1000);  // the tray lays its icons out afresh
    const int x = panel.x() + icon().value_or(0);
    const auto click = [&](const char* times) {
        static_cast<void>(session_->display->Run(
            "xdotool", {"mousemove", QString::number(x), QString::number(panel.center().y()),
                        "click", "--repeat", QString::fromLatin1(times), "--delay", "80", "1"}));
    };
    const auto shown = [&] {
        return session_->display->CountVisibleWindows("^Tavrino Wallpaper Manager$");
    };
    EXPECT_EQ(shown(), 0) << "the log-on start must hide the window";
    click("1");
    QThread::msleep(800);
    EXPECT_EQ(shown(), 0) << "a single click must leave the window hidden";
    click("2");
    EXPECT_TRUE(WaitUntil([&] { return shown() == 1; }, 5000)) << "a double click must restore it";

    const auto launch = [&](const QStringList& arguments) {
        return session_->Run(qEnvironmentVariable("TAVRINO_EXE"), arguments).has_value();
    };
    const std::string bitmap = home.AppData().toStdString() + "/TavrinoWallpaperManager.bmp";
    const std::string first = test::ReadBytes(bitmap);
    EXPECT_TRUE(launch({}));
    EXPECT_TRUE(launch({"/startup"}));
    EXPECT_EQ(shown(), 1) << "a second copy must not open a window";
    EXPECT_TRUE(launch({"--next"}));
    EXPECT_TRUE(WaitUntil([&] { return test::ReadBytes(bitmap) != first; }, 5000));
    test::Session::Stop(*program);
    EXPECT_FALSE(launch({"--next"})) << "--next without a running copy must fail";
}

TEST_F(PlasmaTest, EachPlacementIsShownAndStoredAndTheAdministratorsLockIsReported) {
    Start({test::kWidth, test::kHeight});
    auto setter = MakeDesktopSetter(DesktopKind::Plasma, session_->env);
    session_->ShowsEveryPlacement(*setter);
    Shell(true);
    const std::string failure = test::FailureOf(*setter, session_->bitmap, Placement::Centred);
    EXPECT_NE(failure.find("Administrative policies prevent script execution"), std::string::npos)
        << failure;
}

}  // namespace
}  // namespace tavrino
