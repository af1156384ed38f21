// The fitting rule shared by the wallpaper and the preview: how large an image is drawn and
// where it sits inside a target rectangle. Lengths are in twips (1440 to the inch).
#pragma once

namespace tavrino {

// The screen as the fit sees it, read afresh for every fit.
struct ScreenMetrics {
    float WidthTwips = 0.0F;
    float HeightTwips = 0.0F;
    float TwipsPerPixelX = 0.0F;
    float TwipsPerPixelY = 0.0F;
};

// The fitted box; Left and Top are offsets from the target's top-left corner and are
// negative when the box is larger than the target.
struct ImageBox {
    float Width = 0.0F;
    float Height = 0.0F;
    float Left = 0.0F;
    float Top = 0.0F;
};

// Fits an image of natural size naturalWidth x naturalHeight (twips) into a target of
// targetWidth x targetHeight (twips). Every expression is evaluated in double and rounded
// once to float when stored, and later steps read the stored floats, so results are
// reproducible to the last bit on every platform.
//
// Metrics that no real screen can have (zero, negative, NaN, infinite sizes or twips per
// pixel, or a keep-aspect shrink that would never reach the target) throw
// tavrino::Error(DivisionByZero) for a zero divisor and tavrino::Error(Overflow) otherwise.
ImageBox FitImageBox(float naturalWidth, float naturalHeight, float targetWidth, float targetHeight,
                     const ScreenMetrics& screen, bool stretch, bool keepAspect);

// Whole pixels of a box on the screen: Width / TwipsPerPixelX by Height / TwipsPerPixelY,
// rounded to nearest (at least 1). Throws Overflow when a side is not a sane pixel count.
struct PixelSize {
    int width = 0;
    int height = 0;
};
PixelSize BoxPixelSize(const ImageBox& box, const ScreenMetrics& screen);

// Rounds to the nearest whole number, ties to even (independent of the FPU rounding mode).
double RoundHalfEven(double value);

}  // namespace tavrino
