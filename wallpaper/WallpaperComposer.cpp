#include "wallpaper/WallpaperComposer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QPalette>
#include <QSaveFile>
#include <cmath>
#include <string>
#include <utility>

#include "settings/Options.h"
#include "support/Errors.h"
#include "support/MessageBox.h"

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

QColor DefaultBackground() {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        return QGuiApplication::palette().color(QPalette::Window);
    }
    return QColor(Qt::black);
}

bool SameScreen(const ScreenMetrics& a, const ScreenMetrics& b) {
    return a.WidthTwips == b.WidthTwips && a.HeightTwips == b.HeightTwips &&
           a.TwipsPerPixelX == b.TwipsPerPixelX && a.TwipsPerPixelY == b.TwipsPerPixelY;
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

WallpaperComposer::WallpaperComposer(ErrorReporter& reporter, const OptionBoxes& options,
                                     QString dataFolder, ScreenMetricsSource screen)
    : reporter_(reporter),
      options_(options),
      dataFolder_(std::move(dataFolder)),
      screen_(std::move(screen)),
      background_(DefaultBackground()) {}

QString WallpaperComposer::BitmapPath() const {
    return QDir(dataFolder_).filePath(kWallpaperBitmapName);
}

bool WallpaperComposer::StillComposed(const Composed& wanted) const {
    if (!last_) {
        return false;
    }
    const Composed& had = *last_;
    if (had.path != wanted.path || had.size != wanted.size || had.modified != wanted.modified ||
        had.fit.stretch != wanted.fit.stretch || had.fit.keepAspect != wanted.fit.keepAspect ||
        !SameScreen(had.screen, wanted.screen) || had.background != wanted.background) {
        return false;
    }
    // Someone else may have replaced or removed the bitmap since.
    const QFileInfo bitmap(BitmapPath());
    return bitmap.exists() && bitmap.size() == had.bitmapSize &&
           bitmap.lastModified() == had.bitmapModified;
}

bool WallpaperComposer::ComposeWallpaper(const QString& path) {
    lastReused_ = false;
    if (!ImagePathExists(path)) {
        ShowMessage(messageParent_, kImageNotLocatedMessage, QString(), MessageIcon::Stop);
        return false;
    }
    bool composed = false;
    Guarded(reporter_, loc::ComposeWallpaper, [&] {
        Composed wanted;
        wanted.path = path;
        wanted.fit = {options_.Checked(Option::Stretch), options_.Checked(Option::Aspect)};
        wanted.screen = screen_();
        wanted.background = background_;
        const QFileInfo source(path);
        wanted.size = source.size();
        wanted.modified = source.lastModified();
        if (StillComposed(wanted)) {
            lastReused_ = true;
            composed = true;
            return;
        }
        last_.reset();

        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            ThrowFileError(path, file.errorString());
        }
        const QImage bitmap =
            ComposeBitmapImage(file, wanted.screen, wanted.fit, background_, limits_);
        file.close();
        QDir().mkpath(dataFolder_);
        WriteBitmapFile(bitmap, BitmapPath());

        const QFileInfo written(BitmapPath());
        wanted.bitmapSize = written.size();
        wanted.bitmapModified = written.lastModified();
        last_ = wanted;
        composed = true;
    });
    return composed;
}

}  // namespace tavrino
