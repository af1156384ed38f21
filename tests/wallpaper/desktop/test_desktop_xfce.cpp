// XFCE through the real xfconf-query and xfconfd on a private session bus.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <map>
#include <memory>

#include "support/errors/Errors.h"
#include "tests/wallpaper/desktop/test_desktop_support.h"
#include "wallpaper/desktop/DesktopCommands.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {
namespace {

class XfceDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* program : {"xfconf-query", "dbus-daemon"}) {
            if (!test::HaveProgram(program)) {
                GTEST_SKIP() << program << " is not installed (packages xfconf, dbus)";
            }
        }
        if (!QFileInfo::exists(
                QStringLiteral("/usr/share/dbus-1/services/org.xfce.Xfconf.service"))) {
            GTEST_SKIP() << "xfconfd is not installed (package xfconf)";
        }
        ASSERT_TRUE(home_.isValid());
        environment_ = test::PrivateEnvironment(home_.path());
        bus_ = std::make_unique<test::PrivateBus>(environment_);
        ASSERT_FALSE(bus_->Address().empty()) << "the private bus did not start";
        environment_["DBUS_SESSION_BUS_ADDRESS"] = bus_->Address();
        stopXfconfd_ = std::make_unique<test::StopServiceAtEnd>(bus_->Address(),
                                                                QStringLiteral("org.xfce.Xfconf"));
        const auto probe = test::RunForOutput(
            environment_, QStringLiteral("xfconf-query"),
            {QStringLiteral("-c"), QStringLiteral("xfce4-desktop"), QStringLiteral("-l")});
        if (!probe) {
            GTEST_SKIP() << "xfconf-query does not run here (library missing?)";
        }
        data_ = home_.path() + QStringLiteral("/data");
        QDir().mkpath(data_);
        bitmap_ = data_ + QStringLiteral("/TavrinoWallpaperManager.bmp");
        test::WriteBitmap(bitmap_, test::QuarteredImage());
    }

    void TearDown() override {
        // xfconfd outlives its bus for a while; it was started for this test, so stop it by id.
        stopXfconfd_.reset();
        bus_.reset();
    }

    void Set(const std::string& property, const QString& type, const QString& value) {
        ASSERT_TRUE(test::RunForOutput(
            environment_, QStringLiteral("xfconf-query"),
            {QStringLiteral("-c"), QStringLiteral("xfce4-desktop"), QStringLiteral("-p"),
             QString::fromStdString(property), QStringLiteral("-n"), QStringLiteral("-t"), type,
             QStringLiteral("-s"), value}));
    }

    // Every property of the channel with its value.
    std::map<std::string, std::string> Channel() {
        std::map<std::string, std::string> values;
        const auto listing = test::RunForOutput(
            environment_, QStringLiteral("xfconf-query"),
            {QStringLiteral("-c"), QStringLiteral("xfce4-desktop"), QStringLiteral("-l")});
        if (!listing) {
            return values;
        }
        for (const QByteArray& line : listing->split('\n')) {
            if (line.trimmed().isEmpty()) {
                continue;
            }
            const auto value =
                test::RunForOutput(environment_, QStringLiteral("xfconf-query"),
                                   {QStringLiteral("-c"), QStringLiteral("xfce4-desktop"),
                                    QStringLiteral("-p"), QString::fromUtf8(line.trimmed())});
            values[line.trimmed().toStdString()] =
                value ? value->trimmed().toStdString() : "<unreadable>";
        }
        return values;
    }

    std::string FreshFile() const { return test::FreshWallpaperFile(data_).toStdString(); }

    QTemporaryDir home_;
    Environment environment_;
    std::unique_ptr<test::PrivateBus> bus_;
    std::unique_ptr<test::StopServiceAtEnd> stopXfconfd_;
    QString data_;
    QString bitmap_;
};

TEST_F(XfceDesktopTest, EveryMonitorAndWorkspaceGetsThePictureInEachPlacement) {
    const std::vector<std::string> existing = {
        "/backdrop/screen0/monitorHDMI-1/workspace0/last-image",
        "/backdrop/screen0/monitorHDMI-1/workspace1/last-image",
        "/backdrop/screen0/monitoreDP-1/workspace0/last-image",
        "/backdrop/screen0/monitoreDP-1/workspace1/last-image"};
    for (const std::string& property : existing) {
        Set(property, QStringLiteral("string"),
            QStringLiteral("/usr/share/backgrounds/xfce/old.png"));
        Set(XfceImageStyleProperty(property), QStringLiteral("int"), QStringLiteral("5"));
    }
    auto setter = MakeDesktopSetter(DesktopKind::Xfce, environment_);
    for (const Placement placement : {Placement::Centred, Placement::Tiled, Placement::Stretched}) {
        SCOPED_TRACE(PlacementName(placement));
        ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), placement));
        const std::string fresh = FreshFile();
        const auto channel = Channel();
        EXPECT_EQ(channel.size(), 2 * existing.size())
            << "no properties for monitors that do not exist";
        for (const std::string& property : existing) {
            EXPECT_EQ(channel.count(property) ? channel.at(property) : "<missing>", fresh)
                << property;
            const std::string style = XfceImageStyleProperty(property);
            EXPECT_EQ(channel.count(style) ? channel.at(style) : "<missing>",
                      std::to_string(XfceImageStyle(placement)))
                << style;
        }
    }
}

TEST_F(XfceDesktopTest, AFreshProfileGetsPropertiesForTheCurrentMonitors) {
    auto setter = MakeDesktopSetter(DesktopKind::Xfce, environment_);
    ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), Placement::Stretched));
    const auto channel = Channel();
    int pictures = 0;
    for (const auto& [property, value] : channel) {
        if (property.size() > 11 &&
            property.compare(property.size() - 11, 11, "/last-image") == 0) {
            ++pictures;
            EXPECT_EQ(value, FreshFile()) << property;
            EXPECT_EQ(channel.count(XfceImageStyleProperty(property))
                          ? channel.at(XfceImageStyleProperty(property))
                          : "",
                      "3");
        }
    }
    // No xfwm4 settings in a fresh profile: xfwm4's default of four workspaces.
    EXPECT_GE(pictures, 4);
    EXPECT_EQ(pictures % 4, 0);
}

TEST_F(XfceDesktopTest, AnUnreachableXfconfdIsReported) {
    environment_["DBUS_SESSION_BUS_ADDRESS"] =
        "unix:path=" + home_.path().toStdString() + "/no-bus";
    auto setter = MakeDesktopSetter(DesktopKind::Xfce, environment_);
    try {
        setter->SetBackground(bitmap_.toStdString(), Placement::Centred);
        FAIL() << "nothing was stored, yet no failure was reported";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), errnum::DesktopRefused);
        EXPECT_NE(std::string(error.what()).find("xfconf-query"), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(FreshFile(), "<none>");
}

}  // namespace
}  // namespace tavrino
