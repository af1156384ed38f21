// Cinnamon keeps its own copy of GNOME's background schema.
#include "wallpaper/desktop/GSettingsDesktopSetter.h"

namespace tavrino {

std::unique_ptr<DesktopSetter> MakeCinnamonDesktopSetter(const Environment& environment) {
    GSettingsWallpaperKeys keys;
    keys.desktopName = "Cinnamon";
    keys.schema = "org.cinnamon.desktop.background";
    keys.uriKeys = {"picture-uri"};
    return std::make_unique<GSettingsDesktopSetter>(std::move(keys), environment);
}

}  // namespace tavrino
