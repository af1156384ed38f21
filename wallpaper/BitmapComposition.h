// Painting a picture at its fitted size and writing it as the wallpaper bitmap: the part of
// the composition that needs no window, shared by the program, its tools and its fuzzer.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include "wallpaper/FitImageBox.h"
#include "wallpaper/decode/ImageDecoding.h"

class QIODevice;
class QSaveFile;

namespace tavrino {

inline const QString kWallpaperBitmapName = QStringLiteral("TavrinoWallpaperManager.bmp");

struct FitChoice {
    bool stretch = true;
    bool keepAspect = true;
};

// The bitmap for a picture read from source: decoded straight to the fitted box's whole
// pixels on this screen, opaque (transparent parts take the background colour), RGB32.
// Throws tavrino::Error (see DecodePicture and FitImageBox).
QImage ComposeBitmapImage(QIODevice& source, const ScreenMetrics& screen, FitChoice fit,
                          const QColor& background, const DecodeLimits& limits = {});

// Writes image as a 24-bit BMP over path through a temporary file and a rename, so a reader
// never sees half a file and a failure leaves the previous file whole. Throws Error.
void WriteBitmapFile(const QImage& image, const QString& path);

// The same in steps, so that another process can write into the file: open it (a temporary
// file beside the bitmap's path), write the BMP into it (any open device; path names it in
// errors), then put it in place. A file never committed is discarded.
void OpenBitmapFile(QSaveFile& file);
void WriteBitmapData(const QImage& image, QIODevice& file, const QString& path);
void CommitBitmapFile(QSaveFile& file);

}  // namespace tavrino
