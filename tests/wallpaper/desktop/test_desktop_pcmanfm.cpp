// LXQt and LXDE with the real pcmanfm-qt and pcmanfm managing a private X server's desktop,
// and a refusal seen through a stand-in on a private PATH.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include "support/errors/Errors.h"
#include "tests/wallpaper/desktop/test_desktop_support.h"
#include "tests/wallpaper/desktop/test_desktop_xsupport.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {
namespace {

TEST(PcmanfmCommandLine, ARefusalCarriesTheProgramsWordsAndKeepsTheNameTheDesktopShows) {
    QTemporaryDir home;
    const QString data = home.path() + QStringLiteral("/data");
    const QString bitmap = data + QStringLiteral("/TavrinoWallpaperManager.bmp");
    QDir().mkpath(data);
    test::WriteBitmap(bitmap, test::QuarteredImage());
    Environment environment = test::PrivateEnvironment(home.path());
    environment["PATH"] = home.path().toStdString() + ":/usr/bin:/bin";
    const auto standIn = [&](const char* body) {
        test::WriteBytes((home.path() + QStringLiteral("/pcmanfm")).toStdString(),
                         std::string("#!/bin/sh\n") + body + "\n");
        QFile::setPermissions(home.path() + QStringLiteral("/pcmanfm"),
                              QFile::ReadOwner | QFile::ExeOwner);
    };
    // First it stores the picture where LXDE's profile keeps it, as the running instance would.
    standIn(
        "d=\"$XDG_CONFIG_HOME/pcmanfm/LXDE\"; mkdir -p \"$d\"; "
        "printf '[*]\\nwallpaper=%s\\n' \"${1#--set-wallpaper=}\" > \"$d/desktop-items-0.conf\"");
    auto setter = MakeDesktopSetter(DesktopKind::Lxde, environment);
    ASSERT_NO_THROW(setter->SetBackground(bitmap.toStdString(), Placement::Tiled));
    const QString shown = test::FreshWallpaperFile(data);
    standIn("echo 'Cannot open display' >&2; exit 1");
    const std::string words = test::FailureOf(*setter, bitmap.toStdString(), Placement::Centred);
    EXPECT_NE(words.find("Cannot open display"), std::string::npos) << words;
    EXPECT_EQ(test::FreshWallpaperFile(data), shown);
}

// The desktop managers as LXQt and LXDE run them, on a private X server and bus.
struct Flavour {
    DesktopKind kind;
    const char* program;
    const char* profile;
    const char* package;
};

class PcmanfmDesktopTest : public ::testing::TestWithParam<Flavour> {
protected:
    void SetUp() override {
        const Flavour& flavour = GetParam();
        for (const char* program : {flavour.program, "Xvfb", "dbus-daemon"}) {
            if (!test::HaveProgram(program)) {
                GTEST_SKIP() << program << " is not installed (packages " << flavour.package
                             << ", xvfb, dbus)";
            }
        }
        ASSERT_TRUE(home_.isValid());
        server_ = std::make_unique<test::VirtualDisplay>(320, 240, 24);
        ASSERT_FALSE(server_->Id().empty());
        environment_ = test::PrivateEnvironment(home_.path());
        environment_["DISPLAY"] = server_->Id();
        environment_["XDG_RUNTIME_DIR"] = home_.path().toStdString();
        environment_["QT_QPA_PLATFORM"] = "xcb";
        bus_ = std::make_unique<test::PrivateBus>(environment_);
        ASSERT_FALSE(bus_->Address().empty());
        environment_["DBUS_SESSION_BUS_ADDRESS"] = bus_->Address();
        display_ = XOpenDisplay(server_->Id().c_str());
        ASSERT_NE(display_, nullptr);
        data_ = home_.path() + QStringLiteral("/data dir 'x'");
        QDir().mkpath(data_);
        bitmap_ = data_ + QStringLiteral("/TavrinoWallpaperManager.bmp");
        test::WriteBitmap(bitmap_, test::QuarteredImage());
    }

    // Starts the desktop manager and waits until it has put its desktop window up.
    void StartDesktop() {
        desktop_.setProcessEnvironment(test::ToProcessEnvironment(environment_));
        desktop_.start(QString::fromLatin1(GetParam().program),
                       {QStringLiteral("--desktop"),
                        QStringLiteral("--profile=") + QString::fromLatin1(GetParam().profile)});
        ASSERT_TRUE(desktop_.waitForStarted(10000));
        const bool up = test::WaitUntil(
            [this] {
                Window root = 0;
                Window parent = 0;
                Window* children = nullptr;
                unsigned count = 0;
                XQueryTree(display_, XDefaultRootWindow(display_), &root, &parent, &children,
                           &count);
                if (children != nullptr) {
                    XFree(children);
                }
                return count > 0;
            },
            15000);
        ASSERT_TRUE(up) << GetParam().program << " did not put up a desktop";
        QThread::msleep(500);  // its command channel opens right after the window
    }

    void TearDown() override {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
        test::StopProcess(desktop_);
        bus_.reset();
        server_.reset();
    }

    QString FreshFile() const { return test::FreshWallpaperFile(data_); }

    // What the desktop manager stored in its profile.
    QString Stored() const {
        const QString config = home_.path() + QStringLiteral("/.config/");
        if (GetParam().kind == DesktopKind::Lxqt) {
            const QSettings settings(config + QStringLiteral("pcmanfm-qt/lxqt/settings.conf"),
                                     QSettings::IniFormat);
            return settings.value(QStringLiteral("Desktop/Wallpaper")).toString();
        }
        QFile items(config + QStringLiteral("pcmanfm/LXDE/desktop-items-0.conf"));
        if (!items.open(QIODevice::ReadOnly)) {
            return {};
        }
        for (const QByteArray& line : items.readAll().split('\n')) {
            if (line.startsWith("wallpaper=")) {
                return QString::fromUtf8(line.mid(10));
            }
        }
        return {};
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

TEST_P(PcmanfmDesktopTest, TheDesktopShowsThePictureAndStoresIt) {
    using test::kBottomLeft, test::kBottomRight, test::kTopLeft, test::kTopRight;
    // clang-format off
    const std::pair<Placement, std::vector<std::pair<QPoint, QColor>>> cases[] = {
        {Placement::Tiled,     {{{5, 5}, kTopLeft}, {{25, 5}, kTopRight}, {{45, 5}, kTopLeft}, {{5, 35}, kTopLeft}}},
        {Placement::Stretched, {{{20, 20}, kTopLeft}, {{300, 20}, kTopRight}, {{20, 220}, kBottomLeft}, {{300, 220}, kBottomRight}}},
        {Placement::Centred,   {{{145, 110}, kTopLeft}, {{175, 130}, kBottomRight}, {{5, 5}, test::kNotPicture}}},
    };
    // clang-format on
    StartDesktop();
    auto setter = MakeDesktopSetter(GetParam().kind, environment_);
    for (const auto& [placement, probes] : cases) {
        ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), placement));
        EXPECT_TRUE(test::ShowsOnRoot(display_, probes)) << PlacementName(placement);
    }
    EXPECT_EQ(Stored(), FreshFile());
}

TEST_P(PcmanfmDesktopTest, WithoutADesktopManagerNothingIsTakenAsDone) {
    auto setter = MakeDesktopSetter(GetParam().kind, environment_);
    try {
        setter->SetBackground(bitmap_.toStdString(), Placement::Centred);
        FAIL() << "no desktop manager ran, yet no failure was reported";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), errnum::DesktopRefused);
        EXPECT_NE(std::string(error.what()).find(GetParam().program), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(FreshFile(), QStringLiteral("<none>"));
}

INSTANTIATE_TEST_SUITE_P(
    Flavours, PcmanfmDesktopTest,
    ::testing::Values(Flavour{DesktopKind::Lxqt, "pcmanfm-qt", "lxqt", "pcmanfm-qt"},
                      Flavour{DesktopKind::Lxde, "pcmanfm", "LXDE", "pcmanfm"}),
    [](const ::testing::TestParamInfo<Flavour>& param) {
        return std::string(DesktopKindName(param.param.kind));
    });

}  // namespace
}  // namespace tavrino
