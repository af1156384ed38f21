// XFCE and MATE as their own desktop programs draw them: xfdesktop, and caja's desktop window,
// on a private X server, session bus and home; the screen is read back after every placement.
#include <gtest/gtest.h>

#include <QDir>
#include <QPoint>
#include <QSize>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/errors/Errors.h"
#include "tests/wallpaper/desktop/test_desktop_support.h"
#include "tests/wallpaper/desktop/test_desktop_xsupport.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {
namespace {

using test::kBottomLeft;
using test::kBottomRight;
using test::kNotPicture;
using test::kTopLeft;
using test::kTopRight;

// Wider than 4:3, so the keep-aspect box leaves the desktop's own colour on both sides.
constexpr int kWidth = 400;
constexpr int kHeight = 240;

// xfdesktop names a monitor after its output; Xvfb's one output is "screen". A second,
// unplugged monitor keeps its properties and must get the picture as well.
const QString kDrawnMonitor = QStringLiteral("/backdrop/screen0/monitorscreen/workspace0/");
const QString kUnpluggedMonitor = QStringLiteral("/backdrop/screen0/monitorHDMI-1/workspace0/");

struct Command {
    const char* program;
    QStringList arguments;
};

struct Desktop {
    DesktopKind kind;
    Command program;  // draws the desktop
    const char* package;
    std::vector<Command> profile;  // run before it starts: no desktop icons over the picture
    Command ready;                 // succeeds once the program has taken up the profile
};

Command XfconfGet(const QString& property) {
    return {
        "xfconf-query",
        {QStringLiteral("-c"), QStringLiteral("xfce4-desktop"), QStringLiteral("-p"), property}};
}

Command XfconfSet(const QString& property, const char* type, const char* value) {
    Command command = XfconfGet(property);
    command.arguments << QStringLiteral("-n") << QStringLiteral("-t") << QString::fromLatin1(type)
                      << QStringLiteral("-s") << QString::fromLatin1(value);
    return command;
}

Command CajaIconHidden(const char* key) {
    return {"gsettings",
            {QStringLiteral("set"), QStringLiteral("org.mate.caja.desktop"),
             QString::fromLatin1(key), QStringLiteral("false")}};
}

// One placement on screen: the bitmap's quarter size and what the screen shows.
struct Shown {
    Placement placement;
    QSize quarter;
    std::vector<std::pair<QPoint, QColor>> probes;
};

// Each row also differs on screen from the row before, so a change not drawn fails.
// clang-format off
const std::vector<Shown> kShown = {
    {Placement::Tiled,     {20, 15},   {{{10, 7}, kTopLeft}, {{30, 7}, kTopRight}, {{50, 7}, kTopLeft}, {{10, 37}, kTopLeft}, {{390, 232}, kBottomRight}}},
    {Placement::Stretched, {20, 15},   {{{100, 60}, kTopLeft}, {{300, 60}, kTopRight}, {{100, 180}, kBottomLeft}, {{300, 180}, kBottomRight}}},
    {Placement::Centred,   {20, 15},   {{{190, 112}, kTopLeft}, {{210, 127}, kBottomRight}, {{170, 100}, kNotPicture}, {{390, 230}, kNotPicture}}},
    // Stretch keeping the aspect: the composed 4:3 box, as high as the screen, centred.
    {Placement::Centred,   {160, 120}, {{{120, 60}, kTopLeft}, {{280, 60}, kTopRight}, {{120, 180}, kBottomLeft}, {{280, 180}, kBottomRight}, {{20, 60}, kNotPicture}, {{380, 180}, kNotPicture}}},
};
// clang-format on

class DrawnDesktopTest : public ::testing::TestWithParam<Desktop> {
protected:
    void SetUp() override {
        for (const char* program : {GetParam().program.program, "Xvfb", "dbus-daemon"}) {
            if (!test::HaveProgram(program)) {
                GTEST_SKIP() << program << " is not installed (packages " << GetParam().package
                             << ", xvfb, dbus)";
            }
        }
        ASSERT_TRUE(home_.isValid());
        server_ = std::make_unique<test::VirtualDisplay>(kWidth, kHeight, 24);
        ASSERT_FALSE(server_->Id().empty()) << "Xvfb did not start";
        display_ = XOpenDisplay(server_->Id().c_str());
        ASSERT_NE(display_, nullptr);
        environment_ = test::PrivateEnvironment(home_.path());
        environment_["DISPLAY"] = server_->Id();
        environment_["XDG_RUNTIME_DIR"] = home_.path().toStdString();
        environment_["GSETTINGS_BACKEND"] = "dconf";
        // No accessibility bus and no gvfs daemons: nothing here needs them.
        environment_["NO_AT_BRIDGE"] = "1";
        environment_["GIO_USE_VFS"] = "local";
        environment_["GIO_USE_VOLUME_MONITOR"] = "unix";
        bus_ = std::make_unique<test::PrivateBus>(environment_);
        ASSERT_FALSE(bus_->Address().empty()) << "the private bus did not start";
        environment_["DBUS_SESSION_BUS_ADDRESS"] = bus_->Address();
        for (const Command& command : GetParam().profile) {
            ASSERT_TRUE(Run(command))
                << command.program << " " << command.arguments.join(QLatin1Char(' ')).toStdString();
        }
        desktop_.setProcessEnvironment(test::ToProcessEnvironment(environment_));
        desktop_.start(QString::fromLatin1(GetParam().program.program),
                       GetParam().program.arguments);
        ASSERT_TRUE(desktop_.waitForStarted(10000));
        ASSERT_TRUE(
            test::WaitUntil([this] { return Run(GetParam().ready).has_value(); }, 20000, 200))
            << GetParam().program.program << " did not take up its profile";
        // Quotes, a backslash and a letter beyond ASCII in the path, as gsettings must take it.
        data_ = home_.path() + QStringLiteral("/it's a \"test\" \\ \xC3\xA4");
        QDir().mkpath(data_);
        bitmap_ = data_ + QStringLiteral("/TavrinoWallpaperManager.bmp");
    }

    void TearDown() override {
        test::StopProcess(desktop_);
        bus_.reset();
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
        server_.reset();
    }

    std::optional<QByteArray> Run(const Command& command) {
        return test::RunForOutput(environment_, QString::fromLatin1(command.program),
                                  command.arguments);
    }

    QTemporaryDir home_;
    std::unique_ptr<test::VirtualDisplay> server_;
    std::unique_ptr<test::PrivateBus> bus_;
    QProcess desktop_;
    Display* display_ = nullptr;
    Environment environment_;
    QString data_;
    QString bitmap_;
};

TEST_P(DrawnDesktopTest, EachPlacementIsDrawnWhereItBelongs) {
    auto setter = MakeDesktopSetter(GetParam().kind, environment_);
    for (const Shown& row : kShown) {
        SCOPED_TRACE(::testing::Message() << PlacementName(row.placement) << ", "
                                          << 2 * row.quarter.width() << " pixels wide");
        test::WriteBitmap(bitmap_, test::QuarteredImage(row.quarter.width(), row.quarter.height()));
        ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), row.placement));
        EXPECT_TRUE(test::ShowsOnRoot(display_, row.probes));
        if (GetParam().kind == DesktopKind::Xfce) {
            const auto unplugged = Run(XfconfGet(kUnpluggedMonitor + QStringLiteral("last-image")));
            EXPECT_EQ(unplugged.value_or("<unreadable>").trimmed().toStdString(),
                      test::FreshWallpaperFile(data_).toStdString());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, DrawnDesktopTest,
    ::testing::Values(
        Desktop{DesktopKind::Xfce,
                {"xfdesktop", {QStringLiteral("--disable-wm-check")}},
                "xfdesktop4",
                {XfconfSet(QStringLiteral("/desktop-icons/style"), "int", "0"),
                 XfconfSet(kUnpluggedMonitor + QStringLiteral("last-image"), "string", "/old.png")},
                // xfdesktop writes the properties of the monitors it draws when it starts.
                XfconfGet(kDrawnMonitor + QStringLiteral("last-image"))},
        Desktop{
            DesktopKind::Mate,
            {"caja", {QStringLiteral("--force-desktop"), QStringLiteral("--no-default-window")}},
            "caja",
            {CajaIconHidden("computer-icon-visible"), CajaIconHidden("home-icon-visible"),
             CajaIconHidden("trash-icon-visible"), CajaIconHidden("volumes-visible")},
            {"xwininfo", {QStringLiteral("-name"), QStringLiteral("Desktop")}}}),
    [](const ::testing::TestParamInfo<Desktop>& param) {
        return std::string(DesktopKindName(param.param.kind));
    });

TEST(XfceDesktopTest, AnUnreachableXfconfdIsReported) {
    if (!test::HaveProgram("xfconf-query")) {
        GTEST_SKIP() << "xfconf-query is not installed (package xfconf)";
    }
    QTemporaryDir home;
    Environment environment = test::PrivateEnvironment(home.path());
    environment["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + home.path().toStdString() + "/no-bus";
    const QString bitmap = home.path() + QStringLiteral("/TavrinoWallpaperManager.bmp");
    test::WriteBitmap(bitmap, test::QuarteredImage());
    try {
        MakeDesktopSetter(DesktopKind::Xfce, environment)
            ->SetBackground(bitmap.toStdString(), Placement::Centred);
        FAIL() << "nothing was stored, yet no failure was reported";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), errnum::DesktopRefused);
        EXPECT_NE(std::string(error.what()).find("xfconf-query"), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(test::FreshWallpaperFile(home.path()), QStringLiteral("<none>"));
}

}  // namespace
}  // namespace tavrino
