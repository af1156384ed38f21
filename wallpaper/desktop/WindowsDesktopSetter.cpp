// Windows: the system call that stores the wallpaper in the user's profile and tells every
// window about it. Its result is checked: a refused file is reported, never taken as done.
#include <windows.h>

#include <utility>

#include "support/errors/Errors.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {

namespace {

std::string LastErrorText(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = length != 0 && text != nullptr ? std::string(text, length) : std::string();
    if (text != nullptr) {
        LocalFree(text);
    }
    while (!result.empty() &&
           (result.back() == '\n' || result.back() == '\r' || result.back() == ' ')) {
        result.pop_back();
    }
    return result.empty() ? "error " + std::to_string(code) : result;
}

class WindowsDesktopSetter final : public DesktopSetter {
public:
    [[nodiscard]] std::string Name() const override { return "Windows"; }

    // The placement comes from the desktop's TileWallpaper and WallpaperStyle values, which
    // the caller has already written; Windows reads them itself.
    void SetBackground(const std::string& bitmapPath, Placement /*placement*/) override {
        std::string path = bitmapPath;  // the call takes a non-const buffer
        if (SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, path.data(),
                                  SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE) == FALSE) {
            throw Error(errnum::DesktopRefused, "Windows did not take the wallpaper \"" +
                                                    bitmapPath +
                                                    "\": " + LastErrorText(GetLastError()));
        }
    }
};

}  // namespace

std::unique_ptr<DesktopSetter> MakeWindowsDesktopSetter() {
    return std::make_unique<WindowsDesktopSetter>();
}

}  // namespace tavrino
