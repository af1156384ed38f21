// The resizing filter behind the wallpaper and the preview: flat colours stay exact, edges
// stay where they were, extreme ratios and one-pixel pictures work, and the box pre-shrink
// averages exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "wallpaper/decode/Resample.h"

namespace tavrino {
namespace {

struct Picture {
    int width;
    int height;
    std::vector<std::uint8_t> bytes;

    Picture(int w, int h)
        : width(w),
          height(h),
          bytes(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4) {}
    std::uint8_t* At(int x, int y) {
        return &bytes[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                       static_cast<std::size_t>(x)) *
                      4];
    }
    ConstPixelView In() const { return {bytes.data(), width, height, width * 4}; }
    PixelView Out() { return {bytes.data(), width, height, width * 4}; }
};

Picture Flat(int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    Picture p(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t* px = p.At(x, y);
            px[0] = b;
            px[1] = g;
            px[2] = r;
            px[3] = 255;
        }
    }
    return p;
}

TEST(Resample, FlatColourStaysExactAtEveryRatio) {
    const std::vector<std::pair<std::pair<int, int>, std::pair<int, int>>> sizes = {
        {{3000, 2000}, {1920, 1080}}, {{100, 50}, {1024, 768}}, {{7, 3}, {7, 3}},
        {{1, 1}, {640, 480}},         {{640, 480}, {1, 1}},     {{5000, 1}, {3, 1}},
        {{1, 5000}, {1, 7}},          {{33, 17}, {65, 9}},
    };
    for (const auto& [from, to] : sizes) {
        const Picture source = Flat(from.first, from.second, 12, 200, 255);
        Picture target(to.first, to.second);
        Resample(source.In(), target.Out(), ResampleFilter::Lanczos3);
        for (int y = 0; y < target.height; ++y) {
            for (int x = 0; x < target.width; ++x) {
                const std::uint8_t* px = target.At(x, y);
                ASSERT_EQ(px[0], 12) << from.first << "x" << from.second << " at " << x << "," << y;
                ASSERT_EQ(px[1], 200);
                ASSERT_EQ(px[2], 255);
                ASSERT_EQ(px[3], 255);
            }
        }
    }
}

TEST(Resample, SameSizeIsACopy) {
    Picture source(37, 23);
    for (std::size_t i = 0; i < source.bytes.size(); ++i) {
        source.bytes[i] = static_cast<std::uint8_t>((i * 2654435761U) >> 13U);
    }
    Picture target(37, 23);
    Resample(source.In(), target.Out(), ResampleFilter::Lanczos3);
    EXPECT_EQ(target.bytes, source.bytes);
}

TEST(Resample, EdgeStaysInPlaceWhenShrinkingAndGrowing) {
    // Left half black, right half white: the middle column of the result is the edge.
    for (const auto& [w, to] :
         std::vector<std::pair<int, int>>{{400, 100}, {400, 250}, {50, 800}}) {
        Picture source = Flat(w, 4, 0, 0, 0);
        for (int y = 0; y < 4; ++y) {
            for (int x = w / 2; x < w; ++x) {
                std::uint8_t* px = source.At(x, y);
                px[0] = px[1] = px[2] = 255;
            }
        }
        Picture target(to, 4);
        Resample(source.In(), target.Out(), ResampleFilter::Lanczos3);
        EXPECT_EQ(target.At(0, 2)[1], 0);
        EXPECT_EQ(target.At(to - 1, 2)[1], 255);
        // Symmetric about the middle: black side below half, white side above.
        EXPECT_LT(target.At(to / 2 - 2, 1)[1], 128) << w << "->" << to;
        EXPECT_GT(target.At(to / 2 + 1, 1)[1], 128) << w << "->" << to;
        // Beyond the kernel's reach (3 pixels of the coarser grid) the black stays black.
        const int reach = 3 * std::max(1, (to + w - 1) / w) + 1;
        for (int x = 0; x < to / 2 - reach; ++x) {
            EXPECT_EQ(target.At(x, 0)[1], 0) << w << "->" << to << " at " << x;
        }
    }
}

TEST(Resample, RejectsEmptyPicturesAndExtraRows) {
    Picture some(4, 4);
    for (const ResampleFilter filter : {ResampleFilter::Lanczos3, ResampleFilter::Area}) {
        EXPECT_THROW(Resample({nullptr, 0, 0, 0}, some.Out(), filter), std::invalid_argument);
        EXPECT_THROW(Resample(some.In(), {some.bytes.data(), 0, 4, 16}, filter),
                     std::invalid_argument);
    }
    EXPECT_THROW(RowResampler(0, 3, some.Out()), std::invalid_argument);
    Picture target(2, 2);
    RowResampler resampler(4, 4, target.Out());
    for (int y = 0; y < 4; ++y) {
        EXPECT_FALSE(resampler.Complete());
        resampler.PushRow(some.At(0, y));
    }
    EXPECT_TRUE(resampler.Complete());
    EXPECT_THROW(resampler.PushRow(some.At(0, 0)), std::logic_error);
}

Picture Noise(int w, int h, unsigned seed) {
    Picture p(w, h);
    for (std::size_t i = 0; i < p.bytes.size(); ++i) {
        p.bytes[i] = static_cast<std::uint8_t>(((i + seed) * 2654435761U) >> 13U);
    }
    return p;
}

TEST(Resample, RowsPushedOneByOneWriteEachOutputRowOnceItsInputHasArrived) {
    // A destination row may be written only after the last source row under its kernel, and
    // the result must not depend on how the rows arrive: compare against the whole picture,
    // and watch the rows appear as the source comes in.
    const Picture source = Noise(300, 200, 7);
    for (const ResampleFilter filter : {ResampleFilter::Lanczos3, ResampleFilter::Area}) {
        for (const auto& [w, h] : std::vector<std::pair<int, int>>{{97, 61}, {450, 333}}) {
            Picture whole(w, h);
            Resample(source.In(), whole.Out(), filter);
            Picture streamed(w, h);
            std::fill(streamed.bytes.begin(), streamed.bytes.end(), std::uint8_t{7});
            RowResampler resampler(source.width, source.height, streamed.Out(), filter);
            for (int y = 0; y < source.height; ++y) {
                resampler.PushRow(source.bytes.data() + static_cast<std::size_t>(y) * 300 * 4);
                if (y == source.height / 2) {
                    // Half the source in: the top rows are final, the bottom ones untouched.
                    EXPECT_TRUE(std::equal(whole.bytes.begin(),
                                           whole.bytes.begin() + static_cast<long>(w) * 4 * (h / 4),
                                           streamed.bytes.begin()));
                    EXPECT_TRUE(std::all_of(streamed.bytes.end() - w * 4, streamed.bytes.end(),
                                            [](std::uint8_t b) { return b == 7; }));
                }
            }
            EXPECT_EQ(streamed.bytes, whole.bytes) << w << "x" << h;
        }
    }
}

TEST(Resample, AreaAveragesWholeBlocksExactlyAndInterpolatesWhenEnlarging) {
    // An exact factor of 3: each output pixel is the mean of its 3 x 3 block, as BoxShrink has
    // it (up to rounding of the float sum).
    const Picture source = Noise(30, 12, 3);
    Picture area(10, 4);
    Resample(source.In(), area.Out(), ResampleFilter::Area);
    Picture boxed(10, 4);
    BoxShrink(source.In(), boxed.Out(), 3, 3);
    for (std::size_t i = 0; i < area.bytes.size(); ++i) {
        ASSERT_LE(std::abs(area.bytes[i] - boxed.bytes[i]), 1) << i;
    }
    // Two pixels, 0 and 200, made four: the outer pixels repeat the ends and the inner ones
    // lie between, with no overshoot (a Lanczos kernel would ring past both).
    Picture two = Flat(2, 1, 0, 0, 0);
    two.At(1, 0)[0] = 200;
    Picture four(4, 1);
    Resample(two.In(), four.Out(), ResampleFilter::Area);
    EXPECT_EQ(four.At(0, 0)[0], 0);
    EXPECT_EQ(four.At(1, 0)[0], 50);
    EXPECT_EQ(four.At(2, 0)[0], 150);
    EXPECT_EQ(four.At(3, 0)[0], 200);
}

TEST(Resample, LargeReductionsAverageBlocksFirstAndStayFaithful) {
    // 6000 -> 500 pre-shrinks by 8 and then filters; a smooth ramp must come out as the same
    // ramp sampled at the output centres, within a level (the ramp's bytes are truncated, so
    // it runs half a level below the exact line).
    Picture ramp(6000, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 6000; ++x) {
            std::uint8_t* px = ramp.At(x, y);
            px[0] = px[1] = px[2] = static_cast<std::uint8_t>(x * 255 / 5999);
            px[3] = 255;
        }
    }
    Picture small(500, 1);
    Resample(ramp.In(), small.Out(), ResampleFilter::Lanczos3);
    for (int x = 20; x < 480; ++x) {
        const double centre = (x + 0.5) * 12.0 - 0.5;
        ASSERT_NEAR(small.At(x, 0)[1], centre * 255 / 5999 - 0.5, 1.0) << x;
    }
}

TEST(BoxShrink, AveragesBlocksIncludingShortOnesAtTheEdge) {
    Picture source(5, 3);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            std::uint8_t* px = source.At(x, y);
            px[0] = static_cast<std::uint8_t>(10 * x + y);
            px[1] = px[2] = px[3] = 0;
        }
    }
    Picture target(3, 2);  // 2 x 2 blocks; the last column and row are shorter
    BoxShrink(source.In(), target.Out(), 2, 2);
    // (0+10+1+11)/4 = 5.5 -> 6, (40+41)/2 = 40.5 -> 41, (2+12)/2 = 7, (42)/1 = 42
    EXPECT_EQ(target.At(0, 0)[0], 6);
    EXPECT_EQ(target.At(2, 0)[0], 41);
    EXPECT_EQ(target.At(0, 1)[0], 7);
    EXPECT_EQ(target.At(2, 1)[0], 42);
    Picture wrong(2, 2);
    EXPECT_THROW(BoxShrink(source.In(), wrong.Out(), 2, 2), std::invalid_argument);
}

}  // namespace
}  // namespace tavrino
