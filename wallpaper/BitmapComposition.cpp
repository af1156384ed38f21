#include "wallpaper/BitmapComposition.h"

#include <QIODevice>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <cmath>
#include <string>

#include "support/Errors.h"

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
        bitmap = image.convertToFormat(QImage::Format_RGB32);
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
    const QImage opaque = image.format() == QImage::Format_RGB32
                              ? image
                              : image.convertToFormat(QImage::Format_RGB32);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        ThrowFileError(path, file.errorString());
    }
    // Qt writes a 32-bit-per-pixel image as a 24-bit BMP, the form every desktop reads.
    QImageWriter writer(&file, "bmp");
    if (!writer.write(opaque)) {
        const QString why =
            file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
        file.cancelWriting();
        ThrowFileError(path, why);
    }
    if (!file.commit()) {
        ThrowFileError(path, file.errorString());
    }
}

}  // namespace tavrino
