// Desktop detection, placement and the quoting rules of the desktops' interfaces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/errors/Errors.h"
#include "wallpaper/desktop/DesktopCommands.h"
#include "wallpaper/desktop/DesktopKind.h"
#include "wallpaper/desktop/Placement.h"

namespace tavrino {
namespace {

struct DetectCase {
    const char* what;
    Environment environment;
    DesktopKind expected;
};

class DetectDesktopTest : public ::testing::TestWithParam<DetectCase> {};

TEST_P(DetectDesktopTest, FindsTheDesktop) {
    const DetectCase& c = GetParam();
    EXPECT_EQ(DesktopKindName(DetectDesktop(c.environment)),
              std::string(DesktopKindName(c.expected)))
        << c.what;
}

#ifndef _WIN32
INSTANTIATE_TEST_SUITE_P(
    Sessions, DetectDesktopTest,
    ::testing::Values(
        DetectCase{"GNOME on Wayland",
                   {{"XDG_CURRENT_DESKTOP", "GNOME"}, {"WAYLAND_DISPLAY", "wayland-0"}},
                   DesktopKind::Gnome},
        DetectCase{"Ubuntu's list", {{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}}, DesktopKind::Gnome},
        DetectCase{
            "Budgie before GNOME", {{"XDG_CURRENT_DESKTOP", "Budgie:GNOME"}}, DesktopKind::Gnome},
        DetectCase{"Unity", {{"XDG_CURRENT_DESKTOP", "Unity"}}, DesktopKind::Gnome},
        DetectCase{"Cinnamon", {{"XDG_CURRENT_DESKTOP", "X-Cinnamon"}}, DesktopKind::Cinnamon},
        DetectCase{"MATE", {{"XDG_CURRENT_DESKTOP", "MATE"}, {"DISPLAY", ":0"}}, DesktopKind::Mate},
        DetectCase{
            "Plasma", {{"XDG_CURRENT_DESKTOP", "KDE"}, {"DISPLAY", ":0"}}, DesktopKind::Plasma},
        DetectCase{"XFCE", {{"XDG_CURRENT_DESKTOP", "XFCE"}}, DesktopKind::Xfce},
        DetectCase{"LXQt", {{"XDG_CURRENT_DESKTOP", "LXQt"}}, DesktopKind::Lxqt},
        DetectCase{"LXDE", {{"XDG_CURRENT_DESKTOP", "LXDE"}}, DesktopKind::Lxde},
        DetectCase{"sway by name", {{"XDG_CURRENT_DESKTOP", "sway"}}, DesktopKind::Sway},
        DetectCase{"unknown list entry, then a known one",
                   {{"XDG_CURRENT_DESKTOP", "Foo:XFCE"}},
                   DesktopKind::Xfce},
        DetectCase{"letter case ignored", {{"XDG_CURRENT_DESKTOP", "gnome"}}, DesktopKind::Gnome},
        DetectCase{"session name only",
                   {{"DESKTOP_SESSION", "plasma"}, {"DISPLAY", ":0"}},
                   DesktopKind::Plasma},
        DetectCase{"session given as a path",
                   {{"DESKTOP_SESSION", "/usr/share/xsessions/xfce"}},
                   DesktopKind::Xfce},
        DetectCase{"list wins over session",
                   {{"XDG_CURRENT_DESKTOP", "MATE"}, {"DESKTOP_SESSION", "gnome"}},
                   DesktopKind::Mate},
        DetectCase{"sway socket only",
                   {{"SWAYSOCK", "/run/user/1/sway.sock"}, {"WAYLAND_DISPLAY", "wayland-1"}},
                   DesktopKind::Sway},
        DetectCase{"unknown compositor with Xwayland",
                   {{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":1"}},
                   DesktopKind::Unknown},
        DetectCase{"plain X11 window manager",
                   {{"DISPLAY", ":0"}, {"DESKTOP_SESSION", "openbox"}},
                   DesktopKind::X11Root},
        DetectCase{"blank values do not count",
                   {{"XDG_CURRENT_DESKTOP", " "}, {"DISPLAY", ":0"}},
                   DesktopKind::X11Root},
        DetectCase{"no session at all", {}, DesktopKind::Unknown},
        DetectCase{"override wins",
                   {{"TAVRINO_DESKTOP", "x11"}, {"XDG_CURRENT_DESKTOP", "GNOME"}},
                   DesktopKind::X11Root},
        DetectCase{"override alias, any case",
                   {{"TAVRINO_DESKTOP", "KDE"}, {"DISPLAY", ":0"}},
                   DesktopKind::Plasma},
        DetectCase{"override nonsense ignored",
                   {{"TAVRINO_DESKTOP", "amiga"}, {"XDG_CURRENT_DESKTOP", "LXQt"}},
                   DesktopKind::Lxqt}));
#else
INSTANTIATE_TEST_SUITE_P(Sessions, DetectDesktopTest,
                         ::testing::Values(DetectCase{"Windows whatever the variables say",
                                                      {{"XDG_CURRENT_DESKTOP", "GNOME"}},
                                                      DesktopKind::Windows},
                                           DetectCase{"no variables", {}, DesktopKind::Windows},
                                           DetectCase{"override still wins",
                                                      {{"TAVRINO_DESKTOP", "x11"}},
                                                      DesktopKind::X11Root}));
#endif

TEST(DesktopKindNames, RoundTripThroughTheOverrideVariable) {
    for (const DesktopKind kind :
         {DesktopKind::Windows, DesktopKind::Gnome, DesktopKind::Cinnamon, DesktopKind::Mate,
          DesktopKind::Plasma, DesktopKind::Xfce, DesktopKind::Lxqt, DesktopKind::Lxde,
          DesktopKind::Sway, DesktopKind::X11Root, DesktopKind::Unknown}) {
        const auto parsed = DesktopKindFromName(DesktopKindName(kind));
        ASSERT_TRUE(parsed.has_value()) << DesktopKindName(kind);
        EXPECT_EQ(*parsed, kind) << DesktopKindName(kind);
    }
}

struct PlacementCase {
    const char* tile;
    const char* style;
    Placement expected;
};

class PlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PlacementTest, ReadsTheStyleValuesLikeWindows) {
    const PlacementCase& c = GetParam();
    EXPECT_EQ(PlacementName(PlacementFromStyleValues(c.tile, c.style)),
              std::string(PlacementName(c.expected)))
        << "TileWallpaper=" << c.tile << " WallpaperStyle=" << c.style;
}

INSTANTIATE_TEST_SUITE_P(Values, PlacementTest,
                         ::testing::Values(PlacementCase{"1", "0", Placement::Tiled},
                                           PlacementCase{"1", "2", Placement::Tiled},
                                           PlacementCase{"0", "2", Placement::Stretched},
                                           PlacementCase{"", "2", Placement::Stretched},
                                           PlacementCase{"0", "0", Placement::Centred},
                                           PlacementCase{"0", "6", Placement::Centred},
                                           PlacementCase{"", "", Placement::Centred},
                                           PlacementCase{"D", "D", Placement::Centred},
                                           PlacementCase{"10", "0", Placement::Tiled}));

TEST(DesktopWords, EachDesktopNamesThePlacementItsOwnWay) {
    struct Row {
        Placement placement;
        const char* gsettings;
        int plasma;
        int xfce;
        const char* sway;
    };
    for (const Row& row : {Row{Placement::Tiled, "wallpaper", 3, 2, "tile"},
                           Row{Placement::Stretched, "stretched", 0, 3, "stretch"},
                           Row{Placement::Centred, "centered", 6, 1, "center"}}) {
        SCOPED_TRACE(PlacementName(row.placement));
        EXPECT_STREQ(GSettingsPictureOptions(row.placement), row.gsettings);
        EXPECT_EQ(PlasmaFillMode(row.placement), row.plasma);
        EXPECT_EQ(XfceImageStyle(row.placement), row.xfce);
        EXPECT_STREQ(SwayMode(row.placement), row.sway);
        EXPECT_STREQ(PcmanfmMode(row.placement), row.sway);
    }
}

TEST(FileUri, EscapesEverythingButPlainPathCharacters) {
    EXPECT_EQ(FileUri("/home/ann/.local/share/t/TavrinoWallpaperManager-12.bmp"),
              "file:///home/ann/.local/share/t/TavrinoWallpaperManager-12.bmp");
    EXPECT_EQ(FileUri("/a b/c'd\"e%f#g?h"), "file:///a%20b/c%27d%22e%25f%23g%3Fh");
    EXPECT_EQ(FileUri("/bilder/\xC3\xA4.bmp"), "file:///bilder/%C3%A4.bmp");
}

struct GVariantCase {
    std::string value;
    std::string literal;
};

class GVariantTest : public ::testing::TestWithParam<GVariantCase> {};

TEST_P(GVariantTest, QuotesAndReadsBack) {
    const GVariantCase& c = GetParam();
    EXPECT_EQ(GVariantStringLiteral(c.value), c.literal);
    const auto back = ParseGVariantString(c.literal + "\n");
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, c.value);
}

INSTANTIATE_TEST_SUITE_P(Strings, GVariantTest,
                         ::testing::Values(GVariantCase{"file:///a/b.bmp", "'file:///a/b.bmp'"},
                                           GVariantCase{"", "''"}, GVariantCase{"it's", "'it\\'s'"},
                                           GVariantCase{"back\\slash", "'back\\\\slash'"},
                                           GVariantCase{"tab\there", "'tab\\u0009here'"},
                                           GVariantCase{"\xC3\xA4rger", "'\xC3\xA4rger'"}));

TEST(ParseGVariantString, ReadsWhatGsettingsPrints) {
    // gsettings switches to double quotes for strings holding a single quote.
    EXPECT_EQ(ParseGVariantString("\"it's\"\n").value_or("?"), "it's");
    EXPECT_EQ(ParseGVariantString("'a\\u00e4b'").value_or("?"),
              "a\xC3\xA4"
              "b");
    EXPECT_EQ(ParseGVariantString("'x\\ny'").value_or("?"), "x\ny");
    for (const char* broken : {"", "'", "plain", "'open", "'a'b'", "'bad\\u12'", "'bad\\uzzzz'",
                               "'end\\'", "@ms nothing", "uint32 5"}) {
        EXPECT_FALSE(ParseGVariantString(broken).has_value()) << broken;
    }
}

TEST(JsStringLiteral, KeepsTheScriptInOnePiece) {
    EXPECT_EQ(JsStringLiteral("file:///a/b.bmp"), "\"file:///a/b.bmp\"");
    EXPECT_EQ(JsStringLiteral("\"); evil(); (\""),
              "\"\\u0022\\u0029\\u003B evil\\u0028\\u0029\\u003B \\u0028\\u0022\"");
    EXPECT_EQ(JsStringLiteral("a\\b\nc'd"), "\"a\\u005Cb\\u000Ac\\u0027d\"");
    EXPECT_EQ(JsStringLiteral("\xE2\x80\xA8"), "\"\\u2028\"");  // a line break to JavaScript
    EXPECT_EQ(JsStringLiteral("\xF0\x9F\x98\x80"), "\"\\uD83D\\uDE00\"");  // outside the BMP
    EXPECT_EQ(JsStringLiteral("\xFF"), "\"\\uFFFD\"");                     // not UTF-8 at all
    EXPECT_EQ(JsStringLiteral("\xC0\xAF"), "\"\\uFFFD\\uFFFD\"");          // overlong '/'
}

TEST(PlasmaWallpaperScript, SetsImageAndFillModeOnEveryDesktop) {
    const std::string script = PlasmaWallpaperScript("file:///x/y%20z.bmp", Placement::Tiled);
    EXPECT_NE(script.find("desktops()"), std::string::npos);
    EXPECT_NE(script.find("var image = \"file:///x/y%20z.bmp\";"), std::string::npos);
    EXPECT_NE(script.find("var fillMode = 3;"), std::string::npos);
    EXPECT_NE(script.find("\"org.kde.image\""), std::string::npos);
    EXPECT_NE(script.find("writeConfig(\"Image\", image)"), std::string::npos);
    EXPECT_NE(script.find("writeConfig(\"FillMode\", fillMode)"), std::string::npos);
}

TEST(XfceProperties, PicksEveryLastImageOfEveryMonitorAndWorkspace) {
    const std::string listing =
        "/backdrop/screen0/monitor0/image-path\n"
        "/backdrop/screen0/monitorHDMI-1/workspace0/color-style\n"
        "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n"
        "/backdrop/screen0/monitorHDMI-1/workspace1/last-image\r\n"
        "/backdrop/screen1/monitoreDP-1/workspace0/last-image\n"
        "/backdrop/screen0/monitorHDMI-1/workspace0/last-image-extra\n"
        "/desktop-icons/style\n"
        "/backdrop/screen0/monitor/workspace0/last-image\n";
    EXPECT_EQ(XfceLastImageProperties(listing),
              (std::vector<std::string>{"/backdrop/screen0/monitorHDMI-1/workspace0/last-image",
                                        "/backdrop/screen0/monitorHDMI-1/workspace1/last-image",
                                        "/backdrop/screen1/monitoreDP-1/workspace0/last-image"}));
    EXPECT_TRUE(XfceLastImageProperties("").empty());
    EXPECT_EQ(XfceLastImageProperty("DP-2", 3),
              "/backdrop/screen0/monitorDP-2/workspace3/last-image");
    EXPECT_EQ(XfceImageStyleProperty("/backdrop/screen0/monitorDP-2/workspace3/last-image"),
              "/backdrop/screen0/monitorDP-2/workspace3/image-style");
}

TEST(SwayBackgroundCommand, EscapesEverythingWordexpWouldExpand) {
    EXPECT_EQ(SwayBackgroundCommand("/home/a/TavrinoWallpaperManager.bmp", Placement::Centred),
              "output * bg /home/a/TavrinoWallpaperManager.bmp center");
    EXPECT_EQ(SwayBackgroundCommand("/x y/$(id)`id`;*'\"\\,#~.bmp", Placement::Stretched),
              "output * bg /x\\ y/\\$\\(id\\)\\`id\\`\\;\\*\\'\\\"\\\\\\,\\#\\~.bmp stretch");
    EXPECT_EQ(SwayBackgroundCommand("/b\xC3\xA4.bmp", Placement::Tiled),
              "output * bg /b\xC3\xA4.bmp tile");
    try {
        (void)SwayBackgroundCommand("/a\nexit", Placement::Tiled);
        FAIL() << "a newline must not reach sway";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), errnum::DesktopRefused);
    }
}

}  // namespace
}  // namespace tavrino
