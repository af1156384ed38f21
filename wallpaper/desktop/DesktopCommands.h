// The texts the desktops' own interfaces expect: quoting for gsettings, JavaScript for
// plasmashell, sway commands, xfconf property names, and each desktop's words for a placement.
// Kept free of any process or window code so the quoting rules can be checked on their own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "wallpaper/desktop/Placement.h"

namespace tavrino {

// "file://" followed by the path with every byte other than A-Z a-z 0-9 - . _ ~ / written as
// %XX, so the URI carries no character that needs quoting anywhere else.
std::string FileUri(std::string_view absolutePath);

// A GVariant text-format string literal ('...') for `gsettings set`.
std::string GVariantStringLiteral(std::string_view utf8);

// org.gnome / org.cinnamon / org.mate picture-options.
const char* GSettingsPictureOptions(Placement placement);

// A JavaScript string literal in double quotes that is plain ASCII: quotes, backslashes,
// control characters, line separators and everything outside ASCII become \uXXXX.
std::string JsStringLiteral(std::string_view utf8);

// Plasma's FillMode: 0 stretched, 3 tiled, 6 centred.
int PlasmaFillMode(Placement placement);

// The plasmashell script that puts the image on every desktop (every screen and activity).
std::string PlasmaWallpaperScript(std::string_view imageUrl, Placement placement);

// xfdesktop's image-style: 1 centred, 2 tiled, 3 stretched.
int XfceImageStyle(Placement placement);

// The ".../last-image" properties in the output of `xfconf-query -c xfce4-desktop -l`.
std::vector<std::string> XfceLastImageProperties(std::string_view listing);

// "/backdrop/screen0/monitor<name>/workspace<n>/last-image" for a monitor with no properties.
std::string XfceLastImageProperty(std::string_view monitorName, int workspace);

// The "image-style" property next to a "last-image" one.
std::string XfceImageStyleProperty(std::string_view lastImageProperty);

// sway's word for a placement: "tile", "stretch", "center".
const char* SwayMode(Placement placement);

// "output * bg <path> <mode>". sway splits the command on blanks and then runs the path
// through wordexp(3), which would expand $(...) and `...`: every ASCII character other than
// letters, digits and / . _ - is therefore escaped with a backslash. Throws
// tavrino::Error(DesktopRefused) for a path with control characters, which cannot be escaped.
std::string SwayBackgroundCommand(std::string_view path, Placement placement);

// pcmanfm and pcmanfm-qt --wallpaper-mode: "tile", "stretch", "center".
const char* PcmanfmMode(Placement placement);

}  // namespace tavrino
