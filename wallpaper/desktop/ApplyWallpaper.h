// Puts the current display-list image on the desktop: brings the desktop's "TileWallpaper"
// and "WallpaperStyle" values into line with the fit options, composes the wallpaper bitmap
// and hands it to the desktop.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class QWidget;

namespace tavrino {

class ErrorReporter;
class OptionBoxes;
class clsRegEdit;
class DesktopSetter;

class ApplyWallpaper {
public:
    // Composes the wallpaper bitmap from an image path (reports its own problems).
    using ComposeFunction = std::function<void(const std::string& imagePath)>;
    // The main window's CurrentIndex, read when needed.
    using CurrentIndexFunction = std::function<std::int32_t()>;
    // ImagePath of a display-list row ("" for a row out of range).
    using RowPathFunction = std::function<std::string(std::int32_t row)>;

    // registry: set to HKEY_CURRENT_USER "Control Panel\desktop"; only its ValueName is
    // changed here. bitmapPath: the composed file ("TavrinoWallpaperManager.bmp" in the data
    // folder). Every reference must outlive the object. messageParent may be null.
    ApplyWallpaper(ErrorReporter& reporter, const OptionBoxes& options, clsRegEdit& registry,
                   ComposeFunction compose, CurrentIndexFunction currentIndex,
                   RowPathFunction rowPath, DesktopSetter& desktop, std::string bitmapPath,
                   QWidget* messageParent = nullptr);

    // The operation. Errors are reported under location 13 (the remaining steps then do not
    // run); registry problems show "Problem Setting Registry (...)" and it goes on.
    void operator()();

    // The first character the two values hold after the last run ("" when missing).
    [[nodiscard]] const std::string& TileWallpaperSeen() const noexcept { return tileValue_; }
    [[nodiscard]] const std::string& WallpaperStyleSeen() const noexcept { return styleValue_; }

private:
    void Run();
    // Reads ValueName, writes `wanted` when the first character is `replace`; returns the ok
    // flag for the message and leaves the value's first character (after any write) in value.
    bool BringInLine(const char* valueName, bool wantOn, char onText, char offText,
                     std::string& value);

    ErrorReporter& reporter_;
    const OptionBoxes& options_;
    clsRegEdit& registry_;
    ComposeFunction compose_;
    CurrentIndexFunction currentIndex_;
    RowPathFunction rowPath_;
    DesktopSetter& desktop_;
    std::string bitmapPath_;
    QWidget* messageParent_;
    std::string tileValue_;
    std::string styleValue_;
};

}  // namespace tavrino
