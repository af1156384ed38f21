// The fitting rule: the documented boxes to the last bit, whole pixels, and metrics no real
// screen has.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include "support/errors/Errors.h"
#include "wallpaper/FitImageBox.h"

namespace tavrino {
namespace {

constexpr float T = 15.0F;  // twips per pixel at 96 dots per inch
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float S = -1.0F;  // a target of the whole screen

ScreenMetrics Screen(int w, int h, float tpp = T) {
    return {static_cast<float>(w) * tpp, static_cast<float>(h) * tpp, tpp, tpp};
}
const ScreenMetrics k1024 = Screen(1024, 768);

struct Fit {
    const char* name;
    float w0, h0, tw, th;  // natural size and target, twips
    ScreenMetrics screen;
    bool stretch, aspect;
};

ImageBox Fitted(const Fit& f) {
    return FitImageBox(f.w0, f.h0, f.tw == S ? f.screen.WidthTwips : f.tw,
                       f.th == S ? f.screen.HeightTwips : f.th, f.screen, f.stretch, f.aspect);
}

TEST(FitImageBox, GivesTheDocumentedBoxToTheLastBitAndRefusesMetricsNoScreenHas) {
    struct Case {
        Fit fit;
        std::vector<float> box;   // width, height, left, top; none when refused
        std::int32_t number = 0;  // the error raised instead of looping, or 0
    };
    // clang-format off
    const Case cases[] = {
        {{"wide on 1024x768: no shrink step",  1600*T, 1200*T, S, S, k1024, true, true},             {15360, 11520, 0, 0}},
        {{"wide on 1280x800: 800 steps",       1600*T, 1200*T, S, S, Screen(1280, 800), true, true}, {16000, 12000, 1600, 0}},
        {{"wide on 1280x1024: centred down",   1600*T, 1200*T, S, S, Screen(1280, 1024), true, true},{19200, 14400, 0, 480}},
        {{"tall on 1024x768",                  600*T, 800*T, S, S, k1024, true, true},               {8640, 11520, 3360, 0}},
        {{"square: the target's height twice", 500*T, 500*T, S, S, k1024, true, true},               {11520, 11520, 1920, 0}},
        {{"stretch alone fills the screen",    100*T, 50*T, S, S, k1024, true, false},               {15360, 11520, 0, 0}},
        {{"natural size centred",              640*T, 480*T, S, S, k1024, false, false},             {9600, 7200, 2880, 2160}},
        {{"keep aspect ignored unstretched",   640*T, 480*T, S, S, k1024, false, true},              {9600, 7200, 2880, 2160}},
        {{"larger than the screen: negative",  2048*T, 1536*T, S, S, k1024, false, false},           {30720, 23040, -7680, -5760}},
        {{"preview, natural size scaled",      640*T, 480*T, 2625, 1965, k1024, false, false},       {1640.625F, 1228.125F, 492.1875F, 368.4375F}},
        {{"preview, wide after two steps",     1600*T, 1200*T, 2625, 1965, k1024, true, true},       {2617, 1962.75F, 4, 1.125F}},
        {{"preview, tall",                     600*T, 800*T, 2625, 1965, k1024, true, true},         {1473.75F, 1965, 575.625F, 0}},
        {{"120 dpi: 640 steps",                1600*12, 1200*12, S, S, Screen(1280, 800, 12), true, true}, {12800, 9600, 1280, 0}},
        // 200/20 = 10 pixels wide against 150/10 = 15 high: tall, though wider in twips.
        {{"orientation uses crossed factors",  200, 150, 20000, 10000, {20000, 20000, 10, 20}, true, true}, {15000, 10000, 2500, 0}},
        // 1.5 and 2.5 pixels both round to 2 (ties to even): a square.
        {{"orientation ties to even",          22.5F, 37.5F, S, S, k1024, true, true},               {11520, 11520, 1920, 0}},
        {{"zero screen width",      9600, 7200, 15360, 11520, {0, 11520, 15, 15}, false, false}, {},    errnum::DivisionByZero},
        {{"zero twips per pixel X", 9600, 7200, 15360, 11520, {15360, 11520, 0, 15}, true, true}, {},   errnum::DivisionByZero},
        {{"negative twips/pixel",   9600, 7200, 15360, 11520, {15360, 11520, -15, 15}, true, true}, {}, errnum::Overflow},
        {{"NaN screen width",       9600, 7200, 15360, 11520, {kNaN, 11520, 15, 15}, false, false}, {}, errnum::Overflow},
        {{"infinite screen height", 9600, 7200, 15360, 11520, {15360, kInf, 15, 15}, false, false}, {}, errnum::Overflow},
        {{"zero image width",       0, 7200, 15360, 11520, k1024, false, false}, {},                    errnum::Overflow},
        {{"NaN image",              kNaN, 7200, 15360, 11520, k1024, true, true}, {},                   errnum::Overflow},
        {{"zero target",            9600, 7200, 0, 0, k1024, true, false}, {},          errnum::Overflow},
        {{"negative target",        9600, 7200, 15360, -11520, k1024, true, true}, {},                  errnum::Overflow},
        {{"natural size overflows", 3e38F, 7200, 3e38F, 11520, {1, 11520, 15, 15}, false, false}, {},   errnum::Overflow},
        {{"endless shrink steps",   9600, 7200, 1e30F, 1e20F, k1024, true, true}, {},                   errnum::Overflow},
        // At 2^28 twips one float step is 16, so "- 3" would change nothing.
        {{"shrink step absorbed",   9600, 7200, 268435456.0F, 201326560.0F, k1024, true, true}, {},     errnum::Overflow},
        {{"wide shrinks to nothing",9600, 7200, 15360, 11520, {15360, 11520, 150, 15}, true, true}, {}, errnum::Overflow},
        {{"tall shrinks to nothing",7200, 9600, 15360, 11520, {15360, 11520, 15, 150}, true, true}, {}, errnum::Overflow},
    };
    // clang-format on
    for (const Case& c : cases) {
        try {
            const ImageBox b = Fitted(c.fit);
            // Exact float equality on purpose: the rule fixes every rounding.
            EXPECT_EQ((std::vector<float>{b.Width, b.Height, b.Left, b.Top}), c.box) << c.fit.name;
        } catch (const Error& e) {
            EXPECT_EQ(e.Number(), c.number) << c.fit.name << ": " << e.what();
        }
    }
}

TEST(FitImageBox, BoxesBecomeWholePixelsTiesToEven) {
    struct Case {
        ImageBox box;
        ScreenMetrics screen;
        int w, h;  // -1: refused
    };
    // clang-format off
    const Case cases[] = {
        {{16000, 12000, 1600, 0}, Screen(1280, 800), 1067, 800},  // 1066.67 pixels
        {{15360, 11520, 0, 0}, k1024, 1024, 768},
        {{22.5F, 37.5F, 0, 0}, k1024, 2, 2},                      // 1.5 and 2.5: ties to even
        {{1, 1, 0, 0}, k1024, 1, 1},                              // never an empty bitmap
        {{100, 100, 0, 0}, {100, 100, 0, 15}, -1, -1},
        {{3e38F, 100, 0, 0}, k1024, -1, -1},
    };
    // clang-format on
    for (const Case& c : cases) {
        try {
            const PixelSize p = BoxPixelSize(c.box, c.screen);
            EXPECT_EQ((std::vector<int>{p.width, p.height}), (std::vector<int>{c.w, c.h}));
        } catch (const Error&) {
            EXPECT_EQ(c.w, -1) << c.box.Width << " x " << c.box.Height;
        }
    }
}

}  // namespace
}  // namespace tavrino
