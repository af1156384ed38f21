#include "wallpaper/desktop/Placement.h"

namespace tavrino {

const char* PlacementName(Placement placement) {
    switch (placement) {
        case Placement::Tiled:
            return "tiled";
        case Placement::Stretched:
            return "stretched";
        case Placement::Centred:
            break;
    }
    return "centred";
}

Placement PlacementFromStyleValues(std::string_view tileWallpaper,
                                   std::string_view wallpaperStyle) {
    if (!tileWallpaper.empty() && tileWallpaper.front() == '1') {
        return Placement::Tiled;
    }
    if (!wallpaperStyle.empty() && wallpaperStyle.front() == '2') {
        return Placement::Stretched;
    }
    return Placement::Centred;
}

}  // namespace tavrino
