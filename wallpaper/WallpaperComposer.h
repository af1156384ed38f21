// Composition of the wallpaper bitmap: the chosen image, fitted to the screen, written as one
// 24-bit BMP in the data folder for the desktop to show.
#pragma once

#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QString>
#include <optional>
#include <string>

#include "wallpaper/BitmapComposition.h"
#include "wallpaper/FitImageBox.h"
#include "wallpaper/ScreenMetricsSource.h"
#include "wallpaper/decode/ImageDecoding.h"

class QWidget;

namespace tavrino {

class ErrorReporter;
class OptionBoxes;

// ComposeWallpaper of the main window. Reads the fit options and the screen at every call.
class WallpaperComposer {
public:
    WallpaperComposer(ErrorReporter& reporter, const OptionBoxes& options, QString dataFolder,
                      ScreenMetricsSource screen = PrimaryScreenMetrics);

    // Composes the bitmap from the image at path. A missing image (no file, a folder, a hidden
    // file, an empty path) shows the stop-icon message and writes nothing; any other failure
    // is reported under the composition's location code and leaves the previous bitmap as it
    // was. Returns true when the bitmap now holds this image.
    bool ComposeWallpaper(const QString& path);
    // The same for a path as the display list holds it (bytes; see library::ImageFileExists).
    bool ComposeWallpaper(const std::string& path);

    // The file every composition writes: the data folder's "TavrinoWallpaperManager.bmp".
    [[nodiscard]] QString BitmapPath() const;

    // Parent of the missing-image message box (the main window).
    void SetMessageParent(QWidget* parent) { messageParent_ = parent; }
    // Colour under transparent parts of a picture; the window colour by default.
    void SetBackground(const QColor& colour) { background_ = colour; }
    void SetDecodeLimits(const DecodeLimits& limits) { limits_ = limits; }

    // True when the last successful call found the bitmap already composed from the same
    // file, options and screen and left it alone (a rotation step composes twice).
    [[nodiscard]] bool LastReusedBitmap() const { return lastReused_; }

private:
    struct Composed {
        std::string path;
        qint64 size = 0;
        QDateTime modified;
        FitChoice fit;
        ScreenMetrics screen;
        QColor background;
        qint64 bitmapSize = 0;
        QDateTime bitmapModified;
    };
    [[nodiscard]] bool StillComposed(const Composed& wanted) const;

    ErrorReporter& reporter_;
    const OptionBoxes& options_;
    QString dataFolder_;
    ScreenMetricsSource screen_;
    QWidget* messageParent_ = nullptr;
    QColor background_;
    DecodeLimits limits_;
    std::optional<Composed> last_;
    bool lastReused_ = false;
};

}  // namespace tavrino
