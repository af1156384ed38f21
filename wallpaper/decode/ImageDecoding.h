// Reading image files for the wallpaper and the preview: the existence rule, and decoding
// straight to the size that will be drawn, so a large photo is never held at full size when
// the box is smaller.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QtGlobal>
#include <functional>
#include <string>

class QFile;
class QIODevice;

namespace tavrino {

// The message of a missing image, shown with the stop icon by the preview and the wallpaper.
inline const QString kImageNotLocatedMessage = QStringLiteral(
    "The image selected could not be located, it will not be selected for inclusion and a "
    "preview is not available.");

// Opens such a path for reading into file (not yet open). Throws tavrino::Error
// PathFileAccessError, naming the file and why, when it cannot. One file per platform.
void OpenImageFile(const std::string& path, QFile& file);

// Throws that error for path, saying why.
[[noreturn]] void ThrowUnopenable(const std::string& path, const QString& why);

// What a picture may cost. A picture beyond these (by its header, before any pixel is
// decoded) is refused, so a hostile or damaged file cannot exhaust memory.
struct DecodeLimits {
    int maxSide = 16384;                          // pixels on either side
    qint64 maxBytes = qint64{512} * 1024 * 1024;  // at 4 bytes a pixel
};

// Throws tavrino::Error OutOfMemory when a picture (or bitmap: `what` names it in the
// message) of this size is beyond the limits.
void CheckDecodeLimits(QSize size, const DecodeLimits& limits, const char* what);

// Why a cut-off file is refused, whichever decoder finds it.
inline constexpr const char* kTruncatedPicture = "the file is truncated";

// Throws tavrino::Error InvalidPicture, saying why.
[[noreturn]] void ThrowInvalidPicture(const std::string& why);

// Given the picture's upright natural size in pixels, the size in pixels to decode it to.
using DecodeSizeChooser = std::function<QSize(QSize natural)>;

struct DecodedPicture {
    QImage image;   // upright (EXIF orientation applied), exactly the chosen size
    QSize natural;  // upright natural size in pixels
};

// Decodes a JPEG, GIF or BMP picture from device (format told by its content, never by a
// name). JPEG shrinks by eighths while decoding and goes through the filter row by row; the
// exact size comes from a Lanczos filter (area averaging for GIF graphics).
// Throws tavrino::Error: InvalidPicture for anything that is not a whole picture of those
// formats (including a truncated JPEG), OutOfMemory for a picture beyond the limits.
DecodedPicture DecodePicture(QIODevice& device, const DecodeSizeChooser& chooseSize,
                             const DecodeLimits& limits = {});

}  // namespace tavrino
