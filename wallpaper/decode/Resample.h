// High-quality resizing of 4-byte pixels (any channel order, alpha premultiplied if any):
// separable filters in single precision with a fixed order of operations, so the same input
// always gives the same bytes. The picture is taken one row at a time, top to bottom, and only
// a small window of rows is kept, so a decoder can hand its rows over as it makes them and the
// full-size picture never has to exist.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tavrino {

struct PixelView {
    std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;  // bytes from one row to the next
};

struct ConstPixelView {
    const std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;
};

enum class ResampleFilter {
    // Photographs: Lanczos-3. A reduction by more than three times is first averaged down in
    // whole blocks to within 1.5 to 3 times the size, which costs far less than a kernel that
    // wide and looks the same.
    Lanczos3,
    // Drawn graphics in a few colours: each output pixel is the average of the area it
    // covers, which keeps hard edges free of the faint halos a sharper filter leaves.
    Area,
};

// Resizes a picture handed over row by row into destination. Each output channel is the
// filtered input channel, rounded and clamped to 0..255, so a picture of one colour stays
// exactly that colour, and an axis whose size does not change is copied, not filtered.
class RowResampler {
public:
    // Throws std::invalid_argument when either size is empty.
    RowResampler(int sourceWidth, int sourceHeight, const PixelView& destination,
                 ResampleFilter filter = ResampleFilter::Lanczos3);
    ~RowResampler();
    RowResampler(const RowResampler&) = delete;
    RowResampler& operator=(const RowResampler&) = delete;

    // Takes the next source row (sourceWidth pixels of 4 bytes) and writes every destination
    // row it completes. Throws std::logic_error after the last row.
    void PushRow(const std::uint8_t* row);
    // True once every source row has been taken, and so every destination row written.
    [[nodiscard]] bool Complete() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The whole of source into destination with the given filter (both at least 1 x 1; sizes
// taken from the views). Throws std::invalid_argument on empty views.
void Resample(const ConstPixelView& source, const PixelView& destination, ResampleFilter filter);

// Averages blocks of factorX x factorY pixels (the last block of a row or column may be
// smaller): destination must be ceil(width / factorX) x ceil(height / factorY).
void BoxShrink(const ConstPixelView& source, const PixelView& destination, int factorX,
               int factorY);

}  // namespace tavrino
