#include "wallpaper/decode/Resample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tavrino {

namespace {

constexpr int kChannels = 4;
constexpr double kPi = 3.14159265358979323846;
constexpr double kLobes = 3.0;

// One pixel's four channels. GCC and Clang turn arithmetic on these into vector instructions
// on every target (SSE2 at least on x86-64), lane by lane and in the written order, so results
// do not depend on how well the compiler vectorises a loop.
using Float4 = float __attribute__((vector_size(16)));
using Byte4 = std::uint8_t __attribute__((vector_size(4)));

Float4 LoadPixel(const std::uint8_t* pixel) {
    Byte4 bytes;
    std::memcpy(&bytes, pixel, sizeof bytes);
    return __builtin_convertvector(bytes, Float4);
}

// Lanczos rings a little past black and white: each channel is clamped to 0..255 and rounded
// (half up), in the same way on every path below.
void StorePixel(const Float4& value, std::uint8_t* out) {
#if defined(__SSE2__)
    __m128 v;
    std::memcpy(&v, &value, sizeof v);
    v = _mm_add_ps(_mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(255.0F)),
                   _mm_set1_ps(0.5F));
    const __m128i words = _mm_packs_epi32(_mm_cvttps_epi32(v), _mm_setzero_si128());
    const int bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
    std::memcpy(out, &bytes, kChannels);
#else
    for (int c = 0; c < kChannels; ++c) {
        const float v = std::min(std::max(value[c], 0.0F), 255.0F) + 0.5F;
        out[c] = static_cast<std::uint8_t>(static_cast<int>(v));
    }
#endif
}

// A row of pixels as floats. Written out for SSE2, where compilers otherwise convert one
// channel at a time.
void LoadRow(const std::uint8_t* in, Float4* out, int pixels) {
    int x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; x + 4 <= pixels; x += 4) {
        const __m128i bytes = _mm_loadu_si128(
            reinterpret_cast<const __m128i*>(in + static_cast<std::ptrdiff_t>(x) * kChannels));
        const __m128i low = _mm_unpacklo_epi8(bytes, zero);
        const __m128i high = _mm_unpackhi_epi8(bytes, zero);
        auto* target = reinterpret_cast<float*>(out + x);
        _mm_storeu_ps(target, _mm_cvtepi32_ps(_mm_unpacklo_epi16(low, zero)));
        _mm_storeu_ps(target + 4, _mm_cvtepi32_ps(_mm_unpackhi_epi16(low, zero)));
        _mm_storeu_ps(target + 8, _mm_cvtepi32_ps(_mm_unpacklo_epi16(high, zero)));
        _mm_storeu_ps(target + 12, _mm_cvtepi32_ps(_mm_unpackhi_epi16(high, zero)));
    }
#endif
    for (; x < pixels; ++x) {
        out[x] = LoadPixel(in + static_cast<std::ptrdiff_t>(x) * kChannels);
    }
}

double Lanczos3(double x) {
    x = std::fabs(x);
    if (x < 1e-9) {
        return 1.0;
    }
    if (x >= kLobes) {
        return 0.0;
    }
    const double px = kPi * x;
    return kLobes * std::sin(px) * std::sin(px / kLobes) / (px * px);
}

// For one axis: which input pixels make each output pixel, and with which weights.
struct Taps {
    int count = 0;              // taps per output pixel
    bool identity = false;      // same size: output pixel o is input pixel o
    std::vector<int> first;     // first input index of each output pixel
    std::vector<float> weight;  // count weights per output pixel, summing to 1
};

// weightOf(input index, output index) for the `count` inputs from a window that starts at
// firstOf(output index), clamped so that it stays inside the input.
Taps MakeTaps(int inSize, int outSize, int count, const std::function<double(int)>& firstOf,
              const std::function<double(int, int)>& weightOf) {
    Taps taps;
    taps.count = std::clamp(count, 1, inSize);
    taps.first.resize(static_cast<std::size_t>(outSize));
    taps.weight.assign(static_cast<std::size_t>(outSize) * static_cast<std::size_t>(taps.count),
                       0.0F);
    std::vector<double> raw(static_cast<std::size_t>(taps.count));
    for (int o = 0; o < outSize; ++o) {
        const int first =
            std::clamp(static_cast<int>(std::floor(firstOf(o))), 0, inSize - taps.count);
        double sum = 0.0;
        for (int t = 0; t < taps.count; ++t) {
            const double w = weightOf(first + t, o);
            raw[static_cast<std::size_t>(t)] = w;
            sum += w;
        }
        float* weights =
            &taps.weight[static_cast<std::size_t>(o) * static_cast<std::size_t>(taps.count)];
        for (int t = 0; t < taps.count; ++t) {
            weights[t] = static_cast<float>(raw[static_cast<std::size_t>(t)] / sum);
        }
        taps.first[static_cast<std::size_t>(o)] = first;
    }
    return taps;
}

Taps MakeTaps(int inSize, int outSize, ResampleFilter filter) {
    if (inSize == outSize) {
        Taps taps;
        taps.count = 1;
        taps.identity = true;
        taps.first.resize(static_cast<std::size_t>(outSize));
        for (int o = 0; o < outSize; ++o) {
            taps.first[static_cast<std::size_t>(o)] = o;
        }
        taps.weight.assign(static_cast<std::size_t>(outSize), 1.0F);
        return taps;
    }
    const double scale = static_cast<double>(inSize) / outSize;
    const auto centre = [scale](int o) { return (o + 0.5) * scale - 0.5; };
    if (filter == ResampleFilter::Lanczos3) {
        const double stretch = std::max(scale, 1.0);  // widen the kernel when reducing
        const double support = kLobes * stretch;
        // Every input pixel closer than `support` to an output centre: at most this many.
        return MakeTaps(
            inSize, outSize, static_cast<int>(std::floor(2.0 * support)) + 1,
            [&](int o) { return centre(o) - support + 1.0; },
            [&](int i, int o) { return Lanczos3((i - centre(o)) / stretch); });
    }
    if (scale < 1.0) {
        // Enlarging drawn graphics by averaging areas would show every pixel as a block:
        // interpolate linearly between the two nearest instead.
        return MakeTaps(
            inSize, outSize, 2, [&](int o) { return centre(o); },
            [&](int i, int o) { return std::max(0.0, 1.0 - std::fabs(i - centre(o))); });
    }
    // Output pixel o covers input [o * scale, (o + 1) * scale): each input pixel counts by the
    // part of it that lies inside.
    return MakeTaps(
        inSize, outSize, static_cast<int>(std::ceil(scale)) + 1, [&](int o) { return o * scale; },
        [&](int i, int o) {
            const double from = o * scale;
            const double to = (o + 1) * scale;
            return std::max(0.0, std::min(to, i + 1.0) - std::max(from, static_cast<double>(i)));
        });
}

void CheckSize(int width, int height) {
    if (width < 1 || height < 1) {
        throw std::invalid_argument("empty picture");
    }
}

void CheckView(int width, int height, const void* data) {
    CheckSize(width, height);
    if (data == nullptr) {
        throw std::invalid_argument("empty picture");
    }
}

// Sums of whole blocks of source rows, averaged when a block is complete.
class BlockAverager {
public:
    BlockAverager(int width, int height, int factorX, int factorY)
        : width_(width),
          height_(height),
          factorX_(factorX),
          factorY_(factorY),
          outWidth_((width + factorX - 1) / factorX),
          sums_(static_cast<std::size_t>(outWidth_) * kChannels, 0U),
          row_(sums_.size()) {}

    [[nodiscard]] int OutWidth() const { return outWidth_; }
    [[nodiscard]] int OutHeight() const { return (height_ + factorY_ - 1) / factorY_; }

    // Adds a source row; returns the averaged row when it completes a block, else nullptr.
    const std::uint8_t* Add(const std::uint8_t* in) {
        for (int x = 0, o = 0; x < width_; ++o) {
            const int end = std::min(width_, x + factorX_);
            std::uint32_t* sum = &sums_[static_cast<std::size_t>(o) * kChannels];
            for (; x < end; ++x) {
                for (int c = 0; c < kChannels; ++c) {
                    sum[c] += in[x * kChannels + c];
                }
            }
        }
        ++rowsInBlock_;
        const int blockRows = std::min(factorY_, height_ - blockTop_);
        if (rowsInBlock_ < blockRows) {
            return nullptr;
        }
        for (int o = 0; o < outWidth_; ++o) {
            const int columns = std::min(factorX_, width_ - o * factorX_);
            const auto count = static_cast<std::uint32_t>(columns * blockRows);
            for (int c = 0; c < kChannels; ++c) {
                const std::size_t i =
                    static_cast<std::size_t>(o) * kChannels + static_cast<std::size_t>(c);
                row_[i] = static_cast<std::uint8_t>((sums_[i] + count / 2) / count);
            }
        }
        std::fill(sums_.begin(), sums_.end(), 0U);
        rowsInBlock_ = 0;
        blockTop_ += factorY_;
        return row_.data();
    }

private:
    int width_;
    int height_;
    int factorX_;
    int factorY_;
    int outWidth_;
    int rowsInBlock_ = 0;
    int blockTop_ = 0;
    std::vector<std::uint32_t> sums_;
    std::vector<std::uint8_t> row_;
};

}  // namespace

struct RowResampler::Impl {
    int sourceHeight = 0;
    int taken = 0;
    PixelView destination;
    std::unique_ptr<BlockAverager> blocks;  // only for large Lanczos reductions
    int width = 0;                          // of the rows the filter takes
    int filtered = 0;                       // rows the filter has taken
    int nextOut = 0;                        // next destination row to write
    Taps across;
    Taps down;
    // Filter rows as floats, kept for as long as the kernel still needs them; indexed by row
    // modulo the window size (the rows needed only move downwards).
    std::vector<Float4> window;
    std::vector<Float4> combined;

    void Filter(const std::uint8_t* row);
    void Emit(int y);
};

RowResampler::RowResampler(int sourceWidth, int sourceHeight, const PixelView& destination,
                           ResampleFilter filter)
    : impl_(std::make_unique<Impl>()) {
    CheckSize(sourceWidth, sourceHeight);
    CheckView(destination.width, destination.height, destination.data);
    Impl& d = *impl_;
    d.sourceHeight = sourceHeight;
    d.destination = destination;
    int width = sourceWidth;
    int height = sourceHeight;
    if (filter == ResampleFilter::Lanczos3) {
        const int factorX = std::max(1, static_cast<int>(sourceWidth / (destination.width * 1.5)));
        const int factorY =
            std::max(1, static_cast<int>(sourceHeight / (destination.height * 1.5)));
        if (factorX > 1 || factorY > 1) {
            d.blocks = std::make_unique<BlockAverager>(sourceWidth, sourceHeight, factorX, factorY);
            width = d.blocks->OutWidth();
            height = d.blocks->OutHeight();
        }
    }
    d.width = width;
    d.across = MakeTaps(width, destination.width, filter);
    d.down = MakeTaps(height, destination.height, filter);
    d.window.resize(static_cast<std::size_t>(d.down.count) * static_cast<std::size_t>(width));
    d.combined.resize(static_cast<std::size_t>(width));
}

RowResampler::~RowResampler() = default;

bool RowResampler::Complete() const {
    return impl_->taken == impl_->sourceHeight;
}

void RowResampler::PushRow(const std::uint8_t* row) {
    Impl& d = *impl_;
    if (d.taken == d.sourceHeight) {
        throw std::logic_error("more rows than the picture has");
    }
    ++d.taken;
    if (d.blocks) {
        if (const std::uint8_t* averaged = d.blocks->Add(row)) {
            d.Filter(averaged);
        }
    } else {
        d.Filter(row);
    }
}

void RowResampler::Impl::Filter(const std::uint8_t* row) {
    const int r = filtered++;
    if (across.identity && down.identity) {
        std::memcpy(destination.data + static_cast<std::ptrdiff_t>(r) * destination.stride, row,
                    static_cast<std::size_t>(width) * kChannels);
        return;
    }
    Float4* held =
        &window[static_cast<std::size_t>(r % down.count) * static_cast<std::size_t>(width)];
    LoadRow(row, held, width);
    while (nextOut < destination.height &&
           down.first[static_cast<std::size_t>(nextOut)] + down.count - 1 <= r) {
        Emit(nextOut++);
    }
}

// Each output row is first combined down from the rows under the kernel (contiguous, the
// cheap direction) and then filtered across, so the costly pass runs on output rows only.
void RowResampler::Impl::Emit(int y) {
    const auto count = static_cast<std::size_t>(down.count);
    const int first = down.first[static_cast<std::size_t>(y)];
    const float* w = &down.weight[static_cast<std::size_t>(y) * count];
    constexpr std::size_t kMaxTaps = 64;
    std::array<const Float4*, kMaxTaps> rows{};
    // More taps than that only come with a reduction of over ten times, which the block
    // pre-shrink (or, for areas, its own width) keeps from happening in one step; fall back
    // to accumulating in place if it ever does.
    const std::size_t direct = std::min(count, kMaxTaps);
    for (std::size_t t = 0; t < direct; ++t) {
        rows[t] = &window[static_cast<std::size_t>((first + static_cast<int>(t)) % down.count) *
                          static_cast<std::size_t>(width)];
    }
    const auto pixels = static_cast<std::size_t>(width);
    std::size_t x = 0;
    for (; x + 4 <= pixels; x += 4) {  // four pixels in registers at a time
        Float4 a0 = w[0] * rows[0][x];
        Float4 a1 = w[0] * rows[0][x + 1];
        Float4 a2 = w[0] * rows[0][x + 2];
        Float4 a3 = w[0] * rows[0][x + 3];
        for (std::size_t t = 1; t < direct; ++t) {
            const Float4* in = rows[t] + x;
            a0 += w[t] * in[0];
            a1 += w[t] * in[1];
            a2 += w[t] * in[2];
            a3 += w[t] * in[3];
        }
        combined[x] = a0;
        combined[x + 1] = a1;
        combined[x + 2] = a2;
        combined[x + 3] = a3;
    }
    for (; x < pixels; ++x) {
        Float4 a = w[0] * rows[0][x];
        for (std::size_t t = 1; t < direct; ++t) {
            a += w[t] * rows[t][x];
        }
        combined[x] = a;
    }
    for (std::size_t t = direct; t < count; ++t) {
        const Float4* in =
            &window[static_cast<std::size_t>((first + static_cast<int>(t)) % down.count) * pixels];
        for (std::size_t i = 0; i < pixels; ++i) {
            combined[i] += w[t] * in[i];
        }
    }

    std::uint8_t* out = destination.data + static_cast<std::ptrdiff_t>(y) * destination.stride;
    if (across.identity) {
        for (std::size_t o = 0; o < pixels; ++o) {
            StorePixel(combined[o], out + o * kChannels);
        }
        return;
    }
    const auto acrossCount = static_cast<std::size_t>(across.count);
    for (std::size_t o = 0; o < static_cast<std::size_t>(destination.width); ++o) {
        const float* weights = &across.weight[o * acrossCount];
        const Float4* p = &combined[static_cast<std::size_t>(across.first[o])];
        Float4 acc = weights[0] * p[0];
        for (std::size_t t = 1; t < acrossCount; ++t) {
            acc += weights[t] * p[t];
        }
        StorePixel(acc, out + o * kChannels);
    }
}

namespace {

void ResampleWhole(const ConstPixelView& source, RowResampler& resampler) {
    for (int y = 0; y < source.height; ++y) {
        resampler.PushRow(source.data + static_cast<std::ptrdiff_t>(y) * source.stride);
    }
}

}  // namespace

void Resample(const ConstPixelView& source, const PixelView& destination, ResampleFilter filter) {
    CheckView(source.width, source.height, source.data);
    RowResampler resampler(source.width, source.height, destination, filter);
    ResampleWhole(source, resampler);
}

void BoxShrink(const ConstPixelView& source, const PixelView& destination, int factorX,
               int factorY) {
    CheckView(source.width, source.height, source.data);
    CheckView(destination.width, destination.height, destination.data);
    if (factorX < 1 || factorY < 1 || destination.width != (source.width + factorX - 1) / factorX ||
        destination.height != (source.height + factorY - 1) / factorY) {
        throw std::invalid_argument("box shrink sizes do not match");
    }
    BlockAverager blocks(source.width, source.height, factorX, factorY);
    int out = 0;
    for (int y = 0; y < source.height; ++y) {
        if (const std::uint8_t* row =
                blocks.Add(source.data + static_cast<std::ptrdiff_t>(y) * source.stride)) {
            std::memcpy(destination.data + static_cast<std::ptrdiff_t>(out++) * destination.stride,
                        row, static_cast<std::size_t>(destination.width) * kChannels);
        }
    }
}

}  // namespace tavrino
