// GNOME, and the desktops built on its settings (Unity, Budgie, Pantheon). Both the light and
// the dark style's picture are set, or GNOME 42+ keeps the old picture in dark mode.
#include "wallpaper/desktop/GSettingsDesktopSetter.h"

namespace tavrino {

std::unique_ptr<DesktopSetter> MakeGnomeDesktopSetter(const Environment& environment) {
    GSettingsWallpaperKeys keys;
    keys.desktopName = "GNOME";
    keys.schema = "org.gnome.desktop.background";
    keys.uriKeys = {"picture-uri", "picture-uri-dark"};
    return std::make_unique<GSettingsDesktopSetter>(std::move(keys), environment);
}

}  // namespace tavrino
