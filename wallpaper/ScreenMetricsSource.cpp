#include "wallpaper/ScreenMetricsSource.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "support/errors/Errors.h"

namespace tavrino {

namespace {
constexpr double kTwipsPerInch = 1440.0;
}

ScreenMetrics PrimaryScreenMetrics() {
    QScreen* screen = qGuiApp != nullptr ? QGuiApplication::primaryScreen() : nullptr;
    if (screen == nullptr) {
        throw Error(errnum::DeviceUnavailable, "Device unavailable (no screen)");
    }
    const double ratio = screen->devicePixelRatio();
    const double widthPx = std::round(screen->size().width() * ratio);
    const double heightPx = std::round(screen->size().height() * ratio);
    const double dpiX = screen->logicalDotsPerInchX();
    const double dpiY = screen->logicalDotsPerInchY();
    ScreenMetrics metrics;
    // A screen that reports no DPI yields 0 here, which the fit reports as division by zero.
    metrics.TwipsPerPixelX = dpiX > 0 ? static_cast<float>(kTwipsPerInch / dpiX) : 0.0F;
    metrics.TwipsPerPixelY = dpiY > 0 ? static_cast<float>(kTwipsPerInch / dpiY) : 0.0F;
    metrics.WidthTwips = static_cast<float>(widthPx * metrics.TwipsPerPixelX);
    metrics.HeightTwips = static_cast<float>(heightPx * metrics.TwipsPerPixelY);
    return metrics;
}

ScreenMetrics MetricsForPixels(int widthPx, int heightPx, float twipsPerPixel) {
    return {static_cast<float>(static_cast<double>(widthPx) * twipsPerPixel),
            static_cast<float>(static_cast<double>(heightPx) * twipsPerPixel), twipsPerPixel,
            twipsPerPixel};
}

}  // namespace tavrino
