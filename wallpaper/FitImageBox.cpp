#include "wallpaper/FitImageBox.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "support/errors/Errors.h"

namespace tavrino {

namespace {

// No real screen needs more keep-aspect shrink steps than this (a 16384-pixel-wide screen
// at 15 twips per pixel needs about 61 000); beyond it the metrics are nonsense.
constexpr std::int64_t kMaxShrinkSteps = 1'000'000;

[[noreturn]] void Throw(std::int32_t number, const std::string& what) {
    throw Error(number, std::string(DefaultDescription(number)) + " (" + what + ")");
}

// Stores a value computed in double into a single-precision field, as the rule requires.
float Store(double value, const char* field) {
    if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max()) {
        Throw(errnum::Overflow, std::string("image box ") + field + " out of range");
    }
    return static_cast<float>(value);
}

// A divisor taken from the screen metrics: zero divides by zero, anything else that is not
// a positive finite number is an overflow.
void CheckDivisor(float value, const char* name) {
    if (value == 0.0F) {
        Throw(errnum::DivisionByZero, std::string(name) + " is zero");
    }
    if (!std::isfinite(value) || value < 0.0F) {
        Throw(errnum::Overflow, std::string(name) + " is not a positive number");
    }
}

// A length that is not divided by: it must still be a positive finite number.
void CheckLength(float value, const char* name) {
    if (!std::isfinite(value) || value <= 0.0F) {
        Throw(errnum::Overflow, std::string(name) + " is not a positive number");
    }
}

// One shrink step of the keep-aspect loop on one side. A step that leaves the stored value
// unchanged (float absorption on absurd sizes) or shrinks the box to nothing would never
// reach the target, so it is reported instead of looping on.
float Shrink(float side, double step, const char* field) {
    const float shrunk = Store(static_cast<double>(side) - step, field);
    if (shrunk == side || shrunk <= 0.0F) {
        Throw(errnum::Overflow, std::string("image box ") + field + " cannot shrink to fit");
    }
    return shrunk;
}

void CheckStepCount(float side, float limit) {
    const double steps = (static_cast<double>(side) - static_cast<double>(limit)) / 3.0;
    if (steps > static_cast<double>(kMaxShrinkSteps)) {
        Throw(errnum::Overflow, "image box needs too many shrink steps");
    }
}

}  // namespace

double RoundHalfEven(double value) {
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction < 0.5) {
        return lower;
    }
    if (fraction > 0.5) {
        return lower + 1.0;
    }
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

ImageBox FitImageBox(float naturalWidth, float naturalHeight, float targetWidth, float targetHeight,
                     const ScreenMetrics& screen, bool stretch, bool keepAspect) {
    CheckDivisor(screen.WidthTwips, "screen width");
    CheckDivisor(screen.HeightTwips, "screen height");
    CheckDivisor(screen.TwipsPerPixelX, "twips per pixel X");
    CheckDivisor(screen.TwipsPerPixelY, "twips per pixel Y");
    CheckLength(naturalWidth, "image width");
    CheckLength(naturalHeight, "image height");
    CheckLength(targetWidth, "target width");
    CheckLength(targetHeight, "target height");

    const double tw = targetWidth;
    const double th = targetHeight;
    const double tppx = screen.TwipsPerPixelX;
    const double tppy = screen.TwipsPerPixelY;

    ImageBox box;
    if (!stretch) {
        // The image keeps its size relative to the screen; keep aspect plays no part.
        box.Width = Store(tw / static_cast<double>(screen.WidthTwips) * naturalWidth, "width");
        box.Height = Store(th / static_cast<double>(screen.HeightTwips) * naturalHeight, "height");
    } else if (!keepAspect) {
        box.Width = targetWidth;
        box.Height = targetHeight;
    } else {
        // Orientation in whole pixels; the width goes by the vertical factor and the height
        // by the horizontal one, as the rule has always done.
        const double wpx = RoundHalfEven(static_cast<double>(naturalWidth) / tppy);
        const double hpx = RoundHalfEven(static_cast<double>(naturalHeight) / tppx);
        if (hpx < wpx) {
            box.Width = targetWidth;
            box.Height = Store(static_cast<double>(box.Width) / tppy * 0.75 * tppx, "height");
            if (box.Height > targetHeight) {
                CheckStepCount(box.Height, targetHeight);
            }
            while (box.Height > targetHeight) {
                box.Width = Shrink(box.Width, 4.0, "width");
                box.Height = Shrink(box.Height, 3.0, "height");
            }
        } else if (hpx > wpx) {
            box.Height = targetHeight;
            box.Width = Store(static_cast<double>(box.Height) / tppx * 0.75 * tppy, "width");
            if (box.Width > targetWidth) {
                CheckStepCount(box.Width, targetWidth);
            }
            while (box.Width > targetWidth) {
                box.Height = Shrink(box.Height, 4.0, "height");
                box.Width = Shrink(box.Width, 3.0, "width");
            }
        } else {
            box.Width = targetHeight;
            box.Height = targetHeight;
        }
    }

    box.Left = box.Width == targetWidth ? 0.0F : Store(tw / 2 - box.Width / 2.0, "left");
    box.Top = box.Height == targetHeight ? 0.0F : Store(th / 2 - box.Height / 2.0, "top");
    return box;
}

PixelSize BoxPixelSize(const ImageBox& box, const ScreenMetrics& screen) {
    CheckDivisor(screen.TwipsPerPixelX, "twips per pixel X");
    CheckDivisor(screen.TwipsPerPixelY, "twips per pixel Y");
    const auto pixels = [](float twips, float perPixel, const char* side) {
        const double value = RoundHalfEven(static_cast<double>(twips) / perPixel);
        if (!std::isfinite(value) || value > static_cast<double>(1 << 30)) {
            Throw(errnum::Overflow, std::string("bitmap ") + side + " out of range");
        }
        return value < 1.0 ? 1 : static_cast<int>(value);
    };
    return {pixels(box.Width, screen.TwipsPerPixelX, "width"),
            pixels(box.Height, screen.TwipsPerPixelY, "height")};
}

}  // namespace tavrino
