// GNOME and Cinnamon through the real gsettings tool, each test in a private home with the
// keyfile backend, values read back independently afterwards: their shells do not run without
// a real screen. MATE, whose desktop caja draws, is checked on screen (test_desktop_xfce_mate).
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <filesystem>
#include <memory>

#include "support/errors/Errors.h"
#include "tests/wallpaper/desktop/test_desktop_support.h"
#include "wallpaper/desktop/DesktopCommands.h"
#include "wallpaper/desktop/DesktopSetter.h"
#include "wallpaper/desktop/GSettingsDesktopSetter.h"

namespace tavrino {
namespace {

using test::RunForOutput;

struct DesktopCase {
    DesktopKind kind;
    const char* schema;
    std::vector<const char*> uriKeys;
};

class GSettingsDesktopTest : public ::testing::TestWithParam<DesktopCase> {
protected:
    void SetUp() override {
        if (!test::HaveProgram("gsettings")) {
            GTEST_SKIP() << "gsettings is not installed (package libglib2.0-bin)";
        }
        ASSERT_TRUE(home_.isValid());
        environment_ = test::PrivateEnvironment(home_.path());
        environment_["GSETTINGS_BACKEND"] = "keyfile";
        if (!RunForOutput(environment_, QStringLiteral("gsettings"),
                          {QStringLiteral("list-keys"), QString::fromLatin1(GetParam().schema)})) {
            GTEST_SKIP() << "schema " << GetParam().schema << " is not installed";
        }
        data_ = home_.path() + QStringLiteral("/data");
        QDir().mkpath(data_);
        bitmap_ = data_ + QStringLiteral("/TavrinoWallpaperManager.bmp");
        test::WriteBitmap(bitmap_, test::QuarteredImage());
    }

    std::string Get(const char* key) {
        const auto out =
            RunForOutput(environment_, QStringLiteral("gsettings"),
                         {QStringLiteral("get"), QString::fromLatin1(GetParam().schema),
                          QString::fromLatin1(key)});
        if (!out) {
            return "<gsettings get failed>";
        }
        return ParseGVariantString(out->toStdString())
            .value_or("<not a string: " + out->toStdString() + ">");
    }

    QStringList ChangeFiles() const {
        return QDir(data_).entryList({QStringLiteral("TavrinoWallpaperManager-*.bmp")},
                                     QDir::Files);
    }

    QTemporaryDir home_;
    Environment environment_;
    QString data_;
    QString bitmap_;
};

TEST_P(GSettingsDesktopTest, EveryPlacementIsStoredAndEveryChangeGetsAFreshName) {
    const DesktopCase& c = GetParam();
    auto setter = MakeDesktopSetter(c.kind, environment_);
    std::string previous;
    for (const Placement placement :
         {Placement::Tiled, Placement::Stretched, Placement::Centred, Placement::Tiled}) {
        SCOPED_TRACE(PlacementName(placement));
        ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), placement));
        EXPECT_EQ(Get("picture-options"), GSettingsPictureOptions(placement));

        // One fresh name beside the composed file, which itself stays.
        const QStringList files = ChangeFiles();
        ASSERT_EQ(files.size(), 1) << files.join(QLatin1Char(' ')).toStdString();
        const std::string fresh = (data_ + QLatin1Char('/') + files.front()).toStdString();
        EXPECT_NE(fresh, previous);
        EXPECT_TRUE(QFileInfo::exists(bitmap_));
        EXPECT_TRUE(std::filesystem::equivalent(fresh, bitmap_.toStdString()) ||
                    std::filesystem::file_size(fresh) ==
                        std::filesystem::file_size(bitmap_.toStdString()));
        for (const char* key : c.uriKeys) {
            EXPECT_EQ(Get(key), FileUri(fresh)) << key;
        }
        previous = fresh;
    }
    // Stored in this test's own home, not the user's.
    EXPECT_TRUE(
        QFileInfo::exists(home_.path() + QStringLiteral("/.config/glib-2.0/settings/keyfile")));
}

TEST_P(GSettingsDesktopTest, AValueThatDoesNotStickIsReportedAndTheFreshNameRemoved) {
    // The memory backend accepts every write and forgets it when gsettings ends.
    environment_["GSETTINGS_BACKEND"] = "memory";
    auto setter = MakeDesktopSetter(GetParam().kind, environment_);
    try {
        setter->SetBackground(bitmap_.toStdString(), Placement::Stretched);
        FAIL() << "a forgotten value was taken as success";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), errnum::DesktopRefused);
        EXPECT_NE(std::string(error.what()).find("did not keep the wallpaper"), std::string::npos)
            << error.what();
    }
    EXPECT_TRUE(ChangeFiles().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(bitmap_));
}

TEST_P(GSettingsDesktopTest, AMissingSchemaIsReportedInGsettingsOwnWords) {
    QTemporaryDir noSchemas;
    environment_["GSETTINGS_SCHEMA_DIR"] = noSchemas.path().toStdString();
    environment_["XDG_DATA_DIRS"] = noSchemas.path().toStdString();
    auto setter = MakeDesktopSetter(GetParam().kind, environment_);
    try {
        setter->SetBackground(bitmap_.toStdString(), Placement::Centred);
        FAIL() << "a missing schema was taken as success";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), errnum::DesktopRefused);
        EXPECT_NE(std::string(error.what()).find("schema"), std::string::npos) << error.what();
    }
}

TEST_P(GSettingsDesktopTest, TheDconfBackendOfARealSessionKeepsIt) {
    if (!test::HaveProgram("dbus-daemon") ||
        !QFileInfo::exists(QStringLiteral("/usr/share/dbus-1/services/ca.desrt.dconf.service"))) {
        GTEST_SKIP()
            << "dconf or dbus-daemon is not installed (packages dconf-gsettings-backend, dbus)";
    }
    const QString runtime = home_.path() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    environment_["XDG_RUNTIME_DIR"] = runtime.toStdString();
    environment_["GSETTINGS_BACKEND"] = "dconf";
    const test::PrivateBus bus(environment_);
    ASSERT_FALSE(bus.Address().empty());
    environment_["DBUS_SESSION_BUS_ADDRESS"] = bus.Address();
    auto setter = MakeDesktopSetter(GetParam().kind, environment_);
    for (const Placement placement : {Placement::Stretched, Placement::Tiled}) {
        ASSERT_NO_THROW(setter->SetBackground(bitmap_.toStdString(), placement))
            << PlacementName(placement);
        EXPECT_EQ(Get("picture-options"), GSettingsPictureOptions(placement));
    }
    EXPECT_TRUE(QFileInfo::exists(home_.path() + QStringLiteral("/.config/dconf/user")));
}

INSTANTIATE_TEST_SUITE_P(Desktops, GSettingsDesktopTest,
                         ::testing::Values(DesktopCase{DesktopKind::Gnome,
                                                       "org.gnome.desktop.background",
                                                       {"picture-uri", "picture-uri-dark"}},
                                           DesktopCase{DesktopKind::Cinnamon,
                                                       "org.cinnamon.desktop.background",
                                                       {"picture-uri"}}),
                         [](const ::testing::TestParamInfo<DesktopCase>& param) {
                             return std::string(DesktopKindName(param.param.kind));
                         });

}  // namespace
}  // namespace tavrino
