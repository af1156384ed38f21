#pragma once

class QMainWindow;

namespace tavrino {

// Fixes a main window to its client area (the central widget's fixed size from the form) plus its
// menu bar, whatever height the menu bar has in the current style and font, so the window cannot
// be resized and shows no empty strip under the client area.
void FixMainWindowSize(QMainWindow& window);

}  // namespace tavrino
