// Pictures made on the spot for the composition and preview tests: well-formed JPEG, GIF and
// BMP files, an EXIF-turned photo, and damaged files of every kind the program meets.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>

namespace tavrino::test {

// A picture whose left half is `left` and right half `right`, so a turn or a mirror shows.
QImage TwoHalves(int width, int height, QColor left, QColor right);

QByteArray EncodeJpeg(const QImage& image, int quality = 95);
QByteArray EncodeBmp(const QImage& image);

// A GIF of up to 100 colours, written with an LZW stream that never grows past 8-bit codes
// (a clear code every 100 pixels); transparentIndex < 0 for none.
QByteArray EncodeGif(const QImage& image, int transparentIndex = -1);

// Where a GIF's one frame sits: on a logical screen (the frame's size when invalid) at an
// offset, stored interlaced or not, its colours in a table of its own (the global one then
// all `fill`) or in the global one; `background` is the screen's background colour index.
struct GifLayout {
    QSize screen;
    QPoint offset;
    bool interlaced = false;
    bool localTable = false;
    int background = 0;
    QRgb fill = qRgb(0, 0, 0);
};
QByteArray EncodeGif(const QImage& frame, const GifLayout& layout, int transparentIndex = -1);

// A JPEG carrying an EXIF APP1 segment with the given orientation tag (1..8).
QByteArray JpegWithOrientation(const QImage& stored, int orientation);

// Headers that claim a size the data does not hold.
QByteArray GifClaiming(int width, int height);
QByteArray BmpClaiming(int width, int height);

bool WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);

}  // namespace tavrino::test
