// LXQt with the real pcmanfm-qt managing a private X server's desktop, and the command lines
// both pcmanfm flavours get, seen through stand-ins on a private PATH.
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

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// A stand-in that records its arguments, one per line, and answers as told.
void WriteStandIn(const QString& folder, const QString& name, const QString& body) {
    QFile tool(folder + QLatin1Char('/') + name);
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.write(("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname "
                "\"$0\")/args\"\n" +
                body + "\n")
                   .toUtf8());
    tool.close();
    tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QStringList RecordedArguments(const QString& folder) {
    QFile file(folder + QStringLiteral("/args"));
    if (!file.open(QIODevice::ReadOnly)) {
        return {QStringLiteral("<not called>")};
    }
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

class PcmanfmCommandLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        bin_ = home_.path() + QStringLiteral("/bin");
        data_ = home_.path() + QStringLiteral("/data");
        QDir().mkpath(bin_);
        QDir().mkpath(data_);
        bitmap_ = data_ + QStringLiteral("/TavrinoWallpaperManager.bmp");
        test::WriteBitmap(bitmap_, test::QuarteredImage());
        environment_ = test::PrivateEnvironment(home_.path());
        environment_["PATH"] = bin_.toStdString() + ":/usr/bin:/bin";
    }
    QString FreshFile() const { return test::FreshWallpaperFile(data_); }

    QTemporaryDir home_;
    QString bin_;
    QString data_;
    QString bitmap_;
    Environment environment_;
};

// Stores the picture where pcmanfm's LXDE profile keeps it, as the running instance would.
const QString kLxdeStores = QStringLiteral(
    "d=\"$XDG_CONFIG_HOME/pcmanfm/LXDE\"; mkdir -p \"$d\"; "
    "printf '[*]\\nwallpaper=%s\\n' \"${1#--set-wallpaper=}\" > \"$d/desktop-items-0.conf\"");

TEST_F(PcmanfmCommandLineTest, LxdeGetsThePictureAndModeAsOptions) {
    WriteStandIn(bin_, QStringLiteral("pcmanfm"), kLxdeStores);
    auto setter = MakeDesktopSetter(DesktopKind::Lxde, environment_);
    for (const auto& [placement, mode] :
         {std::pair{Placement::Tiled, "tile"}, std::pair{Placement::Stretched, "stretch"},
          std::pair{Placement::Centred, "center"}}) {
        ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), placement));
        EXPECT_EQ(RecordedArguments(bin_),
                  (QStringList{QStringLiteral("--set-wallpaper=") + FreshFile(),
                               QStringLiteral("--wallpaper-mode=") + QString::fromLatin1(mode)}));
    }
}

TEST_F(PcmanfmCommandLineTest, ARefusalCarriesTheProgramsWordsAndKeepsThePreviousName) {
    WriteStandIn(bin_, QStringLiteral("pcmanfm"), kLxdeStores);
    auto setter = MakeDesktopSetter(DesktopKind::Lxde, environment_);
    ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), Placement::Tiled));
    const QString shown = FreshFile();
    WriteStandIn(bin_, QStringLiteral("pcmanfm"),
                 QStringLiteral("echo 'Cannot open display' >&2; exit 1"));
    const std::string words = test::FailureOf(*setter, bitmap_.toStdString(), Placement::Centred);
    EXPECT_NE(words.find("Cannot open display"), std::string::npos) << words;
    EXPECT_EQ(FreshFile(), shown);
}

TEST_F(PcmanfmCommandLineTest, LxqtWithoutADesktopInstanceIsReportedNotTakenAsDone) {
    // pcmanfm-qt ends well even when no instance manages the desktop; nothing is stored then.
    WriteStandIn(bin_, QStringLiteral("pcmanfm-qt"), QStringLiteral("exit 0"));
    auto setter = MakeDesktopSetter(DesktopKind::Lxqt, environment_);
    const std::string words = test::FailureOf(*setter, bitmap_.toStdString(), Placement::Stretched);
    EXPECT_NE(words.find("pcmanfm-qt"), std::string::npos) << words;
    EXPECT_EQ(RecordedArguments(bin_).mid(0, 2),
              (QStringList{QStringLiteral("--set-wallpaper"), RecordedArguments(bin_).value(1)}));
    EXPECT_EQ(RecordedArguments(bin_).mid(2),
              (QStringList{QStringLiteral("--wallpaper-mode"), QStringLiteral("stretch")}));
    EXPECT_EQ(FreshFile(), QStringLiteral("<none>"));
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
        server_ = std::make_unique<test::VirtualDisplay>(kWidth, kHeight, 24);
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

    ::testing::AssertionResult Shows(const std::vector<std::pair<QPoint, QColor>>& probes) {
        return test::ShowsOnRoot(display_, probes);
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
    StartDesktop();
    auto setter = MakeDesktopSetter(GetParam().kind, environment_);
    ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), Placement::Tiled));
    EXPECT_TRUE(Shows({{QPoint(5, 5), test::kTopLeft},
                       {QPoint(25, 5), test::kTopRight},
                       {QPoint(45, 5), test::kTopLeft},
                       {QPoint(5, 35), test::kTopLeft}}));
    ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), Placement::Stretched));
    EXPECT_TRUE(Shows({{QPoint(20, 20), test::kTopLeft},
                       {QPoint(300, 20), test::kTopRight},
                       {QPoint(20, 220), test::kBottomLeft},
                       {QPoint(300, 220), test::kBottomRight}}));
    ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), Placement::Centred));
    EXPECT_TRUE(Shows({{QPoint(145, 110), test::kTopLeft},
                       {QPoint(175, 130), test::kBottomRight},
                       {QPoint(5, 5), test::kNotPicture}}));
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
