#include "wallpaper/Resample.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace tavrino {

namespace {

constexpr int kChannels = 4;
constexpr double kPi = 3.14159265358979323846;
constexpr double kLobes = 3.0;

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
    std::vector<int> first;     // first input index of each output pixel
    std::vector<float> weight;  // count weights per output pixel, summing to 1
};

Taps MakeTaps(int inSize, int outSize) {
    const double scale = static_cast<double>(inSize) / outSize;
    const double stretch = std::max(scale, 1.0);  // widen the kernel when reducing
    const double support = kLobes * stretch;
    Taps taps;
    // Every input pixel closer than `support` to an output centre: at most this many.
    taps.count = std::min(inSize, static_cast<int>(std::floor(2.0 * support)) + 1);
    taps.first.resize(static_cast<std::size_t>(outSize));
    taps.weight.assign(static_cast<std::size_t>(outSize) * static_cast<std::size_t>(taps.count),
                       0.0F);
    std::vector<double> raw(static_cast<std::size_t>(taps.count));
    for (int o = 0; o < outSize; ++o) {
        const double centre = (o + 0.5) * scale - 0.5;
        // The window covers the kernel and stays inside the input (edge pixels repeat).
        int first = static_cast<int>(std::floor(centre - support)) + 1;
        first = std::clamp(first, 0, inSize - taps.count);
        double sum = 0.0;
        for (int t = 0; t < taps.count; ++t) {
            const double w = Lanczos3((first + t - centre) / stretch);
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

void CheckView(int width, int height, const void* data) {
    if (width < 1 || height < 1 || data == nullptr) {
        throw std::invalid_argument("empty picture");
    }
}

}  // namespace

// Float arithmetic in plain loops that compilers turn into vector code on every target; the
// order of operations is fixed, so a build always gives the same bytes for the same input.
// Each output row is first combined down from the source rows under the kernel (contiguous,
// the cheap direction) and then filtered across, so the costly pass runs on output rows only.
void ResampleLanczos3(const ConstPixelView& source, const PixelView& destination) {
    CheckView(source.width, source.height, source.data);
    CheckView(destination.width, destination.height, destination.data);
    const Taps across = MakeTaps(source.width, destination.width);
    const Taps down = MakeTaps(source.height, destination.height);
    const auto inValues = static_cast<std::size_t>(source.width) * kChannels;

    // Source rows as floats, kept for as long as the kernel still needs them; indexed by
    // source row modulo the window size (the rows needed only move downwards).
    const auto windowRows = static_cast<std::size_t>(down.count);
    std::vector<float> window(windowRows * inValues);
    std::vector<int> windowHolds(windowRows, -1);
    std::vector<const float*> rows(windowRows);
    std::vector<float> combined(inValues);

    constexpr std::size_t kBlock = 16;  // values summed in registers at a time
    const auto downCount = static_cast<std::size_t>(down.count);
    const auto acrossCount = static_cast<std::size_t>(across.count);
    for (int y = 0; y < destination.height; ++y) {
        const int first = down.first[static_cast<std::size_t>(y)];
        for (std::size_t t = 0; t < downCount; ++t) {
            const int sourceRow = first + static_cast<int>(t);
            const std::size_t slot = static_cast<std::size_t>(sourceRow) % windowRows;
            float* held = &window[slot * inValues];
            if (windowHolds[slot] != sourceRow) {
                const std::uint8_t* in =
                    source.data + static_cast<std::ptrdiff_t>(sourceRow) * source.stride;
                for (std::size_t i = 0; i < inValues; ++i) {
                    held[i] = in[i];
                }
                windowHolds[slot] = sourceRow;
            }
            rows[t] = held;
        }

        const float* w = &down.weight[static_cast<std::size_t>(y) * downCount];
        for (std::size_t i = 0; i < inValues; i += kBlock) {
            const std::size_t n = std::min(kBlock, inValues - i);
            float acc[kBlock] = {};
            for (std::size_t t = 0; t < downCount; ++t) {
                const float* in = rows[t] + i;
                const float weight = w[t];
                if (n == kBlock) {
                    for (std::size_t k = 0; k < kBlock; ++k) {
                        acc[k] += weight * in[k];
                    }
                } else {
                    for (std::size_t k = 0; k < n; ++k) {
                        acc[k] += weight * in[k];
                    }
                }
            }
            for (std::size_t k = 0; k < n; ++k) {
                combined[i + k] = acc[k];
            }
        }

        std::uint8_t* out = destination.data + static_cast<std::ptrdiff_t>(y) * destination.stride;
        for (std::size_t o = 0; o < static_cast<std::size_t>(destination.width); ++o) {
            const float* weights = &across.weight[o * acrossCount];
            const float* p = &combined[static_cast<std::size_t>(across.first[o]) * kChannels];
            float acc[kChannels] = {};
            for (std::size_t t = 0; t < acrossCount; ++t) {
                const float weight = weights[t];
                const float* pixel = p + t * kChannels;
                for (std::size_t c = 0; c < kChannels; ++c) {
                    acc[c] += weight * pixel[c];
                }
            }
            for (std::size_t c = 0; c < kChannels; ++c) {
                // Lanczos rings a little past black and white; round and clamp.
                const float v = std::min(std::max(acc[c], 0.0F), 255.0F) + 0.5F;
                out[o * kChannels + c] = static_cast<std::uint8_t>(static_cast<int>(v));
            }
        }
    }
}

void BoxShrink(const ConstPixelView& source, const PixelView& destination, int factorX,
               int factorY) {
    CheckView(source.width, source.height, source.data);
    CheckView(destination.width, destination.height, destination.data);
    if (factorX < 1 || factorY < 1 || destination.width != (source.width + factorX - 1) / factorX ||
        destination.height != (source.height + factorY - 1) / factorY) {
        throw std::invalid_argument("box shrink sizes do not match");
    }
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(destination.width) * kChannels);
    for (int y = 0; y < destination.height; ++y) {
        std::fill(sums.begin(), sums.end(), 0U);
        const int top = y * factorY;
        const int rows = std::min(factorY, source.height - top);
        for (int r = 0; r < rows; ++r) {
            const std::uint8_t* in =
                source.data + static_cast<std::ptrdiff_t>(top + r) * source.stride;
            for (int x = 0; x < source.width; ++x) {
                const auto o = static_cast<std::size_t>(x / factorX) * kChannels;
                for (int c = 0; c < kChannels; ++c) {
                    sums[o + static_cast<std::size_t>(c)] += in[x * kChannels + c];
                }
            }
        }
        std::uint8_t* out = destination.data + static_cast<std::ptrdiff_t>(y) * destination.stride;
        for (int x = 0; x < destination.width; ++x) {
            const int columns = std::min(factorX, source.width - x * factorX);
            const auto count = static_cast<std::uint32_t>(columns * rows);
            for (int c = 0; c < kChannels; ++c) {
                const std::size_t i =
                    static_cast<std::size_t>(x) * kChannels + static_cast<std::size_t>(c);
                out[i] = static_cast<std::uint8_t>((sums[i] + count / 2) / count);
            }
        }
    }
}

}  // namespace tavrino
