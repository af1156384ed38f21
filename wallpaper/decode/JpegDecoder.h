// JPEG decoding straight into the size that will be drawn: libjpeg-turbo shrinks by any eighth
// while it decodes, and its rows go through the filter as they come, so a 24-megapixel photo
// is never held at full size (nor even at half).
#pragma once

#include <QImageIOHandler>
#include <QSize>
#include <QtGlobal>
#include <memory>

class QIODevice;
class QImage;

namespace tavrino {

class JpegDecoder {
public:
    // Reads the header from device (positioned at the start of the picture). memoryLimit caps
    // what the decoder itself may allocate (a progressive picture keeps all its coefficients).
    // Throws tavrino::Error InvalidPicture when it is not a JPEG picture it can decode.
    JpegDecoder(QIODevice& device, qint64 memoryLimit);
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    // As stored, before the EXIF orientation is applied.
    [[nodiscard]] QSize StoredSize() const;
    // The turn the EXIF orientation asks for (none when there is none or it is damaged).
    [[nodiscard]] QImageIOHandler::Transformations Orientation() const;

    // Decodes into image (Format_RGB32, any size, stored orientation): shrunk by the decoder
    // to the smallest eighth no smaller than the image, then filtered to its exact size.
    // Once only. Throws tavrino::Error InvalidPicture for damaged data.
    void DecodeInto(QImage& image);

    // Puts an image decoded in the stored orientation upright.
    static QImage Oriented(const QImage& image, QImageIOHandler::Transformations turn);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tavrino
