// The resizing filter behind the wallpaper and the preview: flat colours stay exact at every
// ratio, and rows are taken until the picture is complete.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "wallpaper/decode/Resample.h"

namespace tavrino {
namespace {

struct Picture {
    int w, h;
    std::vector<std::uint8_t> bytes =
        std::vector<std::uint8_t>(std::size_t(w) * std::size_t(h) * 4);
    ConstPixelView In() const { return {bytes.data(), w, h, w * 4}; }
    PixelView Out() { return {bytes.data(), w, h, w * 4}; }
};

// Noise, or with seed 0 one flat opaque colour.
Picture Filled(int w, int h, unsigned seed) {
    constexpr std::uint8_t kFlat[] = {12, 200, 255, 255};
    Picture p{w, h};
    for (std::size_t i = 0; i < p.bytes.size(); ++i) {
        p.bytes[i] = seed == 0 ? kFlat[i % 4] : std::uint8_t(((i + seed) * 2654435761U) >> 13U);
    }
    return p;
}

TEST(Resample, FlatColourStaysExactAtEveryRatioAndSameSizeIsACopy) {
    // clang-format off
    const std::vector<std::pair<int, int>> sizes[] = {
        {{3000, 2000}, {1920, 1080}}, {{100, 50}, {1024, 768}}, {{1, 1}, {640, 480}}, {{640, 480}, {1, 1}},
        {{5000, 1}, {3, 1}}, {{1, 5000}, {1, 7}}, {{33, 17}, {65, 9}}, {{6000, 3}, {500, 1}},
    };
    // clang-format on
    for (const ResampleFilter filter : {ResampleFilter::Lanczos3, ResampleFilter::Area}) {
        for (const auto& s : sizes) {
            Picture target{s[1].first, s[1].second};
            Resample(Filled(s[0].first, s[0].second, 0).In(), target.Out(), filter);
            EXPECT_EQ(target.bytes, Filled(target.w, target.h, 0).bytes) << s[0].first;
        }
        Picture copy{37, 23};
        Resample(Filled(37, 23, 7).In(), copy.Out(), filter);
        EXPECT_EQ(copy.bytes, Filled(37, 23, 7).bytes);
    }
}

TEST(Resample, RowsAreTakenUntilThePictureIsCompleteAndNoneAfter) {
    const Picture source = Filled(30, 20, 7);
    Picture target{9, 6};
    RowResampler rows(30, 20, target.Out());
    for (int y = 0; y < 20; ++y) {
        EXPECT_FALSE(rows.Complete());
        rows.PushRow(source.bytes.data() + std::size_t(y) * 30 * 4);
    }
    EXPECT_TRUE(rows.Complete());
    EXPECT_THROW(rows.PushRow(source.bytes.data()), std::logic_error);
    EXPECT_THROW(RowResampler(0, 3, target.Out()), std::invalid_argument);
}

}  // namespace
}  // namespace tavrino
