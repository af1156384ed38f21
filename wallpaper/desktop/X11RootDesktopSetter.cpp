// Any other X11 session: the picture becomes the root window's background pixmap, published
// in _XROOTPMAP_ID and ESETROOT_PMAP_ID so terminals and panels with pseudo-transparency
// follow it. The pixmap has to outlive our connection (RetainPermanent), so the one a
// previous change (ours or another setter's) left behind is freed by killing the retained
// client that owns it, as root setters agree to do. A private Xlib connection is used: Qt's
// own connection must never go into RetainPermanent mode.
//
// The root spans every monitor, so the picture is placed on each monitor by itself (as the
// desktops that draw their own background do), never across the join between two. A second
// private connection watches for monitor changes and places the last picture anew.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/errors/Errors.h"
#include "wallpaper/desktop/DesktopSetter.h"

// Xlib last: its macros (None, Bool, Status, ...) would clash with names above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

namespace tavrino {

namespace {

// The first protocol error since the last reset. Xlib's error callback is a plain C function,
// so the state it writes has to live outside any object.
struct X11ErrorState {
    int code = 0;
    unsigned char request = 0;
};

X11ErrorState& LastX11Error() {
    static X11ErrorState state;
    return state;
}

// Collects protocol errors instead of Xlib's default (printing and exiting the program).
class ErrorTrap {
public:
    ErrorTrap() : previous_(XSetErrorHandler(&ErrorTrap::Handler)) { Reset(); }
    ~ErrorTrap() { XSetErrorHandler(previous_); }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    ErrorTrap(ErrorTrap&&) = delete;
    ErrorTrap& operator=(ErrorTrap&&) = delete;

    static void Reset() { LastX11Error() = {}; }
    static bool Failed() { return LastX11Error().code != 0; }

    // "BadAlloc (insufficient resources for operation) (request 53)".
    static std::string Describe(Display* display) {
        const X11ErrorState& error = LastX11Error();
        std::array<char, 256> text{};
        XGetErrorText(display, error.code, text.data(), static_cast<int>(text.size()));
        return std::string(text.data()) + " (request " + std::to_string(error.request) + ")";
    }

private:
    static int Handler(Display* /*display*/, XErrorEvent* event) {
        X11ErrorState& state = LastX11Error();
        if (state.code == 0) {
            state.code = event->error_code;
            state.request = event->request_code;
        }
        return 0;
    }

    int (*previous_)(Display*, XErrorEvent*);
};

std::optional<Pixmap> ReadPixmapProperty(Display* display, Window root, Atom property) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::optional<Pixmap> result;
    if (XGetWindowProperty(display, root, property, 0, 1, False, AnyPropertyType, &type, &format,
                           &count, &remaining, &data) == Success &&
        type == XA_PIXMAP && format == 32 && count == 1 && data != nullptr) {
        // Format-32 properties come back as an array of long, whatever long's size.
        Pixmap value = 0;
        static_assert(sizeof(Pixmap) == sizeof(long));
        std::memcpy(&value, data, sizeof value);
        result = value;
    }
    if (data != nullptr) {
        XFree(data);
    }
    return result;
}

// The monitors as rectangles of the root: RandR 1.5 monitors, else the lit CRTCs, else the
// whole root. Each is cut to the root; empty ones are dropped.
std::vector<QRect> ReadMonitors(Display* display, Window root, int width, int height) {
    const QRect screen(0, 0, width, height);
    std::vector<QRect> monitors;
    const auto add = [&](int x, int y, int w, int h) {
        const QRect area = QRect(x, y, w, h) & screen;
        if (!area.isEmpty()) {
            monitors.push_back(area);
        }
    };
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (XRRQueryExtension(display, &eventBase, &errorBase) != 0 &&
        XRRQueryVersion(display, &major, &minor) != 0) {
        if (major > 1 || (major == 1 && minor >= 5)) {
            int count = 0;
            if (XRRMonitorInfo* list = XRRGetMonitors(display, root, True, &count)) {
                for (int i = 0; i < count; ++i) {
                    add(list[i].x, list[i].y, list[i].width, list[i].height);
                }
                XRRFreeMonitors(list);
            }
        }
        if (monitors.empty() && (major > 1 || (major == 1 && minor >= 3))) {
            if (XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root)) {
                for (int i = 0; i < resources->ncrtc; ++i) {
                    XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, resources->crtcs[i]);
                    if (crtc != nullptr && crtc->mode != 0) {
                        add(crtc->x, crtc->y, static_cast<int>(crtc->width),
                            static_cast<int>(crtc->height));
                    }
                    if (crtc != nullptr) {
                        XRRFreeCrtcInfo(crtc);
                    }
                }
                XRRFreeScreenResources(resources);
            }
        }
    }
    // A monitor split by hand (`xrandr --setmonitor` without giving it the output) is still
    // listed whole beside its parts: the parts are what the user sees.
    std::vector<QRect> parts;
    for (const QRect& monitor : monitors) {
        const bool split = std::any_of(monitors.begin(), monitors.end(), [&](const QRect& other) {
            return other != monitor && monitor.contains(other);
        });
        if (!split) {
            parts.push_back(monitor);
        }
    }
    if (parts.empty()) {
        parts.push_back(screen);
    }
    return parts;
}

// Black, with the picture placed on each monitor as the placement says.
QImage Arrange(const QImage& source, int width, int height, const std::vector<QRect>& monitors,
               Placement placement) {
    QImage canvas(width, height, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const QRect& monitor : monitors) {
        painter.setClipRect(monitor);
        switch (placement) {
            case Placement::Stretched:
                painter.drawImage(monitor, source);
                break;
            case Placement::Tiled:
                for (int y = monitor.top(); y <= monitor.bottom(); y += source.height()) {
                    for (int x = monitor.left(); x <= monitor.right(); x += source.width()) {
                        painter.drawImage(x, y, source);
                    }
                }
                break;
            case Placement::Centred:
                // A picture larger than the monitor is cut evenly on both sides, as Windows does.
                painter.drawImage(monitor.left() + (monitor.width() - source.width()) / 2,
                                  monitor.top() + (monitor.height() - source.height()) / 2, source);
                break;
        }
    }
    painter.end();
    return canvas;
}

int LowestBit(unsigned long mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1UL) == 0) {
        mask >>= 1U;
        ++shift;
    }
    return shift;
}

unsigned long Channel(int value, unsigned long mask) {
    // Scales an 8-bit channel to the width of the visual's mask.
    const int shift = LowestBit(mask);
    const unsigned long top = mask >> static_cast<unsigned>(shift);
    return ((static_cast<unsigned long>(value) * top + 127UL) / 255UL)
           << static_cast<unsigned>(shift);
}

// Copies the canvas into the pixmap, for TrueColor and DirectColor visuals.
void PutCanvas(Display* display, Pixmap pixmap, Visual* visual, int depth, QImage canvas) {
    if (visual->c_class != TrueColor && visual->c_class != DirectColor) {
        throw Error(errnum::DesktopRefused,
                    "X11: the screen's colour mode (a palette visual) is not supported");
    }
    GC gc = XCreateGC(display, pixmap, 0, nullptr);
    struct FreeGc {
        Display* display;
        GC gc;
        ~FreeGc() { XFreeGC(display, gc); }
    } freeGc{display, gc};
    const auto width = static_cast<unsigned>(canvas.width());
    const auto height = static_cast<unsigned>(canvas.height());
    const bool hostLittleEndian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    const bool directFormat = (depth == 24 || depth == 32) && visual->red_mask == 0xFF0000UL &&
                              visual->green_mask == 0xFF00UL && visual->blue_mask == 0xFFUL;
    XImage* image = nullptr;
    std::vector<char> buffer;
    if (directFormat) {
        // QImage's RGB32 words are exactly the visual's pixels in host byte order.
        image = XCreateImage(
            display, visual, static_cast<unsigned>(depth), ZPixmap, 0,
            // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): Xlib takes bytes
            reinterpret_cast<char*>(canvas.bits()), width, height, 32,
            static_cast<int>(canvas.bytesPerLine()));
        if (image != nullptr && image->bits_per_pixel != 32) {
            image->data = nullptr;
            XDestroyImage(image);
            image = nullptr;
        }
    }
    if (image == nullptr) {
        image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                             width, height, 32, 0);
        if (image == nullptr) {
            throw Error(errnum::OutOfMemory, "X11: no image of the screen's size could be made");
        }
        buffer.resize(static_cast<std::size_t>(image->bytes_per_line) * height);
        image->data = buffer.data();
        for (int y = 0; y < canvas.height(); ++y) {
            for (int x = 0; x < canvas.width(); ++x) {
                const QRgb rgb = canvas.pixel(x, y);
                XPutPixel(image, x, y,
                          Channel(qRed(rgb), visual->red_mask) |
                              Channel(qGreen(rgb), visual->green_mask) |
                              Channel(qBlue(rgb), visual->blue_mask));
            }
        }
    } else {
        image->byte_order = hostLittleEndian ? LSBFirst : MSBFirst;
    }
    XPutImage(display, pixmap, gc, image, 0, 0, 0, 0, width, height);
    XSync(display, False);
    image->data = nullptr;  // the pixels belong to canvas or buffer
    XDestroyImage(image);
}

class X11RootDesktopSetter final : public DesktopSetter {
public:
    explicit X11RootDesktopSetter(Environment environment) : environment_(std::move(environment)) {}
    ~X11RootDesktopSetter() override {
        notifier_.reset();
        if (watch_ != nullptr) {
            XCloseDisplay(watch_);
        }
    }
    X11RootDesktopSetter(const X11RootDesktopSetter&) = delete;
    X11RootDesktopSetter& operator=(const X11RootDesktopSetter&) = delete;
    X11RootDesktopSetter(X11RootDesktopSetter&&) = delete;
    X11RootDesktopSetter& operator=(X11RootDesktopSetter&&) = delete;

    [[nodiscard]] std::string Name() const override { return "X11"; }

    void SetBackground(const std::string& bitmapPath, Placement placement) override {
        const QImage source(QString::fromStdString(bitmapPath));
        if (source.isNull() || source.width() <= 0 || source.height() <= 0) {
            throw Error(errnum::DesktopRefused,
                        "X11: the wallpaper bitmap \"" + bitmapPath + "\" cannot be read");
        }
        const auto displayVariable = environment_.find("DISPLAY");
        if (displayVariable == environment_.end() || displayVariable->second.empty()) {
            throw Error(errnum::DesktopRefused, "X11: no display (DISPLAY is not set)");
        }
        Display* display = XOpenDisplay(displayVariable->second.c_str());
        if (display == nullptr) {
            throw Error(errnum::DesktopRefused,
                        "X11: cannot open display \"" + displayVariable->second + "\"");
        }
        struct Close {
            Display* display;
            ~Close() { XCloseDisplay(display); }
        } close{display};
        const ErrorTrap trap;

        const int screen = XDefaultScreen(display);
        const Window root = XRootWindow(display, screen);
        const int width = XDisplayWidth(display, screen);
        const int height = XDisplayHeight(display, screen);
        const int depth = XDefaultDepth(display, screen);
        Visual* visual = XDefaultVisual(display, screen);

        const Pixmap pixmap =
            XCreatePixmap(display, root, static_cast<unsigned>(width),
                          static_cast<unsigned>(height), static_cast<unsigned>(depth));
        monitors_ = ReadMonitors(display, root, width, height);
        PutCanvas(display, pixmap, visual, depth,
                  Arrange(source, width, height, monitors_, placement));
        if (ErrorTrap::Failed()) {
            throw Error(errnum::DesktopRefused,
                        "X11: the picture could not be drawn: " + ErrorTrap::Describe(display));
        }

        const Atom rootPixmap = XInternAtom(display, "_XROOTPMAP_ID", False);
        const Atom esetrootPixmap = XInternAtom(display, "ESETROOT_PMAP_ID", False);
        XGrabServer(display);
        const auto previousRoot = ReadPixmapProperty(display, root, rootPixmap);
        const auto previousEsetroot = ReadPixmapProperty(display, root, esetrootPixmap);
        if (previousRoot && previousEsetroot && *previousRoot == *previousEsetroot &&
            *previousRoot != pixmap) {
            // Only a retained setter's pixmap carries both names; its owner is long gone.
            XKillClient(display, *previousRoot);
            XSync(display, False);
            ErrorTrap::Reset();  // BadValue here just means it was freed already
        }
        // Format-32 property data is handed over as an array of long, whatever long's size.
        const auto value = static_cast<long>(pixmap);
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast): Xlib takes the bytes
        const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
        XChangeProperty(display, root, rootPixmap, XA_PIXMAP, 32, PropModeReplace, bytes, 1);
        XChangeProperty(display, root, esetrootPixmap, XA_PIXMAP, 32, PropModeReplace, bytes, 1);
        XSetWindowBackgroundPixmap(display, root, pixmap);
        XClearWindow(display, root);
        XUngrabServer(display);
        XSync(display, False);
        if (ErrorTrap::Failed()) {
            throw Error(errnum::DesktopRefused, "X11: the root window refused the picture: " +
                                                    ErrorTrap::Describe(display));
        }
        XSetCloseDownMode(display, RetainPermanent);
        last_ = {bitmapPath, placement};
        WatchMonitors(displayVariable->second);
    }

private:
    // Places the last picture anew when the monitors change (a monitor plugged in, a new
    // layout): RandR reports a screen change, and a monitor set by hand moves the root's
    // configuration. Events come in bursts, so they are gathered for a moment first.
    void WatchMonitors(const std::string& displayName) {
        if (watch_ != nullptr) {
            return;
        }
        watch_ = XOpenDisplay(displayName.c_str());
        if (watch_ == nullptr) {
            return;
        }
        const Window root = XDefaultRootWindow(watch_);
        int eventBase = 0;
        int errorBase = 0;
        if (XRRQueryExtension(watch_, &eventBase, &errorBase) != 0) {
            XRRSelectInput(watch_, root, RRScreenChangeNotifyMask);
        }
        XSelectInput(watch_, root, StructureNotifyMask);
        XFlush(watch_);
        settle_.setSingleShot(true);
        settle_.setInterval(200);
        QObject::connect(&settle_, &QTimer::timeout, [this] { PlaceAgainIfMonitorsMoved(); });
        notifier_ =
            std::make_unique<QSocketNotifier>(ConnectionNumber(watch_), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
            while (XPending(watch_) > 0) {
                XEvent event;
                XNextEvent(watch_, &event);
            }
            settle_.start();
        });
    }

    void PlaceAgainIfMonitorsMoved() {
        const int screen = XDefaultScreen(watch_);
        const Window root = XRootWindow(watch_, screen);
        if (ReadMonitors(watch_, root, XDisplayWidth(watch_, screen),
                         XDisplayHeight(watch_, screen)) == monitors_) {
            return;
        }
        try {
            SetBackground(last_.first, last_.second);
        } catch (const Error&) {
            // Nobody asked for this change, so there is nobody to tell; the next change of
            // picture reports whatever still stands in the way.
        }
    }

    Environment environment_;
    std::pair<std::string, Placement> last_{std::string(), Placement::Centred};
    std::vector<QRect> monitors_;
    Display* watch_ = nullptr;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer settle_;
};

}  // namespace

std::unique_ptr<DesktopSetter> MakeX11RootDesktopSetter(const Environment& environment) {
    return std::make_unique<X11RootDesktopSetter>(environment);
}

}  // namespace tavrino
