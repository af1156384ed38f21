// The fitting rule: the documented examples to the last bit, its invariants over common
// screens, and metrics no real screen has.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/errors/Errors.h"
#include "wallpaper/FitImageBox.h"

namespace tavrino {
namespace {

constexpr float kTpp = 15.0F;

ScreenMetrics Screen(int widthPx, int heightPx, float tppx = kTpp, float tppy = kTpp) {
    return {static_cast<float>(widthPx) * tppx, static_cast<float>(heightPx) * tppy, tppx, tppy};
}

struct FitCase {
    const char* name;
    float w0, h0;  // natural size, twips
    float tw, th;  // target, twips (0 = the screen)
    ScreenMetrics screen;
    bool stretch, keepAspect;
    ImageBox expected;
};

void PrintTo(const FitCase& c, std::ostream* os) {
    *os << c.name;
}

class FitExamples : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitExamples, GivesTheBoxExactly) {
    const FitCase& c = GetParam();
    const float tw = c.tw == 0.0F ? c.screen.WidthTwips : c.tw;
    const float th = c.th == 0.0F ? c.screen.HeightTwips : c.th;
    const ImageBox box = FitImageBox(c.w0, c.h0, tw, th, c.screen, c.stretch, c.keepAspect);
    // Exact float equality on purpose: the rule fixes every rounding.
    EXPECT_EQ(box.Width, c.expected.Width);
    EXPECT_EQ(box.Height, c.expected.Height);
    EXPECT_EQ(box.Left, c.expected.Left);
    EXPECT_EQ(box.Top, c.expected.Top);
}

const ScreenMetrics k1024 = Screen(1024, 768);
const ScreenMetrics k1280x800 = Screen(1280, 800);
const ScreenMetrics k1280x1024 = Screen(1280, 1024);
constexpr float kWide0 = 1600 * kTpp, kWideH0 = 1200 * kTpp;  // 1600 x 1200 photo
constexpr float kTall0 = 600 * kTpp, kTallH0 = 800 * kTpp;    // 600 x 800 portrait
constexpr float kSq = 500 * kTpp;

INSTANTIATE_TEST_SUITE_P(
    Documented, FitExamples,
    ::testing::Values(
        FitCase{"Wide1024NoLoop", kWide0, kWideH0, 0, 0, k1024, true, true, {15360, 11520, 0, 0}},
        FitCase{"Wide1280x800After800Steps",
                kWide0,
                kWideH0,
                0,
                0,
                k1280x800,
                true,
                true,
                {16000, 12000, 1600, 0}},
        FitCase{
            "Wide1280x1024", kWide0, kWideH0, 0, 0, k1280x1024, true, true, {19200, 14400, 0, 480}},
        FitCase{"Tall1024", kTall0, kTallH0, 0, 0, k1024, true, true, {8640, 11520, 3360, 0}},
        FitCase{"Square1024", kSq, kSq, 0, 0, k1024, true, true, {11520, 11520, 1920, 0}},
        FitCase{"StretchNoAspectFillsScreen",
                kWide0,
                kWideH0,
                0,
                0,
                k1024,
                true,
                false,
                {15360, 11520, 0, 0}},
        FitCase{"SmallImageEnlargedToScreen",
                100 * kTpp,
                50 * kTpp,
                0,
                0,
                k1024,
                true,
                false,
                {15360, 11520, 0, 0}},
        FitCase{"NaturalSizeCentred",
                640 * kTpp,
                480 * kTpp,
                0,
                0,
                k1024,
                false,
                false,
                {9600, 7200, 2880, 2160}},
        FitCase{"KeepAspectIgnoredWithoutStretch",
                640 * kTpp,
                480 * kTpp,
                0,
                0,
                k1024,
                false,
                true,
                {9600, 7200, 2880, 2160}},
        FitCase{"LargerThanScreenNegativeOffsets",
                2048 * kTpp,
                1536 * kTpp,
                0,
                0,
                k1024,
                false,
                false,
                {30720, 23040, -7680, -5760}},
        FitCase{"PreviewNaturalSize",
                640 * kTpp,
                480 * kTpp,
                2625,
                1965,
                k1024,
                false,
                false,
                {1640.625F, 1228.125F, 492.1875F, 368.4375F}},
        FitCase{"PreviewWideTwoSteps",
                kWide0,
                kWideH0,
                2625,
                1965,
                k1024,
                true,
                true,
                {2617, 1962.75F, 4, 1.125F}},
        FitCase{"PreviewTall",
                kTall0,
                kTallH0,
                2625,
                1965,
                k1024,
                true,
                true,
                {1473.75F, 1965, 575.625F, 0}},
        FitCase{"PreviewStretchFills",
                kTall0,
                kTallH0,
                2625,
                1965,
                k1024,
                true,
                false,
                {2625, 1965, 0, 0}},
        // 120 dots per inch: 12 twips per pixel; 640 steps bring 11520 down to 9600.
        FitCase{"Wide1280x800At120Dpi",
                1600 * 12,
                1200 * 12,
                0,
                0,
                Screen(1280, 800, 12, 12),
                true,
                true,
                {12800, 9600, 1280, 0}},
        // The orientation divides the width by the vertical factor: 200 / 20 = 10 pixels wide
        // against 150 / 10 = 15 high makes this a tall image although it is wider in twips.
        FitCase{"OrientationUsesCrossedFactors",
                200,
                150,
                20000,
                10000,
                {20000, 20000, 10, 20},
                true,
                true,
                {15000, 10000, 2500, 0}},
        // 1.5 and 2.5 pixels both round to 2 (ties to even): a square, not a tall image.
        FitCase{"OrientationTiesToEven",
                22.5F,
                37.5F,
                0,
                0,
                k1024,
                true,
                true,
                {11520, 11520, 1920, 0}}),
    [](const ::testing::TestParamInfo<FitCase>& param) { return std::string(param.param.name); });

// Common screens at 96 and 120 dots per inch, each with a wide, a tall and a square image.
struct Resolution {
    int w, h;
    float tpp;
};
const std::vector<Resolution> kScreens = {
    {640, 480, 15},   {800, 600, 15},   {1024, 768, 15},  {1280, 720, 15},  {1280, 800, 15},
    {1280, 1024, 15}, {1366, 768, 15},  {1440, 900, 15},  {1600, 1200, 15}, {1920, 1080, 15},
    {1920, 1200, 15}, {2560, 1440, 15}, {3840, 2160, 15}, {768, 1024, 15},  {1080, 1920, 15},
    {1920, 1080, 12}, {2560, 1600, 12}, {1024, 1024, 15}, {2560, 1080, 15}, {5120, 1440, 15},
};

TEST(FitImageBoxInvariants, KeepAspectBoxIsThreeByFourAndTheLargestThatFits) {
    for (const Resolution& r : kScreens) {
        const ScreenMetrics s = Screen(r.w, r.h, r.tpp, r.tpp);
        const float tw = s.WidthTwips, th = s.HeightTwips;
        SCOPED_TRACE(std::to_string(r.w) + "x" + std::to_string(r.h));

        const ImageBox wide = FitImageBox(4000 * r.tpp, 3000 * r.tpp, tw, th, s, true, true);
        EXPECT_EQ(wide.Height, 0.75F * wide.Width);
        EXPECT_LE(wide.Height, th);
        EXPECT_LE(wide.Width, tw);
        // One step fewer would have been too tall (or no step was needed at all).
        EXPECT_TRUE(wide.Width == tw || wide.Height + 3 > th);

        const ImageBox tall = FitImageBox(3000 * r.tpp, 4000 * r.tpp, tw, th, s, true, true);
        EXPECT_EQ(tall.Width, 0.75F * tall.Height);
        EXPECT_LE(tall.Width, tw);
        EXPECT_TRUE(tall.Height == th || tall.Width + 3 > tw);

        const ImageBox square = FitImageBox(900 * r.tpp, 900 * r.tpp, tw, th, s, true, true);
        EXPECT_EQ(square.Width, th);
        EXPECT_EQ(square.Height, th);

        for (const ImageBox& b : {wide, tall, square}) {
            // Centred: the offsets are half the difference, or 0 on a side that fills.
            EXPECT_FLOAT_EQ(b.Left * 2 + b.Width, b.Width == tw ? b.Width : tw);
            EXPECT_FLOAT_EQ(b.Top * 2 + b.Height, b.Height == th ? b.Height : th);
        }
    }
}

TEST(FitImageBoxInvariants, WithoutStretchTheScreenTargetKeepsTheNaturalSize) {
    for (const Resolution& r : kScreens) {
        const ScreenMetrics s = Screen(r.w, r.h, r.tpp, r.tpp);
        for (const auto& [px, py] : std::vector<std::pair<int, int>>{
                 {1, 1}, {640, 480}, {r.w, r.h}, {7000, 300}, {333, 4999}}) {
            const float w0 = static_cast<float>(px) * r.tpp;
            const float h0 = static_cast<float>(py) * r.tpp;
            for (bool aspect : {false, true}) {
                const ImageBox b =
                    FitImageBox(w0, h0, s.WidthTwips, s.HeightTwips, s, false, aspect);
                EXPECT_EQ(b.Width, w0);
                EXPECT_EQ(b.Height, h0);
                EXPECT_EQ(BoxPixelSize(b, s).width, px);
                EXPECT_EQ(BoxPixelSize(b, s).height, py);
            }
        }
    }
}

TEST(FitImageBoxInvariants, SameInputSameBox) {
    const ScreenMetrics s = Screen(1280, 800);
    const ImageBox a = FitImageBox(kWide0, kWideH0, 2625, 1965, s, true, true);
    const ImageBox b = FitImageBox(kWide0, kWideH0, 2625, 1965, s, true, true);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
}

TEST(BoxPixelSize, RoundsTwipsToWholePixels) {
    struct Row {
        ImageBox box;
        ScreenMetrics screen;
        int w, h;
    };
    const std::vector<Row> rows = {
        {{16000, 12000, 1600, 0}, k1280x800, 1067, 800},  // 1066.67 pixels
        {{15360, 11520, 0, 0}, k1024, 1024, 768},
        {{22.5F, 37.5F, 0, 0}, k1024, 2, 2},  // 1.5 and 2.5 pixels, ties to even
        {{1, 1, 0, 0}, k1024, 1, 1},          // never an empty bitmap
    };
    for (const Row& r : rows) {
        const PixelSize p = BoxPixelSize(r.box, r.screen);
        EXPECT_EQ(p.width, r.w);
        EXPECT_EQ(p.height, r.h);
    }
}

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
    const std::vector<std::pair<double, double>> rows = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, -0}, {-1.5, -2}, {2.4999, 2}, {2.5001, 3}};
    for (const auto& [in, out] : rows) {
        EXPECT_EQ(RoundHalfEven(in), out) << in;
    }
}

// Metrics no real screen has must raise an error, never loop or return garbage.
struct BadCase {
    const char* name;
    float w0, h0, tw, th;
    ScreenMetrics screen;
    bool stretch, keepAspect;
    std::int32_t number;
};

void PrintTo(const BadCase& c, std::ostream* os) {
    *os << c.name;
}

class FitDegenerate : public ::testing::TestWithParam<BadCase> {};

TEST_P(FitDegenerate, ThrowsTheRightError) {
    const BadCase& c = GetParam();
    try {
        const ImageBox b = FitImageBox(c.w0, c.h0, c.tw, c.th, c.screen, c.stretch, c.keepAspect);
        ADD_FAILURE() << "no error; box " << b.Width << " x " << b.Height;
    } catch (const Error& e) {
        EXPECT_EQ(e.Number(), c.number) << e.what();
    }
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
const ScreenMetrics kOk = Screen(1024, 768);

INSTANTIATE_TEST_SUITE_P(
    Metrics, FitDegenerate,
    ::testing::Values(
        BadCase{"ZeroScreenWidth",
                9600,
                7200,
                15360,
                11520,
                {0, 11520, 15, 15},
                false,
                false,
                errnum::DivisionByZero},
        BadCase{"ZeroScreenHeight",
                9600,
                7200,
                15360,
                11520,
                {15360, 0, 15, 15},
                false,
                false,
                errnum::DivisionByZero},
        BadCase{"ZeroTwipsPerPixelX",
                9600,
                7200,
                15360,
                11520,
                {15360, 11520, 0, 15},
                true,
                true,
                errnum::DivisionByZero},
        BadCase{"ZeroTwipsPerPixelY",
                9600,
                7200,
                15360,
                11520,
                {15360, 11520, 15, 0},
                true,
                true,
                errnum::DivisionByZero},
        BadCase{"NegativeTwipsPerPixel",
                9600,
                7200,
                15360,
                11520,
                {15360, 11520, -15, 15},
                true,
                true,
                errnum::Overflow},
        BadCase{"NaNScreenWidth",
                9600,
                7200,
                15360,
                11520,
                {kNaN, 11520, 15, 15},
                false,
                false,
                errnum::Overflow},
        BadCase{"InfiniteScreenHeight",
                9600,
                7200,
                15360,
                11520,
                {15360, kInf, 15, 15},
                false,
                false,
                errnum::Overflow},
        BadCase{"ZeroImageWidth", 0, 7200, 15360, 11520, kOk, false, false, errnum::Overflow},
        BadCase{"NegativeImageHeight", 9600, -1, 15360, 11520, kOk, true, true, errnum::Overflow},
        BadCase{"NaNImage", kNaN, 7200, 15360, 11520, kOk, true, true, errnum::Overflow},
        BadCase{"ZeroTarget", 9600, 7200, 0, 0, kOk, true, false, errnum::Overflow},
        BadCase{"NegativeTarget", 9600, 7200, 15360, -11520, kOk, true, true, errnum::Overflow},
        BadCase{"InfiniteTarget", 9600, 7200, kInf, 11520, kOk, true, true, errnum::Overflow},
        // Width / screen width x natural width leaves the float range.
        BadCase{"NaturalSizeOverflowsFloat",
                3e38F,
                7200,
                3e38F,
                11520,
                {1, 11520, 15, 15},
                false,
                false,
                errnum::Overflow},
        // Far more shrink steps than any screen needs.
        BadCase{"HugeTargetNeedsEndlessSteps", 9600, 7200, 1e30F, 1e20F, kOk, true, true,
                errnum::Overflow},
        // At 2^28 twips one float step is 16, so "- 3" would change nothing: no endless loop.
        BadCase{"ShrinkStepAbsorbed", 9600, 7200, 268435456.0F, 201326560.0F, kOk, true, true,
                errnum::Overflow},
        // A lopsided pixel shape makes the box shrink to nothing before it fits.
        BadCase{"ShrinksToNothing",
                9600,
                7200,
                15360,
                11520,
                {15360, 11520, 150, 15},
                true,
                true,
                errnum::Overflow},
        BadCase{"TallShrinksToNothing",
                7200,
                9600,
                15360,
                11520,
                {15360, 11520, 15, 150},
                true,
                true,
                errnum::Overflow}),
    [](const ::testing::TestParamInfo<BadCase>& param) { return std::string(param.param.name); });

TEST(BoxPixelSizeDegenerate, RejectsZeroAndHugeSides) {
    EXPECT_THROW(BoxPixelSize({100, 100, 0, 0}, {100, 100, 0, 15}), Error);
    EXPECT_THROW(BoxPixelSize({3e38F, 100, 0, 0}, kOk), Error);
}

}  // namespace
}  // namespace tavrino
