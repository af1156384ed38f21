// GNOME and Cinnamon through the real gsettings tool and dconf on a private bus and home, the
// values read back independently: their shells do not run without a real screen.
#include "tests/wallpaper/desktop/test_desktop_support.h"
#include "wallpaper/desktop/DesktopCommands.h"
#include "wallpaper/desktop/GSettingsDesktopSetter.h"

namespace tavrino {
namespace {

struct Schema {
    DesktopKind kind;
    const char* name;
    QStringList uriKeys;
};

class GSettingsTest : public ::testing::TestWithParam<Schema> {
protected:
    void SetUp() override {
        if (const std::string missing = test::Missing({"gsettings", "dbus-daemon"});
            !missing.empty()) {
            GTEST_SKIP()
                << missing
                << " is not installed (packages libglib2.0-bin, dconf-gsettings-backend, dbus)";
        }
        session_.env["GSETTINGS_BACKEND"] = "dconf";
        if (!session_.Run("gsettings", {"list-keys", QString::fromLatin1(GetParam().name)})) {
            GTEST_SKIP() << "schema " << GetParam().name << " is not installed";
        }
        ASSERT_TRUE(test::QuarteredImage({20, 15}).save(session_.bitmap, "BMP"));
    }
    std::string Get(const QString& key) const {
        const auto out =
            session_.Run("gsettings", {"get", QString::fromLatin1(GetParam().name), key});
        return ParseGVariantString(out.value_or("<gsettings get failed>").toStdString())
            .value_or("<not a string>");
    }

    test::Session session_{QSize{}};
};

TEST_P(GSettingsTest, EveryPlacementIsStoredUnderAFreshNameAndAValueNotKeptIsReported) {
    // clang-format off
    const std::pair<Placement, const char*> cases[] = {
        {Placement::Tiled, "wallpaper"}, {Placement::Stretched, "stretched"}, {Placement::Centred, "centered"}, {Placement::Tiled, "wallpaper"},
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
        EXPECT_EQ(test::ReadBytes(fresh.toStdString()),
                  test::ReadBytes(session_.bitmap.toStdString()));
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

}  // namespace
}  // namespace tavrino
