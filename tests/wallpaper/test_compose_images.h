// Pictures made on the spot for the composition, preview and decoder tests: JPEG, GIF and BMP
// files, EXIF-turned photos, and headers that claim more than the file holds.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QSize>

namespace tavrino::test {

// A picture whose left half is `left` and right half `right`, so a turn or a mirror shows.
QImage TwoHalves(int width, int height, QColor left = Qt::red, QColor right = Qt::blue);

// The picture in Qt's writer for format ("JPG", "BMP", "PNG").
QByteArray Encode(const QImage& image, const char* format);

// Where a GIF's one frame (of at most 128 colours) sits: on a logical screen (the frame's size
// when invalid) at an offset, interlaced or not, its colours in a local table (the global one
// then all `fill`); `background` is the screen's background index; transparent < 0 for none.
struct GifLayout {
    QSize screen;
    QPoint offset;
    bool interlaced = false;
    bool localTable = false;
    int background = 0;
    QRgb fill = qRgb(0, 0, 0);
    int transparent = -1;
};
QByteArray EncodeGif(const QImage& frame, const GifLayout& layout = {});

// A JPEG carrying an EXIF APP1 segment with the given orientation tag.
QByteArray JpegWithOrientation(const QImage& stored, int orientation);

// Headers that claim a size the data does not hold.
QByteArray GifClaiming(int width, int height);
QByteArray BmpClaiming(int width, int height);

}  // namespace tavrino::test
