#include "wallpaper/decode/ImageDecoding.h"

#include <QFile>
#include <QIODevice>
#include <QImageIOHandler>
#include <QImageReader>
#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>

#include "library/PathText.h"
#include "support/errors/Errors.h"
#include "wallpaper/decode/GifDecoder.h"
#include "wallpaper/decode/JpegDecoder.h"
#include "wallpaper/decode/Resample.h"

namespace tavrino {

namespace {

[[noreturn]] void ThrowInvalid(const QString& why) {
    ThrowInvalidPicture(why.toStdString());
}

enum class Kind { Other, Jpeg, Gif, Bmp };

Kind KindOf(QIODevice& device) {
    const QByteArray head = device.peek(4);
    if (head.size() >= 2 && static_cast<unsigned char>(head[0]) == 0xFF &&
        static_cast<unsigned char>(head[1]) == 0xD8) {
        return Kind::Jpeg;
    }
    if (head.startsWith("GIF8")) {
        return Kind::Gif;
    }
    if (head.startsWith("BM")) {
        return Kind::Bmp;
    }
    return Kind::Other;
}

// Qt's BMP decoder also keeps a short file's rows. Uncompressed pixel data has a known
// length; a compressed one is left to the decoder.
bool BmpIsWhole(QIODevice& device) {
    const qint64 start = device.pos();
    const QByteArray header = device.peek(34);
    if (header.size() < 34) {
        return false;
    }
    const auto le = [&](int at, int bytes) {
        quint32 value = 0;
        for (int i = bytes - 1; i >= 0; --i) {
            value = (value << 8U) | static_cast<unsigned char>(header[at + i]);
        }
        return value;
    };
    const quint32 offset = le(10, 4);
    const quint32 infoSize = le(14, 4);
    qint64 width = 0;
    qint64 height = 0;
    quint32 bits = 0;
    quint32 compression = 0;
    if (infoSize == 12) {
        width = le(18, 2);
        height = le(20, 2);
        bits = le(24, 2);
    } else if (infoSize >= 40) {
        width = static_cast<qint32>(le(18, 4));
        height = static_cast<qint32>(le(22, 4));
        bits = le(28, 2);
        compression = le(30, 4);
    } else {
        return false;
    }
    constexpr quint32 kRgb = 0;
    constexpr quint32 kBitFields = 3;
    if (compression != kRgb && compression != kBitFields) {
        return true;
    }
    // Header fields are at most 32 bits, so the stride fits; the product is checked by
    // division because a hostile header can make it overflow.
    const qint64 stride = (qAbs(width) * bits + 31) / 32 * 4;
    const qint64 available = device.size() - start - qint64{offset};
    if (available < 0) {
        return false;
    }
    return stride == 0 || qAbs(height) <= available / stride;
}

PixelView ViewOf(QImage& image) {
    return {image.bits(), image.width(), image.height(), image.bytesPerLine()};
}

QImage NewImage(QSize size, QImage::Format format) {
    QImage image(size, format);
    if (image.isNull()) {
        throw Error(errnum::OutOfMemory);
    }
    return image;
}

// Resizes with our own filters: Qt's smooth scaling is a box filter that blurs a photo
// visibly. Transparent pictures are filtered premultiplied so edges do not darken.
QImage Resize(const QImage& picture, QSize wanted, ResampleFilter filter) {
    const QImage::Format format =
        picture.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    const QImage source = picture.convertToFormat(format);
    if (source.isNull()) {
        throw Error(errnum::OutOfMemory);
    }
    QImage result = NewImage(wanted, format);
    Resample({source.constBits(), source.width(), source.height(), source.bytesPerLine()},
             ViewOf(result), filter);
    return result;
}

// The size to draw, checked: a chooser may ask for more than the picture itself.
QSize Wanted(const DecodeSizeChooser& chooseSize, QSize natural, const DecodeLimits& limits) {
    CheckDecodeLimits(natural, limits, "a picture");
    const QSize wanted = chooseSize(natural);
    if (wanted.isEmpty()) {
        ThrowInvalid(QStringLiteral("nothing to draw"));
    }
    CheckDecodeLimits(wanted, limits, "a bitmap");
    return wanted;
}

DecodedPicture DecodeJpeg(QIODevice& device, const DecodeSizeChooser& chooseSize,
                          const DecodeLimits& limits) {
    JpegDecoder jpeg(device, limits.maxBytes);
    const QSize stored = jpeg.StoredSize();
    if (stored.isEmpty()) {
        ThrowInvalid(QStringLiteral("the picture has no size"));
    }
    // The decoder works in the stored orientation; the turn comes after it, on the small
    // result.
    const QImageIOHandler::Transformations turn = jpeg.Orientation();
    const bool turned = turn.testFlag(QImageIOHandler::TransformationRotate90);
    const QSize natural = turned ? stored.transposed() : stored;
    const QSize wanted = Wanted(chooseSize, natural, limits);
    QImage image = NewImage(turned ? wanted.transposed() : wanted, QImage::Format_RGB32);
    jpeg.DecodeInto(image);
    return {JpegDecoder::Oriented(image, turn), natural};
}

DecodedPicture DecodeGif(QIODevice& device, const DecodeSizeChooser& chooseSize,
                         const DecodeLimits& limits) {
    GifDecoder gif(device, limits);
    const QSize natural = gif.Size();
    const QSize wanted = Wanted(chooseSize, natural, limits);
    QImage image = NewImage(
        wanted, gif.HasTransparency() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    gif.DecodeInto(image);
    return {image, natural};
}

// BMP pictures, through Qt's reader.
DecodedPicture DecodeWithQt(QIODevice& device, const DecodeSizeChooser& chooseSize,
                            const DecodeLimits& limits) {
    // Qt's reader keeps what it has of a cut-off file.
    if (!BmpIsWhole(device)) {
        ThrowInvalidPicture(kTruncatedPicture);
    }
    // The content has been recognised already: only the BMP reader is tried.
    QImageReader reader(&device, "bmp");
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    // Qt's own ceiling on any one allocation of the decoder, in MiB.
    reader.setAllocationLimit(static_cast<int>(qMax<qint64>(1, limits.maxBytes >> 20)));
    if (!reader.canRead()) {
        ThrowInvalid(QStringLiteral("not a JPEG, GIF or BMP picture"));
    }
    QSize stored = reader.size();
    // Qt's BMP reader gives the header's height as stored: negative for rows kept top-down,
    // which is a valid picture of that many rows.
    stored.setHeight(qAbs(stored.height()));
    if (!stored.isValid() || stored.isEmpty()) {
        ThrowInvalid(QStringLiteral("the picture has no size"));
    }
    const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const QSize natural = turned ? stored.transposed() : stored;
    const QSize wanted = Wanted(chooseSize, natural, limits);

    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        ThrowInvalid(reader.errorString());
    }
    if (image.size() != wanted) {
        image = Resize(image, wanted, ResampleFilter::Lanczos3);
    }
    return {image, natural};
}

}  // namespace

void ThrowInvalidPicture(const std::string& why) {
    throw Error(errnum::InvalidPicture,
                std::string(DefaultDescription(errnum::InvalidPicture)) + " (" + why + ")");
}

void CheckDecodeLimits(QSize size, const DecodeLimits& limits, const char* what) {
    const qint64 bytes = qint64{size.width()} * size.height() * 4;
    if (size.width() > limits.maxSide || size.height() > limits.maxSide ||
        bytes > limits.maxBytes) {
        throw Error(errnum::OutOfMemory,
                    std::string(DefaultDescription(errnum::OutOfMemory)) + " (" + what + " of " +
                        std::to_string(size.width()) + " x " + std::to_string(size.height()) +
                        " pixels is larger than " + std::to_string(limits.maxSide) +
                        " pixels a side or " + std::to_string(limits.maxBytes >> 20) + " MiB)");
    }
}

void ThrowUnopenable(const std::string& path, const QString& why) {
    throw Error(errnum::PathFileAccessError,
                std::string(DefaultDescription(errnum::PathFileAccessError)) + " (" +
                    library::PathToDisplay(path).toStdString() + ": " + why.toStdString() + ")");
}

DecodedPicture DecodePicture(QIODevice& device, const DecodeSizeChooser& chooseSize,
                             const DecodeLimits& limits) {
    if (!device.isOpen() || !device.isReadable()) {
        ThrowInvalid(QStringLiteral("the file cannot be read"));
    }
    const Kind kind = KindOf(device);
    if (kind == Kind::Other) {
        ThrowInvalid(QStringLiteral("not a JPEG, GIF or BMP picture"));
    }
    switch (kind) {
        case Kind::Jpeg:
            return DecodeJpeg(device, chooseSize, limits);
        case Kind::Gif:
            return DecodeGif(device, chooseSize, limits);
        case Kind::Bmp:
        case Kind::Other:
            break;
    }
    return DecodeWithQt(device, chooseSize, limits);
}

}  // namespace tavrino
