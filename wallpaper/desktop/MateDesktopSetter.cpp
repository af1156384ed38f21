// MATE stores a plain file name rather than a URI.
#include "wallpaper/desktop/GSettingsDesktopSetter.h"

namespace tavrino {

std::unique_ptr<DesktopSetter> MakeMateDesktopSetter(const Environment& environment) {
    GSettingsWallpaperKeys keys;
    keys.desktopName = "MATE";
    keys.schema = "org.mate.background";
    keys.pathKey = "picture-filename";
    return std::make_unique<GSettingsDesktopSetter>(std::move(keys), environment);
}

}  // namespace tavrino
