#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {

std::unique_ptr<DesktopSetter> MakeSystemDesktopSetter(DesktopKind kind,
                                                       const Environment& /*environment*/) {
    return kind == DesktopKind::Windows ? MakeWindowsDesktopSetter() : nullptr;
}

}  // namespace tavrino
