// The Windows setter's system call (run under Wine by scripts/test-windows): the wallpaper is
// stored in the user's profile, and a file Windows cannot use is reported, not taken as done.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/errors/Errors.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {
namespace {

std::string StoredWallpaper() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return "<no key>";
    }
    char buffer[MAX_PATH * 2] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    const LONG status =
        RegQueryValueExA(key, "Wallpaper", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? std::string(buffer) : "<no value>";
}

// A 2 x 2 24-bit bitmap.
void WriteBitmap(const std::filesystem::path& file) {
    const unsigned char bytes[] = {
        'B', 'M', 70,  0, 0,   0, 0, 0, 0,   0, 54, 0,   0,   0,  // file header
        40,  0,   0,   0, 2,   0, 0, 0, 2,   0, 0,  0,   1,   0,   24, 0,
        0,   0,   0,   0, 16,  0, 0, 0,                                     // info header
        0,   0,   0,   0, 0,   0, 0, 0, 0,   0, 0,  0,   0,   0,   0,  0,   // resolution, colours
        0,   0,   255, 0, 255, 0, 0, 0, 255, 0, 0,  255, 255, 255, 0,  0};  // two padded rows
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

TEST(WindowsDesktopSetter, TheWallpaperIsStoredInTheUsersProfile) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "tavrino desktop test";
    std::filesystem::create_directories(folder);
    const std::filesystem::path bitmap = folder / "TavrinoWallpaperManager.bmp";
    WriteBitmap(bitmap);
    auto setter = MakeWindowsDesktopSetter();
    ASSERT_NO_THROW(setter->SetBackground(bitmap.string(), Placement::Centred));
    EXPECT_EQ(StoredWallpaper(), bitmap.string());
    std::filesystem::remove_all(folder);
}

TEST(WindowsDesktopSetter, AFileWindowsCannotUseIsReported) {
    auto setter = MakeWindowsDesktopSetter();
    const std::string before = StoredWallpaper();
    try {
        setter->SetBackground("Z:\\no\\such\\folder\\TavrinoWallpaperManager.bmp",
                              Placement::Tiled);
        // Some Windows versions store any name; then it must at least be what was asked for.
        EXPECT_EQ(StoredWallpaper(), "Z:\\no\\such\\folder\\TavrinoWallpaperManager.bmp");
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), errnum::DesktopRefused);
        EXPECT_EQ(StoredWallpaper(), before);
    }
}

}  // namespace
}  // namespace tavrino
