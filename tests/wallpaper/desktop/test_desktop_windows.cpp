// The Windows setter's system call (run under Wine by scripts/test-windows): the wallpaper is
// stored in the user's profile, and a file Windows cannot use is reported, not taken as done.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/TestSupport.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {
namespace {

std::string StoredWallpaper() {
    char buffer[MAX_PATH * 2] = {};
    DWORD size = sizeof buffer - 1;
    return RegGetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "Wallpaper", RRF_RT_REG_SZ,
                        nullptr, buffer, &size) == ERROR_SUCCESS
               ? std::string(buffer)
               : "<no value>";
}

TEST(WindowsDesktopSetter, TheWallpaperIsStoredOrTheRefusalReported) {
    test::TempFolder folder;
    const std::string bitmap = (folder / "Tavrino Wallpaper.bmp").string();
    // One red pixel: file header, info header (1 x 1, 24 bits), one padded row.
    test::WriteBytes(bitmap, std::string("BM\x3A\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x01\0\0\0\x01\0"
                                         "\0\0\x01\0\x18\0\0\0\0\0\x04\0\0\0",
                                         38) +
                                 std::string(16, '\0') + std::string("\0\0\xFF\0", 4));
    auto setter = MakeWindowsDesktopSetter();
    ASSERT_NO_THROW(setter->SetBackground(bitmap, Placement::Centred));
    EXPECT_EQ(StoredWallpaper(), bitmap);
    const std::string missing = "Z:\\no\\such\\folder\\TavrinoWallpaperManager.bmp";
    try {
        setter->SetBackground(missing, Placement::Tiled);
        EXPECT_EQ(StoredWallpaper(), missing) << "some Windows versions store any name";
    } catch (const Error& error) {
        EXPECT_EQ(error.Number(), errnum::DesktopRefused);
        EXPECT_EQ(StoredWallpaper(), bitmap);
    }
}

}  // namespace
}  // namespace tavrino
