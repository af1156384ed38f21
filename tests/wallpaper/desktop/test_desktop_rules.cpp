// Desktop detection, the placement the style values ask for, and the quoting rules of the
// desktops' interfaces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/errors/Errors.h"
#include "wallpaper/desktop/DesktopCommands.h"
#include "wallpaper/desktop/DesktopKind.h"
#include "wallpaper/desktop/Placement.h"

namespace tavrino {
namespace {

using K = DesktopKind;

TEST(DesktopRules, DetectsTheDesktopFromTheSessionsVariables) {
    // clang-format off
    const std::pair<Environment, K> cases[] = {
        {{{"TAVRINO_DESKTOP", "x11"}, {"XDG_CURRENT_DESKTOP", "GNOME"}}, K::X11Root},  // the override wins
#ifdef _WIN32
        {{{"XDG_CURRENT_DESKTOP", "GNOME"}}, K::Windows},
        {{}, K::Windows},
#else
        {{{"XDG_CURRENT_DESKTOP", "GNOME"}, {"WAYLAND_DISPLAY", "wayland-0"}}, K::Gnome},
        {{{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}}, K::Gnome},
        {{{"XDG_CURRENT_DESKTOP", "Budgie:GNOME"}}, K::Gnome},
        {{{"XDG_CURRENT_DESKTOP", "Unity"}}, K::Gnome},
        {{{"XDG_CURRENT_DESKTOP", "gnome"}}, K::Gnome},
        {{{"XDG_CURRENT_DESKTOP", "X-Cinnamon"}}, K::Cinnamon},
        {{{"XDG_CURRENT_DESKTOP", "MATE"}, {"DISPLAY", ":0"}}, K::Mate},
        {{{"XDG_CURRENT_DESKTOP", "KDE"}, {"DISPLAY", ":0"}}, K::Plasma},
        {{{"XDG_CURRENT_DESKTOP", "XFCE"}}, K::Xfce},
        {{{"XDG_CURRENT_DESKTOP", "LXQt"}}, K::Lxqt},
        {{{"XDG_CURRENT_DESKTOP", "LXDE"}}, K::Lxde},
        {{{"XDG_CURRENT_DESKTOP", "sway"}}, K::Sway},
        {{{"XDG_CURRENT_DESKTOP", "Foo:XFCE"}}, K::Xfce},
        {{{"DESKTOP_SESSION", "plasma"}, {"DISPLAY", ":0"}}, K::Plasma},
        {{{"DESKTOP_SESSION", "/usr/share/xsessions/xfce"}}, K::Xfce},
        {{{"XDG_CURRENT_DESKTOP", "MATE"}, {"DESKTOP_SESSION", "gnome"}}, K::Mate},
        {{{"SWAYSOCK", "/run/user/1/sway.sock"}, {"WAYLAND_DISPLAY", "wayland-1"}}, K::Sway},
        {{{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":1"}}, K::Unknown},
        {{{"DISPLAY", ":0"}, {"DESKTOP_SESSION", "openbox"}}, K::X11Root},
        {{{"XDG_CURRENT_DESKTOP", " "}, {"DISPLAY", ":0"}}, K::X11Root},
        {{}, K::Unknown},
        {{{"TAVRINO_DESKTOP", "KDE"}, {"DISPLAY", ":0"}}, K::Plasma},
        {{{"TAVRINO_DESKTOP", "amiga"}, {"XDG_CURRENT_DESKTOP", "LXQt"}}, K::Lxqt},
#endif
    };
    // clang-format on
    for (const auto& [environment, kind] : cases) {
        std::string variables;
        for (const auto& [name, value] : environment) {
            variables += name + "=" + value + " ";
        }
        EXPECT_STREQ(DesktopKindName(DetectDesktop(environment)), DesktopKindName(kind))
            << variables;
    }
    for (const K kind : {K::Windows, K::Gnome, K::Cinnamon, K::Mate, K::Plasma, K::Xfce, K::Lxqt,
                         K::Lxde, K::Sway, K::X11Root, K::Unknown}) {
        EXPECT_EQ(DesktopKindFromName(DesktopKindName(kind)), kind) << DesktopKindName(kind);
    }
}

TEST(DesktopRules, TheStyleValuesDecideThePlacementLikeWindows) {
    // clang-format off
    const std::tuple<const char*, const char*, Placement> cases[] = {
        {"1", "0", Placement::Tiled}, {"1", "2", Placement::Tiled}, {"10", "0", Placement::Tiled},
        {"0", "2", Placement::Stretched}, {"", "2", Placement::Stretched},
        {"0", "0", Placement::Centred}, {"0", "6", Placement::Centred}, {"", "", Placement::Centred},
        {"D", "D", Placement::Centred},
    };
    // clang-format on
    for (const auto& [tile, style, placement] : cases) {
        EXPECT_STREQ(PlacementName(PlacementFromStyleValues(tile, style)), PlacementName(placement))
            << "TileWallpaper=" << tile << " WallpaperStyle=" << style;
    }
}

TEST(DesktopRules, TextsForTheDesktopsCarryEveryByteAsItIs) {
    EXPECT_EQ(FileUri("/a b/c'd\"e%f#g?h/\xC3\xA4.bmp"),
              "file:///a%20b/c%27d%22e%25f%23g%3Fh/%C3%A4.bmp");
    // clang-format off
    const std::pair<std::string, std::string> js[] = {
        {"file:///a/b.bmp", "\"file:///a/b.bmp\""},
        {"\"); evil(); (\"", "\"\\u0022\\u0029\\u003B evil\\u0028\\u0029\\u003B \\u0028\\u0022\""},
        {"a\\b\nc'd", "\"a\\u005Cb\\u000Ac\\u0027d\""},
        {"\xE2\x80\xA8", "\"\\u2028\""},                // a line break to JavaScript
        {"\xF0\x9F\x98\x80", "\"\\uD83D\\uDE00\""},     // outside the BMP
        {"\xFF", "\"\\uFFFD\""},                        // not UTF-8 at all
        {"\xC0\xAF", "\"\\uFFFD\\uFFFD\""},             // an overlong '/'
    };
    const std::pair<std::string, std::string> sway[] = {
        {"/home/a/TavrinoWallpaperManager.bmp", "output * bg /home/a/TavrinoWallpaperManager.bmp stretch"},
        {"/x y/$(id)`id`;*'\"\\,#~.bmp", "output * bg /x\\ y/\\$\\(id\\)\\`id\\`\\;\\*\\'\\\"\\\\\\,\\#\\~.bmp stretch"},
        {"/b\xC3\xA4.bmp", "output * bg /b\xC3\xA4.bmp stretch"},
        {"/a\nexit", "refused: a newline must not reach sway"},
    };
    // clang-format on
    for (const auto& [text, literal] : js) {
        EXPECT_EQ(JsStringLiteral(text), literal);
    }
    for (const auto& [path, command] : sway) {
        try {
            EXPECT_EQ(SwayBackgroundCommand(path, Placement::Stretched), command);
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), errnum::DesktopRefused);
            EXPECT_EQ(command.substr(0, 8), "refused:") << path;
        }
    }
}

TEST(DesktopRules, XfcePicksEveryLastImageOfEveryMonitorAndWorkspace) {
    const std::string listing =
        "/backdrop/screen0/monitor0/image-path\n"
        "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n"
        "/backdrop/screen0/monitorHDMI-1/workspace1/last-image\r\n"
        "/backdrop/screen1/monitoreDP-1/workspace0/last-image\n"
        "/backdrop/screen0/monitorHDMI-1/workspace0/last-image-extra\n"
        "/backdrop/screen0/monitor/workspace0/last-image\n";
    EXPECT_EQ(XfceLastImageProperties(listing),
              (std::vector<std::string>{"/backdrop/screen0/monitorHDMI-1/workspace0/last-image",
                                        "/backdrop/screen0/monitorHDMI-1/workspace1/last-image",
                                        "/backdrop/screen1/monitoreDP-1/workspace0/last-image"}));
    EXPECT_EQ(XfceImageStyleProperty(XfceLastImageProperty("DP-2", 3)),
              "/backdrop/screen0/monitorDP-2/workspace3/image-style");
}

}  // namespace
}  // namespace tavrino
