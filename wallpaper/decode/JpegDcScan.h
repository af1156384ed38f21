// A JPEG shown at an eighth of its size needs only each block's first (DC) coefficient, yet
// a baseline picture stores it between all the others, Huffman-coded in one stream that
// libjpeg reads on one core: on a 24-megapixel photo that takes longer than a preview may.
// This reads that stream on two cores. The second starts in the middle, in the dark; Huffman
// codes fall back into step within a few blocks, and the first, reading from the start, takes
// over the second's results from the first block where both were at the same bit. Only a
// clean single-scan baseline stream is read here; anything else is left to libjpeg.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrino {

class RowPipeline;

// What the scan needs of the picture's header, as libjpeg read it.
struct DcScanHeader {
    struct Component {
        int h = 1;  // sampling factors
        int v = 1;
        const std::uint8_t* dcBits = nullptr;  // a Huffman table: 17 counts (the first unused)
        const std::uint8_t* dcValues = nullptr;
        const std::uint8_t* acBits = nullptr;
        const std::uint8_t* acValues = nullptr;
        const std::uint16_t* quant = nullptr;  // 64 quantisation steps, in natural order
    };
    int width = 0;  // pixels
    int height = 0;
    std::vector<Component> components;      // in the picture's order: grey, or Y, Cb, Cr
    std::array<int, 3> scanOrder{0, 1, 2};  // the components in the order the scan has them
};

// Decodes the picture at an eighth of its size (each side rounded up) into Format_RGB32 rows
// handed to rows, exactly as libjpeg does, from the entropy-coded data in data[0, size) (the
// bytes after the scan header, to the end of the file). Returns false, having handed over no
// row, when the data is not a whole, clean scan of that header: libjpeg then decodes it.
bool DecodeDcEighth(const DcScanHeader& header, const std::uint8_t* data, std::size_t size,
                    RowPipeline& rows);

}  // namespace tavrino
