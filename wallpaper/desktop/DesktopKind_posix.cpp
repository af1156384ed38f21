#include "wallpaper/desktop/DesktopKind.h"

namespace tavrino {

DesktopKind PlatformDesktop(const Environment& environment) {
    return SessionDesktop(environment);
}

}  // namespace tavrino
