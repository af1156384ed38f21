#include "wallpaper/decode/ImageDecoding.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QImageIOHandler>
#include <QImageReader>
#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "library/PathText.h"
#include "support/errors/Errors.h"
#include "wallpaper/decode/Resample.h"

#ifdef TAVRINO_HAVE_LIBJPEG
#include "wallpaper/decode/JpegDecoder.h"
#endif
#ifdef TAVRINO_HAVE_GIFLIB
#include "wallpaper/decode/GifDecoder.h"
#endif

#ifdef Q_OS_WIN
#include <windows.h>
#include <QDir>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

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

// Qt's JPEG reader fills a truncated picture with grey and only warns, so a cut-off download would
// be put on the desktop half grey. A whole JPEG has its end-of-image marker after its last
// start-of-scan marker (entropy-coded data can hold neither: every 0xFF in it is stuffed), so
// search back from the end for whichever of the two comes last.
bool JpegIsWhole(QIODevice& device) {
    constexpr qint64 kChunk = 64 * 1024;
    const qint64 start = device.pos();
    std::array<char, kChunk + 1> buffer{};
    bool whole = false;
    bool found = false;
    char following = 0;  // the byte just after the current chunk (none at the very end)
    bool haveFollowing = false;
    for (qint64 end = device.size(); end > start && !found;) {
        const qint64 begin = qMax(start, end - kChunk);
        const qint64 length = end - begin;
        if (!device.seek(begin) || device.read(buffer.data(), length) != length) {
            break;
        }
        buffer[static_cast<std::size_t>(length)] = following;
        const qint64 pairs = haveFollowing ? length : length - 1;
        for (qint64 i = pairs - 1; i >= 0; --i) {
            const auto index = static_cast<std::size_t>(i);
            if (static_cast<unsigned char>(buffer[index]) != 0xFF) {
                continue;
            }
            const auto marker = static_cast<unsigned char>(buffer[index + 1]);
            if (marker == 0xD9 || marker == 0xDA) {
                found = true;
                whole = marker == 0xD9;
                break;
            }
        }
        following = buffer[0];
        haveFollowing = true;
        end = begin;
    }
    device.seek(start);
    return whole;
}

// Reads at offsets that mostly move forward, a chunk at a time: a GIF has a length byte every
// 256 bytes, and asking the file for each would cost a system call apiece.
class ChunkedReader {
public:
    explicit ChunkedReader(QIODevice& device) : device_(device), size_(device.size()) {}

    bool ReadAt(qint64 offset, char* out, qint64 length) {
        if (offset < 0 || length > kChunk || offset + length > size_) {
            return false;
        }
        if (offset < start_ || offset + length > start_ + held_) {
            held_ = qMin(kChunk, size_ - offset);
            if (!device_.seek(offset) || device_.read(buffer_.data(), held_) != held_) {
                held_ = 0;
                return false;
            }
            start_ = offset;
        }
        std::copy_n(buffer_.data() + (offset - start_), length, out);
        return true;
    }

private:
    static constexpr qint64 kChunk = qint64{64} * 1024;
    QIODevice& device_;
    qint64 size_;
    qint64 start_ = 0;
    qint64 held_ = 0;
    std::array<char, kChunk> buffer_{};
};

unsigned Byte(const char* data, int at) {
    return static_cast<unsigned char>(data[at]);
}

// Qt's GIF decoder keeps whatever rows arrived before the end of a cut-off file. Walks the
// blocks up to the end of the first image's data: a whole file has all of them.
bool GifIsWhole(QIODevice& device) {
    const qint64 start = device.pos();
    ChunkedReader reader(device);
    const auto walk = [&]() {
        char header[13];
        if (!reader.ReadAt(start, header, 13)) {
            return false;
        }
        qint64 at = start + 13;
        if ((Byte(header, 10) & 0x80U) != 0) {
            at += 3 * (qint64{2} << (Byte(header, 10) & 0x07U));
        }
        const auto skipSubBlocks = [&]() {
            for (;;) {
                char length = 0;
                if (!reader.ReadAt(at, &length, 1)) {
                    return false;
                }
                at += 1 + static_cast<unsigned char>(length);
                if (length == 0) {
                    return true;
                }
            }
        };
        for (;;) {
            char introducer[2];
            if (!reader.ReadAt(at, introducer, 1)) {
                return false;
            }
            if (introducer[0] == '!') {  // extension: label, then sub-blocks
                at += 2;
                if (!skipSubBlocks()) {
                    return false;
                }
            } else if (introducer[0] == ',') {  // the first image: descriptor, table, data
                char descriptor[10];
                if (!reader.ReadAt(at, descriptor, 10)) {
                    return false;
                }
                at += 10;
                if ((Byte(descriptor, 9) & 0x80U) != 0) {
                    at += 3 * (qint64{2} << (Byte(descriptor, 9) & 0x07U));
                }
                at += 1;  // LZW minimum code size
                return skipSubBlocks() && at <= device.size();
            } else {
                return false;  // a trailer or garbage before any image
            }
        }
    };
    const bool whole = walk();
    device.seek(start);
    return whole;
}

// Qt's BMP decoder also keeps a short file's rows. Uncompressed pixel data has a known
// length; a compressed one is left to the decoder.
bool BmpIsWhole(QIODevice& device) {
    const qint64 start = device.pos();
    char header[34] = {};
    ChunkedReader reader(device);
    const bool read = reader.ReadAt(start, header, 34);
    device.seek(start);
    if (!read) {
        return false;
    }
    const auto le = [&](int at, int bytes) {
        quint32 value = 0;
        for (int i = bytes - 1; i >= 0; --i) {
            value = (value << 8U) | Byte(header, at + i);
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

bool IsWhole(QIODevice& device) {
    switch (KindOf(device)) {
        case Kind::Jpeg:
            return JpegIsWhole(device);
        case Kind::Gif:
            return GifIsWhole(device);
        case Kind::Bmp:
            return BmpIsWhole(device);
        case Kind::Other:
            break;
    }
    return true;  // not one of ours: turned away before this is asked
}

// The JPEG decoder of Qt can shrink by 1/2, 1/4 and 1/8 while it decodes (used only where
// libjpeg-turbo is not at hand). Asks for the smallest of those that is still no smaller than
// wanted (stored orientation), sized so that the decoder's own result needs no further
// scaling inside the reader; the final, exact size is made by our filter.
QSize DecoderShrink(QSize stored, QSize wanted) {
    for (int d : {8, 4, 2}) {
        const QSize shrunk(stored.width() / d, stored.height() / d);
        if (shrunk.width() >= wanted.width() && shrunk.height() >= wanted.height()) {
            return shrunk;
        }
    }
    return stored;
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

#ifdef TAVRINO_HAVE_LIBJPEG
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
#endif

#ifdef TAVRINO_HAVE_GIFLIB
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
#endif

DecodedPicture DecodeWithQt(QIODevice& device, Kind kind, const DecodeSizeChooser& chooseSize,
                            const DecodeLimits& limits) {
    // Qt's readers fill or keep what they have of a cut-off file (ours refuse it themselves).
    if (!IsWhole(device)) {
        ThrowInvalidPicture(kTruncatedPicture);
    }
    // The content has been recognised already: only that format's reader is loaded and tried.
    const char* format = kind == Kind::Jpeg ? "jpeg" : kind == Kind::Gif ? "gif" : "bmp";
    QImageReader reader(&device, format);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    // Qt's own ceiling on any one allocation of the decoder, in MiB.
    reader.setAllocationLimit(static_cast<int>(qMax<qint64>(1, limits.maxBytes >> 20)));
    // At 50 and above the JPEG decoder uses its accurate DCT and fancy upsampling and scales
    // smoothly; below it trades quality for speed, which shows on a wallpaper.
    reader.setQuality(100);
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

    // Only where the decoder itself can shrink: elsewhere QImageReader would scale after a
    // full decode anyway, and we do that ourselves below.
    if (wanted != natural && reader.supportsOption(QImageIOHandler::ScaledSize)) {
        const QSize shrunk = DecoderShrink(stored, turned ? wanted.transposed() : wanted);
        if (shrunk != stored) {
            reader.setScaledSize(shrunk);
        }
    }

    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        ThrowInvalid(reader.errorString());
    }
    if (image.size() != wanted) {
        // GIF holds drawn graphics in a few colours: area averaging suits them.
        image = Resize(image, wanted,
                       kind == Kind::Gif ? ResampleFilter::Area : ResampleFilter::Lanczos3);
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

bool ImagePathExists(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile() || info.isHidden()) {
        return false;
    }
#ifdef Q_OS_WIN
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    const DWORD attributes = GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY)) !=
            0) {
        return false;
    }
#endif
    return true;
}

bool ImagePathExists(const std::string& path) {
#ifdef Q_OS_WIN
    return ImagePathExists(QString::fromStdString(path));
#else
    struct stat status {};
    if (path.empty() || ::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    const std::size_t slash = path.rfind('/');
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    return name < path.size() && path[name] != '.';  // a dot file is hidden
#endif
}

void OpenImageFile(const std::string& path, QFile& file) {
    QString failure;
#ifdef Q_OS_WIN
    file.setFileName(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        failure = file.errorString();
    }
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        failure = QString::fromLocal8Bit(std::strerror(errno));
    } else if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        failure = file.errorString();
    }
#endif
    if (!failure.isEmpty()) {
        throw Error(errnum::PathFileAccessError,
                    std::string(DefaultDescription(errnum::PathFileAccessError)) + " (" +
                        library::PathToDisplay(path).toStdString() + ": " + failure.toStdString() +
                        ")");
    }
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
#ifdef TAVRINO_HAVE_LIBJPEG
    if (kind == Kind::Jpeg) {
        return DecodeJpeg(device, chooseSize, limits);
    }
#endif
#ifdef TAVRINO_HAVE_GIFLIB
    if (kind == Kind::Gif) {
        return DecodeGif(device, chooseSize, limits);
    }
#endif
    return DecodeWithQt(device, kind, chooseSize, limits);
}

}  // namespace tavrino
