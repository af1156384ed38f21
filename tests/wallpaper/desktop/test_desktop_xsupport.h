// X11 helpers for the desktop tests: reading the root window's pixels (the private X server
// is tests/common's VirtualDisplay).
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QColor>
#include <QPoint>
#include <QProcess>
#include <QString>
#include <string>
#include <utility>
#include <vector>

#include "common/VirtualDisplay.h"
#include "tests/wallpaper/desktop/test_desktop_support.h"

// Xlib last: its macros (None, Bool, Status, ...) would clash with names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace tavrino::test {

// The colour the screen shows at (x, y), whatever the visual's depth.
inline QColor RootPixel(Display* display, int x, int y) {
    XImage* image = XGetImage(display, XDefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return QColor(1, 2, 3);
    }
    const unsigned long pixel = XGetPixel(image, 0, 0);
    Visual* visual = XDefaultVisual(display, XDefaultScreen(display));
    const auto channel = [pixel](unsigned long mask) {
        int shift = 0;
        while (((mask >> shift) & 1UL) == 0) {
            ++shift;
        }
        const unsigned long top = mask >> shift;
        return static_cast<int>(((pixel & mask) >> shift) * 255UL / top);
    };
    const QColor color(channel(visual->red_mask), channel(visual->green_mask),
                       channel(visual->blue_mask));
    XDestroyImage(image);
    return color;
}

// Waits until every probe shows its colour on the root window (the desktop window's pixels
// included).
inline ::testing::AssertionResult ShowsOnRoot(
    Display* display, const std::vector<std::pair<QPoint, QColor>>& probes) {
    return Shows(
        [display] { return [display](QPoint p) { return RootPixel(display, p.x(), p.y()); }; },
        probes);
}

}  // namespace tavrino::test
