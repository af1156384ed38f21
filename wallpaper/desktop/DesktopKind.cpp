#include "wallpaper/desktop/DesktopKind.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace tavrino {

namespace {

std::string Lower(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())) != 0) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) {
        text.remove_suffix(1);
    }
    return text;
}

// Names seen in XDG_CURRENT_DESKTOP and DESKTOP_SESSION, lower-cased.
constexpr std::array<std::pair<std::string_view, DesktopKind>, 32> kSessionNames{{
    {"gnome", DesktopKind::Gnome},
    {"gnome-classic", DesktopKind::Gnome},
    {"gnome-xorg", DesktopKind::Gnome},
    {"gnome-flashback", DesktopKind::Gnome},
    {"ubuntu", DesktopKind::Gnome},
    {"ubuntu-xorg", DesktopKind::Gnome},
    {"unity", DesktopKind::Gnome},
    {"budgie", DesktopKind::Gnome},
    {"budgie-desktop", DesktopKind::Gnome},
    {"pantheon", DesktopKind::Gnome},
    {"x-cinnamon", DesktopKind::Cinnamon},
    {"cinnamon", DesktopKind::Cinnamon},
    {"cinnamon2d", DesktopKind::Cinnamon},
    {"mate", DesktopKind::Mate},
    {"kde", DesktopKind::Plasma},
    {"plasma", DesktopKind::Plasma},
    {"plasmawayland", DesktopKind::Plasma},
    {"plasmax11", DesktopKind::Plasma},
    {"kde-plasma", DesktopKind::Plasma},
    {"xfce", DesktopKind::Xfce},
    {"xfce4", DesktopKind::Xfce},
    {"xubuntu", DesktopKind::Xfce},
    {"lxqt", DesktopKind::Lxqt},
    {"lxde", DesktopKind::Lxde},
    {"lubuntu", DesktopKind::Lxde},
    {"sway", DesktopKind::Sway},
    {"x11", DesktopKind::X11Root},
    {"x11root", DesktopKind::X11Root},
    {"windows", DesktopKind::Windows},
    {"gnome-wayland", DesktopKind::Gnome},
    {"ubuntu-wayland", DesktopKind::Gnome},
    {"cinnamon-wayland", DesktopKind::Cinnamon},
}};

std::optional<DesktopKind> FromSessionName(std::string_view name) {
    const std::string lower = Lower(Trimmed(name));
    for (const auto& [known, kind] : kSessionNames) {
        if (lower == known) {
            return kind;
        }
    }
    return std::nullopt;
}

const std::string* Find(const Environment& environment, const char* name) {
    const auto it = environment.find(name);
    if (it == environment.end() || Trimmed(it->second).empty()) {
        return nullptr;
    }
    return &it->second;
}

}  // namespace

const char* DesktopKindName(DesktopKind kind) {
    switch (kind) {
        case DesktopKind::Windows:
            return "windows";
        case DesktopKind::Gnome:
            return "gnome";
        case DesktopKind::Cinnamon:
            return "cinnamon";
        case DesktopKind::Mate:
            return "mate";
        case DesktopKind::Plasma:
            return "plasma";
        case DesktopKind::Xfce:
            return "xfce";
        case DesktopKind::Lxqt:
            return "lxqt";
        case DesktopKind::Lxde:
            return "lxde";
        case DesktopKind::Sway:
            return "sway";
        case DesktopKind::X11Root:
            return "x11";
        case DesktopKind::Unknown:
            break;
    }
    return "unknown";
}

std::optional<DesktopKind> DesktopKindFromName(std::string_view name) {
    if (Lower(Trimmed(name)) == "unknown") {
        return DesktopKind::Unknown;
    }
    return FromSessionName(name);
}

DesktopKind DetectDesktop(const Environment& environment) {
    if (const std::string* forced = Find(environment, kDesktopOverrideVariable)) {
        if (const auto kind = DesktopKindFromName(*forced)) {
            return *kind;
        }
    }
    return PlatformDesktop(environment);
}

DesktopKind SessionDesktop(const Environment& environment) {
    if (const std::string* current = Find(environment, "XDG_CURRENT_DESKTOP")) {
        // A colon-separated list, most specific first ("Budgie:GNOME", "ubuntu:GNOME").
        std::string_view rest = *current;
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            const std::string_view entry = rest.substr(0, colon);
            if (const auto kind = FromSessionName(entry)) {
                return *kind;
            }
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    if (const std::string* session = Find(environment, "DESKTOP_SESSION")) {
        // Some display managers put a path here ("/usr/share/xsessions/plasma").
        std::string_view name = *session;
        if (const std::size_t slash = name.rfind('/'); slash != std::string_view::npos) {
            name = name.substr(slash + 1);
        }
        if (const auto kind = FromSessionName(name)) {
            return *kind;
        }
    }
    if (Find(environment, "SWAYSOCK") != nullptr) {
        return DesktopKind::Sway;
    }
    if (Find(environment, "WAYLAND_DISPLAY") != nullptr) {
        return DesktopKind::Unknown;
    }
    if (Find(environment, "DISPLAY") != nullptr) {
        return DesktopKind::X11Root;
    }
    return DesktopKind::Unknown;
}

}  // namespace tavrino
