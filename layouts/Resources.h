#pragma once

#include <QFont>
#include <QIcon>

namespace tavrino {

// Registers the artwork compiled into the tavrino_app static library (":/art/..."). A static
// library's resources are dropped by the linker unless something refers to them, so this must run
// before any window is built. Safe to call more than once. InitAppearance() calls it.
void InitResources();

// The application icon with its 16, 32, 48 and 256 pixel images, for every window and the tray.
QIcon AppIcon();

// The windows' default font. The layouts were designed for the classic 8-point Windows dialog font;
// elsewhere Liberation Sans (Arial's metrics) at 7.5 points takes the same room, so no caption is
// clipped. The forms set no family or size of their own and inherit this from the application.
QFont DialogFont();

// Everything the forms rely on, for the program's main and every test that builds a window:
// registers the artwork, sets DialogFont() as the application font and AppIcon() as the default
// window icon. Needs the QApplication to exist.
void InitAppearance();

}  // namespace tavrino
