// Which desktop is running, worked out from the session's environment, so the wallpaper is
// handed over the way that desktop itself stores it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tavrino {

// The session's environment variables. Passed in rather than read globally so callers
// (and tests) decide what the detection sees.
using Environment = std::map<std::string, std::string>;

enum class DesktopKind {
    Windows,
    Gnome,     // GNOME, Unity, Budgie, Pantheon: org.gnome.desktop.background
    Cinnamon,  // org.cinnamon.desktop.background
    Mate,      // org.mate.background
    Plasma,    // KDE Plasma 5 and 6, through plasmashell's scripting interface
    Xfce,      // xfdesktop's xfconf channel
    Lxqt,      // pcmanfm-qt
    Lxde,      // pcmanfm
    Sway,      // sway and its IPC socket
    X11Root,   // any other X11 session: the root window itself
    Unknown,   // nothing we know how to talk to (for example an unknown Wayland compositor)
};

// Stable lower-case name, also the value TAVRINO_DESKTOP accepts.
const char* DesktopKindName(DesktopKind kind);

// Parses a name as DesktopKindName gives it (and a few common aliases), any letter case.
std::optional<DesktopKind> DesktopKindFromName(std::string_view name);

// The environment variable that forces a desktop, for sessions the detection gets wrong.
inline constexpr const char* kDesktopOverrideVariable = "TAVRINO_DESKTOP";

// Detection order: TAVRINO_DESKTOP, then (on Windows) Windows, then each entry of
// XDG_CURRENT_DESKTOP, then DESKTOP_SESSION, then SWAYSOCK, then a bare WAYLAND_DISPLAY
// (Unknown: an X11 root background would be invisible there), then DISPLAY (X11Root).
DesktopKind DetectDesktop(const Environment& environment);

// What DetectDesktop finds when nothing is forced: Windows on Windows (DesktopKind_win.cpp),
// SessionDesktop elsewhere (DesktopKind_posix.cpp).
DesktopKind PlatformDesktop(const Environment& environment);

// The desktop the X11 or Wayland session's variables name, from XDG_CURRENT_DESKTOP on.
DesktopKind SessionDesktop(const Environment& environment);

}  // namespace tavrino
