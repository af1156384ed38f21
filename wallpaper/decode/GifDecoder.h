// GIF decoding straight into the size that will be drawn: giflib hands the first picture's
// rows over one by one and they go through the filter as they come, as the JPEG ones do.
#pragma once

#include <QSize>
#include <QtGlobal>
#include <memory>

class QIODevice;
class QImage;

namespace tavrino {

struct DecodeLimits;

class GifDecoder {
public:
    // Reads the file up to the first picture's descriptor. A picture (or its frame) beyond
    // the limits is refused before any pixel is read. Throws tavrino::Error: InvalidPicture,
    // or OutOfMemory beyond the limits.
    GifDecoder(QIODevice& device, const DecodeLimits& limits);
    ~GifDecoder();
    GifDecoder(const GifDecoder&) = delete;
    GifDecoder& operator=(const GifDecoder&) = delete;

    // The picture's size: its logical screen, as every viewer shows it.
    [[nodiscard]] QSize Size() const { return screen_; }
    // True when the first picture has a transparent colour.
    [[nodiscard]] bool HasTransparency() const { return transparent_ >= 0; }

    // Decodes the first picture into image (Format_ARGB32_Premultiplied when it has a
    // transparent colour, else Format_RGB32; any size): parts of the screen outside the frame
    // take the background colour, or stay transparent. Once only. Throws Error InvalidPicture
    // for damaged data.
    void DecodeInto(QImage& image);

private:
    struct File;
    std::unique_ptr<File> file_;
    QSize screen_;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;  // of the frame as shown (clamped to the screen)
    int height_ = 0;
    int transparent_ = -1;
    bool used_ = false;
};

}  // namespace tavrino
