#include "wallpaper/BitmapComposition.h"

#include <QIODevice>
#include <QPainter>
#include <QSaveFile>
#include <cmath>
#include <string>
#include <utility>

#include "support/errors/Errors.h"

namespace tavrino {

namespace {

[[noreturn]] void ThrowFileError(const QString& file, const QString& why) {
    throw Error(errnum::PathFileAccessError,
                std::string(DefaultDescription(errnum::PathFileAccessError)) + " (" +
                    file.toStdString() + ": " + why.toStdString() + ")");
}

int DotsPerMeter(float twipsPerPixel) {
    // 1440 twips to the inch, 0.0254 m to the inch.
    return static_cast<int>(std::lround(1440.0 / twipsPerPixel / 0.0254));
}

}  // namespace

QImage ComposeBitmapImage(QIODevice& source, const ScreenMetrics& screen, FitChoice fit,
                          const QColor& background, const DecodeLimits& limits) {
    const auto chooseSize = [&](QSize natural) {
        const auto naturalWidth =
            static_cast<float>(natural.width() * double{screen.TwipsPerPixelX});
        const auto naturalHeight =
            static_cast<float>(natural.height() * double{screen.TwipsPerPixelY});
        const ImageBox box = FitImageBox(naturalWidth, naturalHeight, screen.WidthTwips,
                                         screen.HeightTwips, screen, fit.stretch, fit.keepAspect);
        const PixelSize pixels = BoxPixelSize(box, screen);
        return QSize(pixels.width, pixels.height);
    };
    QImage image = DecodePicture(source, chooseSize, limits).image;

    QImage bitmap;
    if (image.hasAlphaChannel()) {
        // Transparent parts show the background, as on a surface painted in the window colour.
        bitmap = QImage(image.size(), QImage::Format_RGB32);
        if (bitmap.isNull()) {
            throw Error(errnum::OutOfMemory);
        }
        bitmap.fill(background);
        QPainter painter(&bitmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(0, 0, image);
    } else {
        // Moved, not shared: setting the resolution below would otherwise copy every pixel.
        bitmap = std::move(image).convertToFormat(QImage::Format_RGB32);
        if (bitmap.isNull()) {
            throw Error(errnum::OutOfMemory);
        }
    }
    // The source's own resolution says nothing about the screen it will be shown on.
    bitmap.setDotsPerMeterX(DotsPerMeter(screen.TwipsPerPixelX));
    bitmap.setDotsPerMeterY(DotsPerMeter(screen.TwipsPerPixelY));
    return bitmap;
}

void WriteBitmapFile(const QImage& image, const QString& path) {
    QSaveFile file(path);
    OpenBitmapFile(file);
    WriteBitmapData(image, file, path);
    CommitBitmapFile(file);
}

void OpenBitmapFile(QSaveFile& file) {
    if (!file.open(QIODevice::WriteOnly)) {
        ThrowFileError(file.fileName(), file.errorString());
    }
}

void CommitBitmapFile(QSaveFile& file) {
    if (!file.commit()) {
        ThrowFileError(file.fileName(), file.errorString());
    }
}

void WriteBitmapData(const QImage& image, QIODevice& file, const QString& path) {
    const QImage opaque = image.format() == QImage::Format_RGB32
                              ? image
                              : image.convertToFormat(QImage::Format_RGB32);
    if (opaque.isNull()) {
        throw Error(errnum::OutOfMemory);
    }
    // Written here rather than by Qt's BMP writer, which converts and writes one line at a
    // time and takes several times as long for a screen-sized bitmap.
    const auto width = static_cast<quint32>(opaque.width());
    const auto height = static_cast<quint32>(opaque.height());
    const quint64 rowBytes = (quint64{width} * 3 + 3) / 4 * 4;  // rows padded to 4 bytes
    constexpr quint32 kHeaders = 14 + 40;
    const quint64 fileSize = kHeaders + rowBytes * height;
    if (fileSize > 0xFFFFFFFFU) {
        throw Error(errnum::OutOfMemory);
    }
    const auto dotsPerMeter = [](int value) {
        return static_cast<quint32>(value > 0 ? value : 2834);  // 72 dpi when unknown
    };
    QByteArray header;
    const auto put = [&header](quint32 value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            header.append(static_cast<char>((value >> (8 * i)) & 0xFFU));
        }
    };
    header.append("BM");
    put(static_cast<quint32>(fileSize), 4);
    put(0, 4);         // reserved
    put(kHeaders, 4);  // pixels start right after the headers
    put(40, 4);        // BITMAPINFOHEADER
    put(width, 4);
    put(height, 4);  // positive: bottom row first
    put(1, 2);       // planes
    put(24, 2);      // bits per pixel
    put(0, 4);       // uncompressed
    put(static_cast<quint32>(rowBytes * height), 4);
    put(dotsPerMeter(opaque.dotsPerMeterX()), 4);
    put(dotsPerMeter(opaque.dotsPerMeterY()), 4);
    put(0, 4);  // colours used
    put(0, 4);  // colours important

    const auto fail = [&file, &path]() { ThrowFileError(path, file.errorString()); };
    if (file.write(header) != header.size()) {
        fail();
    }
    // Rows go out in blocks of about a megabyte: few system calls, little memory.
    const quint64 rowsPerBlock = qMax<quint64>(1, (quint64{1} << 20U) / rowBytes);
    QByteArray block(static_cast<qsizetype>(rowsPerBlock * rowBytes), '\0');
    for (quint32 done = 0; done < height;) {
        const auto rows = static_cast<quint32>(qMin<quint64>(rowsPerBlock, height - done));
        auto* out = reinterpret_cast<uchar*>(block.data());
        for (quint32 r = 0; r < rows; ++r, ++done) {
            const auto* in = reinterpret_cast<const QRgb*>(
                opaque.constScanLine(static_cast<int>(height - 1 - done)));
            uchar* p = out + quint64{r} * rowBytes;
            for (quint32 x = 0; x < width; ++x, p += 3) {
                p[0] = static_cast<uchar>(qBlue(in[x]));
                p[1] = static_cast<uchar>(qGreen(in[x]));
                p[2] = static_cast<uchar>(qRed(in[x]));
            }
        }
        const auto bytes = static_cast<qint64>(quint64{rows} * rowBytes);
        if (file.write(block.constData(), bytes) != bytes) {
            fail();
        }
    }
}

}  // namespace tavrino
