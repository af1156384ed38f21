// How the wallpaper bitmap sits on the desktop, and the desktop style values that choose it.
#pragma once

#include <string_view>

namespace tavrino {

enum class Placement { Tiled, Stretched, Centred };

const char* PlacementName(Placement placement);

// Reads the desktop's "TileWallpaper" and "WallpaperStyle" values the way Windows does for
// the styles this program writes: TileWallpaper starting with "1" tiles, otherwise
// WallpaperStyle starting with "2" stretches, anything else (another style, an empty or
// missing value) centres.
Placement PlacementFromStyleValues(std::string_view tileWallpaper, std::string_view wallpaperStyle);

}  // namespace tavrino
