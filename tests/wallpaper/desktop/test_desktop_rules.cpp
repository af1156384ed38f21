// Desktop detection, the placement the style values ask for, the quoting rules of the desktops'
// interfaces, and the per-change file names handed to desktops that cache by name.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "common/TestSupport.h"
#include "support/errors/Errors.h"
#include "wallpaper/desktop/ChangeFileNames.h"
#include "wallpaper/desktop/DesktopCommands.h"
#include "wallpaper/desktop/DesktopKind.h"

namespace fs = std::filesystem;

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
}

TEST(DesktopRules, TheStyleValuesDecideThePlacementLikeWindows) {
    // clang-format off
    const std::tuple<const char*, const char*, Placement> cases[] = {
        {"1", "0", Placement::Tiled},
        {"1", "2", Placement::Tiled},
        {"10", "0", Placement::Tiled},
        {"0", "2", Placement::Stretched},
        {"", "2", Placement::Stretched},
        {"0", "0", Placement::Centred},
        {"0", "6", Placement::Centred},
        {"", "", Placement::Centred},
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
    const std::pair<std::string, std::string> gvariant[] = {
        {"file:///a/b.bmp", "'file:///a/b.bmp'"},
        {"", "''"},
        {"it's", "'it\\'s'"},
        {"back\\slash", "'back\\\\slash'"},
        {"tab\there", "'tab\\u0009here'"},
        {"\xC3\xA4rger", "'\xC3\xA4rger'"},
    };
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
        {"/x y/$(id)`id`;*'\"\\,#~.bmp", "output * bg /x\\ y/\\$\\(id\\)\\`id\\`\\;\\*\\'\\\"\\\\\\,\\#\\~.bmp stretch"},
        {"/b\xC3\xA4.bmp", "output * bg /b\xC3\xA4.bmp stretch"},
        {"/a\nexit", "refused: a newline must not reach sway"},
    };
    // clang-format on
    for (const auto& [text, literal] : gvariant) {
        EXPECT_EQ(GVariantStringLiteral(text), literal);
    }
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
    EXPECT_EQ(
        XfceLastImageProperties("/backdrop/screen0/monitor0/image-path\n"
                                "/backdrop/screen0/monitorHDMI-1/workspace1/last-image\r\n"
                                "/backdrop/screen0/monitorHDMI-1/workspace0/last-image-extra\n"),
        std::vector<std::string>{"/backdrop/screen0/monitorHDMI-1/workspace1/last-image"});
    EXPECT_EQ(XfceImageStyleProperty(XfceLastImageProperty("DP-2", 3)),
              "/backdrop/screen0/monitorDP-2/workspace3/image-style");
}

// The per-change names beside the composed file: a new one for each change, the shown one
// removed only once the desktop took the next, other files never touched.
TEST(ChangeFileNames, EachChangeGetsANewNameAndThePreviousGoesOnlyAfterSuccess) {
    test::TempFolder folder;
    const fs::path composed = folder / "TavrinoWallpaperManager.bmp";
    std::set<std::string> expected = {"TavrinoWallpaperManager-x.bmp",
                                      "TavrinoWallpaperManager-12.png",
                                      "images.idx",
                                      "TavrinoWallpaperManager-.bmp",
                                      "Other-12.bmp",
                                      "TavrinoWallpaperManager.bmp"};
    for (const std::string& name : expected) {
        test::WriteBytes(folder / name, "keep");
    }
    test::WriteBytes(folder / "TavrinoWallpaperManager-17.bmp", "left by an earlier run");
    const auto compose = [&](const char* text) {  // as the composer does: renamed over the old
        test::WriteBytes(folder / "new.tmp", text);
        fs::rename(folder / "new.tmp", composed);
    };
    const auto files = [&] {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.Path())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    };
    compose("first picture");
    ChangeFileNames names(composed);
    const fs::path first = names.Prepare();
    names.Commit(first);
    compose("second picture");
    const fs::path second = names.Prepare();
    EXPECT_EQ(test::ReadBytes(first), "first picture");
    EXPECT_EQ(test::ReadBytes(second), "second picture");
    names.Discard(second);  // refused: the desktop still shows the first
    expected.insert(first.filename().string());
    EXPECT_EQ(files(), expected);
    const fs::path third = names.Prepare();
    names.Commit(third);
    expected.erase(first.filename().string());
    expected.insert(third.filename().string());
    EXPECT_EQ(files(), expected);
    // Distinct within a millisecond and across runs; never an empty name.
    std::set<fs::path> seen{first, second, third};
    for (int i = 0; i < 50; ++i) {
        EXPECT_TRUE(seen.insert(names.Prepare()).second);
    }
    EXPECT_TRUE(seen.insert(ChangeFileNames(composed).Prepare()).second);
    fs::remove(composed);
    EXPECT_THROW((void)names.Prepare(), fs::filesystem_error);
    // clang-format off
    const std::pair<const char*, bool> cases[] = {
        {"/d/TavrinoWallpaperManager-1.bmp", true},
        {"TavrinoWallpaperManager-1733490000123.bmp", true},
        {"/d/TavrinoWallpaperManager.bmp", false},
        {"/d/TavrinoWallpaperManager-1a.bmp", false},
        {"/d/TavrinoWallpaperManager-1.bmp.tmp", false},
        {"/d/xTavrinoWallpaperManager-1.bmp", false},
    };
    // clang-format on
    for (const auto& [name, own] : cases) {
        EXPECT_EQ(names.IsChangeFileName(name), own) << name;
    }
}

}  // namespace
}  // namespace tavrino
