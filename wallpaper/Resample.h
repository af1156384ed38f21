// High-quality resizing of 4-byte pixels (any channel order, alpha premultiplied if any):
// separable Lanczos-3 in single precision with a fixed order of operations, so the same input
// always gives the same bytes, plus a box pre-shrink for large reductions. Works row by row
// and keeps only a small window of source rows, so it adds next to nothing to the memory of
// the two pictures.
#pragma once

#include <cstddef>
#include <cstdint>

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

// Resizes source into destination (both at least 1 x 1; sizes taken from the views). Each
// output channel is the filtered input channel, rounded and clamped to 0..255, so a picture
// of one colour stays exactly that colour. Throws std::invalid_argument on empty views.
void ResampleLanczos3(const ConstPixelView& source, const PixelView& destination);

// Averages blocks of factorX x factorY pixels (the last block of a row or column may be
// smaller): destination must be ceil(width / factorX) x ceil(height / factorY).
void BoxShrink(const ConstPixelView& source, const PixelView& destination, int factorX,
               int factorY);

}  // namespace tavrino
