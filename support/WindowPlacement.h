// Secondary windows (the error report, the About box, the new-release notice, message boxes)
// open over the main window, on its monitor, and stay above it.
#pragma once

class QWidget;

namespace tavrino {

// The program's main window, once it exists (nullptr clears it).
void SetMainWindow(QWidget* window);

// The main window while it is on screen, else nullptr.
QWidget* ShownMainWindow();

// Ties a top-level window to the shown main window: centred over it (kept inside that monitor)
// and kept above it by the window manager. Does nothing while the main window is not shown.
void PlaceOverMainWindow(QWidget* window);

// Brings every secondary window already on screen above the main window that has just been
// shown, so one shown earlier (an error at load) is not left underneath it.
void RaiseSecondaryWindows();

}  // namespace tavrino
