// Pictures made on the spot: JPEG, GIF and BMP files, EXIF-turned photos, and headers that
// claim more than the file holds.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QPainter>
#include <cstdint>
#include <initializer_list>
#include <utility>

namespace tavrino::test {

// Each value as a little-endian (or big-endian) integer of `width` bytes.
inline void Put(QByteArray& out, std::initializer_list<std::int64_t> values, int width = 1,
                bool bigEndian = false) {
    for (const std::int64_t value : values) {
        for (int i = 0; i < width; ++i) {
            out.append(static_cast<char>((value >> (8 * (bigEndian ? width - 1 - i : i))) & 0xFF));
        }
    }
}

// A picture whose left half is `left` and right half `right`, so a turn or a mirror shows.
inline QImage TwoHalves(int width, int height, QColor left = Qt::red, QColor right = Qt::blue) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(right);
    QPainter(&image).fillRect(0, 0, width / 2, height, left);
    return image;
}

// The picture in Qt's writer for format ("JPG", "BMP", "PNG").
inline QByteArray Encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 95);
    return bytes;
}

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
inline QByteArray EncodeGif(const QImage& frame, const GifLayout& layout = {}) {
    QList<int> rows;  // interlaced: every 8th from 0, every 8th from 4, every 4th from 2, then odd
    using Pass = std::pair<int, int>;
    for (const auto& [start, step] :
         layout.interlaced ? QList<Pass>{{0, 8}, {4, 8}, {2, 4}, {1, 2}} : QList<Pass>{{0, 1}}) {
        for (int y = start; y < frame.height(); y += step) {
            rows.append(y);
        }
    }
    QList<QRgb> palette;
    QByteArray codes;  // 8-bit codes: a clear code (128) every 100 pixels keeps them that wide
    qsizetype pixels = 0;
    for (const int y : rows) {
        for (int x = 0; x < frame.width(); ++x, ++pixels) {
            const QRgb colour = frame.pixel(x, y) | 0xFF000000U;
            if (!palette.contains(colour)) {
                palette.append(colour);
            }
            if (pixels % 100 == 0) {
                codes.append(static_cast<char>(128));
            }
            codes.append(static_cast<char>(palette.indexOf(colour)));
        }
    }
    codes.append(static_cast<char>(129));  // end of information
    palette.resize(128, layout.fill);
    const auto table = [](const QList<QRgb>& colours) {
        QByteArray out;
        for (const QRgb c : colours) {
            Put(out, {qRed(c), qGreen(c), qBlue(c)});
        }
        return out;
    };
    const QSize screen = layout.screen.isValid() ? layout.screen : frame.size();
    QByteArray gif("GIF89a");
    Put(gif, {screen.width(), screen.height()}, 2);
    Put(gif, {0xF6, layout.background, 0});  // a global table of 128 entries
    gif += table(layout.localTable ? QList<QRgb>(128, layout.fill) : palette);
    if (layout.transparent >= 0) {
        Put(gif, {0x21, 0xF9, 4, 1, 0, 0, layout.transparent, 0});
    }
    gif.append(',');
    Put(gif, {layout.offset.x(), layout.offset.y(), frame.width(), frame.height()}, 2);
    gif.append(static_cast<char>((layout.interlaced ? 0x40 : 0) | (layout.localTable ? 0x86 : 0)));
    gif += (layout.localTable ? table(palette) : QByteArray()) + char(7);  // then the LZW code size
    for (qsizetype i = 0; i < codes.size(); i += 255) {
        gif += char(codes.mid(i, 255).size()) + codes.mid(i, 255);
    }
    return gif + QByteArray("\0;", 2);
}

// A JPEG carrying an EXIF APP1 segment with the given orientation tag.
inline QByteArray JpegWithOrientation(const QImage& stored, int orientation) {
    const QByteArray jpeg = Encode(stored, "JPG");
    QByteArray exif("Exif\0\0II*\0", 10);
    Put(exif, {8}, 4);                  // the first directory at 8
    Put(exif, {1, 0x0112, 3}, 2);       // one entry: the orientation, a SHORT
    Put(exif, {1, orientation, 0}, 4);  // one of them; no next directory
    QByteArray app1("\xFF\xE1", 2);
    Put(app1, {exif.size() + 2}, 2, true);
    return jpeg.left(2) + app1 + exif + jpeg.mid(2);
}

// Headers that claim a size the data does not hold.
inline QByteArray GifClaiming(int width, int height) {
    QByteArray gif("GIF89a");
    Put(gif, {width, height}, 2);
    gif.append("\x80\x00\x00\x00\x00\x00\xFF\xFF\xFF,\x00\x00\x00\x00", 14);  // two colours
    Put(gif, {width, height}, 2);
    gif.append("\x00\x02\x02\x44\x01\x00;", 7);
    return gif;
}

inline QByteArray BmpClaiming(int width, int height) {
    const std::int64_t pixelBytes = (std::int64_t{width} * 3 + 3) / 4 * 4 * height;
    QByteArray bmp("BM");
    // File size, reserved, pixel offset, header size, width, height; planes and depth;
    // compression, pixel bytes, resolution, colours: then far fewer pixels than claimed.
    Put(bmp, {54 + pixelBytes, 0, 54, 40, width, height}, 4);
    Put(bmp, {1, 24}, 2);
    Put(bmp, {0, pixelBytes, 3780, 3780, 0, 0}, 4);
    return bmp + QByteArray(64, '\x7F');
}

}  // namespace tavrino::test
