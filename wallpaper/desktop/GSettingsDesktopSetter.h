// The desktops that keep their wallpaper in GSettings (GNOME and its relatives, Cinnamon,
// MATE), set through the `gsettings` tool and read back to catch a value that did not stick
// (a locked key, or a session without a writable settings backend).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {

// Reads back what `gsettings get` prints for a string key ('...' or "...", with the escapes
// GVariant uses), by GLib's own parser. Nothing when the text is not a string.
std::optional<std::string> ParseGVariantString(std::string_view printed);

struct GSettingsWallpaperKeys {
    std::string desktopName;
    std::string schema;
    // Keys that take a file:// URI. The first is required; the others are written only when
    // the installed schema has them (picture-uri-dark came with GNOME 42).
    std::vector<std::string> uriKeys;
    // A key that takes the plain path (MATE), or empty.
    std::string pathKey;
    std::string optionsKey = "picture-options";
    bool cachesByFileName = true;
};

class GSettingsDesktopSetter final : public DesktopSetter {
public:
    GSettingsDesktopSetter(GSettingsWallpaperKeys keys, Environment environment);

    [[nodiscard]] std::string Name() const override { return keys_.desktopName; }
    void SetBackground(const std::string& bitmapPath, Placement placement) override;
    [[nodiscard]] bool CachesByFileName() const override { return keys_.cachesByFileName; }

private:
    GSettingsWallpaperKeys keys_;
    Environment environment_;
};

}  // namespace tavrino
