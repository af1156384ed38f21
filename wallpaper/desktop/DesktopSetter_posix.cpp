#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {

std::unique_ptr<DesktopSetter> MakeSystemDesktopSetter(DesktopKind kind,
                                                       const Environment& environment) {
    return kind == DesktopKind::X11Root ? MakeX11RootDesktopSetter(environment) : nullptr;
}

}  // namespace tavrino
