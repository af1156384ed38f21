#include "wallpaper/WallpaperComposer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>
#include <string>
#include <utility>

#include "library/FolderListing.h"
#include "library/PathText.h"
#include "settings/Options.h"
#include "support/MessageBox.h"
#include "support/errors/Errors.h"
#include "wallpaper/decode/DecoderProcess.h"

namespace tavrino {

namespace {

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
    return ComposeWallpaper(library::PathFromQt(path));
}

bool WallpaperComposer::ComposeWallpaper(const std::string& path) {
    lastReused_ = false;
    if (!library::ImageFileExists(path)) {
        ShowMessage(messageParent_, kImageNotLocatedMessage, QString(), MessageIcon::Stop);
        return false;
    }
    bool composed = false;
    Guarded(reporter_, loc::ComposeWallpaper, [&] {
        QFile file;
        OpenImageFile(path, file);
        Composed wanted;
        wanted.path = path;
        wanted.fit = {options_.Checked(Option::Stretch), options_.Checked(Option::Aspect)};
        wanted.screen = screen_();
        wanted.background = background_;
        wanted.size = file.size();
        wanted.modified = file.fileTime(QFileDevice::FileModificationTime);
        if (StillComposed(wanted)) {
            lastReused_ = true;
            composed = true;
            return;
        }
        last_.reset();

        file.close();
        QDir().mkpath(dataFolder_);
        ComposeBitmapFile({path, BitmapPath(), wanted.screen, wanted.fit, background_, limits_});

        const QFileInfo written(BitmapPath());
        wanted.bitmapSize = written.size();
        wanted.bitmapModified = written.lastModified();
        last_ = wanted;
        composed = true;
    });
    return composed;
}

}  // namespace tavrino
