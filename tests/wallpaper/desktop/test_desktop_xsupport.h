// X11 helpers for the desktop tests: a private X server and reading the root window's pixels.
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

#include "tests/wallpaper/desktop/test_desktop_support.h"

// Xlib last: its macros (None, Bool, Status, ...) would clash with names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace tavrino::test {

// Xvfb on a display number it picks itself, stopped at the end by its own process id.
class VirtualDisplay {
public:
    VirtualDisplay(int width, int height, int depth) {
        process_.start(
            QStringLiteral("Xvfb"),
            {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
             QStringLiteral("0"), QStringLiteral("%1x%2x%3").arg(width).arg(height).arg(depth),
             QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")});
        if (!process_.waitForStarted(10000)) {
            return;
        }
        test::WaitUntil([this] { return process_.canReadLine() || process_.waitForReadyRead(100); },
                        15000);
        const QByteArray number = process_.readLine().trimmed();
        if (!number.isEmpty()) {
            name_ = ":" + number.toStdString();
        }
    }
    ~VirtualDisplay() { StopProcess(process_); }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    [[nodiscard]] const std::string& Name() const { return name_; }

private:
    QProcess process_;
    std::string name_;
};

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
