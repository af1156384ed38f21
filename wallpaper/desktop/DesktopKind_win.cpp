#include "wallpaper/desktop/DesktopKind.h"

namespace tavrino {

DesktopKind PlatformDesktop(const Environment& /*environment*/) {
    return DesktopKind::Windows;
}

}  // namespace tavrino
