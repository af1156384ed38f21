#include "wallpaper/decode/GifDecoder.h"

#include <gif_lib.h>

#include <QIODevice>
#include <QImage>
#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/errors/Errors.h"
#include "wallpaper/decode/ImageDecoding.h"
#include "wallpaper/decode/Resample.h"
#include "wallpaper/decode/RowPipeline.h"

namespace tavrino {

namespace {

[[noreturn]] void ThrowGifError(int code) {
    // giflib's reads fail only at the end of the data: the file was cut off.
    if (code == D_GIF_ERR_READ_FAILED || code == D_GIF_ERR_EOF_TOO_SOON) {
        ThrowInvalidPicture(kTruncatedPicture);
    }
    const char* text = GifErrorString(code);
    ThrowInvalidPicture(text != nullptr ? text : "damaged GIF data");
}

// giflib asks for a few bytes at a time (a length byte, then up to 255 bytes of data): serve
// it from chunks rather than asking the file each time.
struct Input {
    QIODevice* device = nullptr;
    std::array<char, std::size_t{64} * 1024> buffer{};
    qint64 held = 0;
    qint64 used = 0;
};

int ReadDevice(GifFileType* gif, GifByteType* out, int length) {
    auto& input = *static_cast<Input*>(gif->UserData);
    int copied = 0;
    while (copied < length) {
        if (input.used == input.held) {
            input.held = qMax<qint64>(
                0,
                input.device->read(input.buffer.data(), static_cast<qint64>(input.buffer.size())));
            input.used = 0;
            if (input.held == 0) {
                break;
            }
        }
        const qint64 take = qMin<qint64>(length - copied, input.held - input.used);
        std::copy_n(input.buffer.data() + input.used, take, reinterpret_cast<char*>(out) + copied);
        input.used += take;
        copied += static_cast<int>(take);
    }
    return copied;
}

}  // namespace

struct GifDecoder::File {
    Input input;
    GifFileType* gif = nullptr;
    int frameWidth = 0;  // as stored
    int frameHeight = 0;

    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() {
        if (gif != nullptr) {
            int ignored = 0;
            DGifCloseFile(gif, &ignored);
        }
    }
};

GifDecoder::GifDecoder(QIODevice& device, const DecodeLimits& limits)
    : file_(std::make_unique<File>()) {
    int error = 0;
    file_->input.device = &device;
    file_->gif = DGifOpen(&file_->input, ReadDevice, &error);
    GifFileType* gif = file_->gif;
    if (gif == nullptr) {
        ThrowGifError(error);
    }
    // Extensions before the first picture: only a graphic control block (its transparent
    // colour) matters for a still.
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &record) == GIF_ERROR) {
            ThrowGifError(gif->Error);
        }
        if (record == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR) {
                ThrowGifError(gif->Error);
            }
            break;
        }
        if (record == TERMINATE_RECORD_TYPE) {
            ThrowInvalidPicture("no picture in the file");
        }
        if (record != EXTENSION_RECORD_TYPE) {
            ThrowInvalidPicture("damaged GIF data");
        }
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
            ThrowGifError(gif->Error);
        }
        if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4) {
            GraphicsControlBlock control{};
            if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
                transparent_ = control.TransparentColor;
            }
        }
        while (block != nullptr) {
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
                ThrowGifError(gif->Error);
            }
        }
    }

    const GifImageDesc& frame = gif->Image;
    file_->frameWidth = frame.Width;
    file_->frameHeight = frame.Height;
    if (frame.Width <= 0 || frame.Height <= 0) {
        ThrowInvalidPicture("the picture has no size");
    }
    CheckDecodeLimits(QSize(frame.Width, frame.Height), limits, "a picture");
    // A screen of no size is taken to be the frame's.
    screen_ = gif->SWidth > 0 && gif->SHeight > 0 ? QSize(gif->SWidth, gif->SHeight)
                                                  : QSize(frame.Width, frame.Height);
    CheckDecodeLimits(screen_, limits, "a picture");
    // What lies off the screen is not shown.
    left_ = std::min(frame.Left, screen_.width());
    top_ = std::min(frame.Top, screen_.height());
    width_ = std::clamp(screen_.width() - left_, 0, frame.Width);
    height_ = std::clamp(screen_.height() - top_, 0, frame.Height);
}

GifDecoder::~GifDecoder() = default;

void GifDecoder::DecodeInto(QImage& image) {
    const QImage::Format format =
        HasTransparency() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (used_ || image.isNull() || image.format() != format) {
        throw std::logic_error("GifDecoder::DecodeInto: used twice or the wrong image format");
    }
    used_ = true;
    GifFileType* gif = file_->gif;
    const ColorMapObject* map =
        gif->Image.ColorMap != nullptr ? gif->Image.ColorMap : gif->SColorMap;
    // Colours missing from a short (or absent) table are black.
    std::array<QRgb, 256> colours{};
    colours.fill(qRgb(0, 0, 0));
    if (map != nullptr && map->Colors != nullptr) {
        const int count = std::clamp(map->ColorCount, 0, 256);
        for (int i = 0; i < count; ++i) {
            const GifColorType& c = map->Colors[i];
            colours[static_cast<std::size_t>(i)] = qRgb(c.Red, c.Green, c.Blue);
        }
    }
    // The screen's background colour is an entry of the global table.
    QRgb background = qRgb(0, 0, 0);
    const ColorMapObject* global = gif->SColorMap;
    if (global != nullptr && global->Colors != nullptr && gif->SBackGroundColor >= 0 &&
        gif->SBackGroundColor < global->ColorCount) {
        const GifColorType& c = global->Colors[gif->SBackGroundColor];
        background = qRgb(c.Red, c.Green, c.Blue);
    }
    if (HasTransparency()) {
        background = 0;  // around a transparent picture, the desktop shows through
    }
    if (transparent_ >= 0 && transparent_ < 256) {
        colours[static_cast<std::size_t>(transparent_)] = 0;
    }

    const int screenWidth = screen_.width();
    RowResampler resampler(
        screenWidth, screen_.height(),
        PixelView{image.bits(), image.width(), image.height(), image.bytesPerLine()},
        ResampleFilter::Area);
    const std::size_t rowBytes = static_cast<std::size_t>(screenWidth) * sizeof(QRgb);
    RowPipeline rows(resampler, rowBytes);
    const auto pushBackground = [&] {
        auto* out = reinterpret_cast<QRgb*>(rows.Row());
        std::fill(out, out + screenWidth, background);
        rows.Push();
    };
    const auto pushFrameRow = [&](const GifPixelType* indices) {
        auto* out = reinterpret_cast<QRgb*>(rows.Row());
        std::fill(out, out + left_, background);
        for (int x = 0; x < width_; ++x) {
            out[left_ + x] = colours[indices[x]];
        }
        std::fill(out + left_ + width_, out + screenWidth, background);
        rows.Push();
    };

    for (int y = 0; y < top_; ++y) {
        pushBackground();
    }
    const int stored = file_->frameWidth;
    if (gif->Image.Interlace) {
        // Rows come in four passes: gather the frame (one byte a pixel) and then hand it on.
        std::vector<GifPixelType> frame(static_cast<std::size_t>(stored) *
                                        static_cast<std::size_t>(file_->frameHeight));
        constexpr std::array<int, 4> kStart{0, 4, 2, 1};
        constexpr std::array<int, 4> kStep{8, 8, 4, 2};
        for (std::size_t pass = 0; pass < kStart.size(); ++pass) {
            for (int y = kStart[pass]; y < file_->frameHeight; y += kStep[pass]) {
                GifPixelType* line =
                    &frame[static_cast<std::size_t>(y) * static_cast<std::size_t>(stored)];
                if (DGifGetLine(gif, line, stored) == GIF_ERROR) {
                    ThrowGifError(gif->Error);
                }
            }
        }
        for (int y = 0; y < height_; ++y) {
            pushFrameRow(&frame[static_cast<std::size_t>(y) * static_cast<std::size_t>(stored)]);
        }
    } else {
        std::vector<GifPixelType> line(static_cast<std::size_t>(stored));
        for (int y = 0; y < height_; ++y) {
            if (DGifGetLine(gif, line.data(), stored) == GIF_ERROR) {
                ThrowGifError(gif->Error);
            }
            pushFrameRow(line.data());
        }
    }
    for (int y = top_ + height_; y < screen_.height(); ++y) {
        pushBackground();
    }
    rows.Finish();
}

}  // namespace tavrino
