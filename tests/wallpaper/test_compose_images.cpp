#include "wallpaper/test_compose_images.h"

#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QList>
#include <QRgb>
#include <cstdint>
#include <utility>

namespace tavrino::test {

namespace {

void PutLe16(QByteArray& out, int value) {
    out.append(static_cast<char>(value & 0xFF));
    out.append(static_cast<char>((value >> 8) & 0xFF));
}

void PutLe32(QByteArray& out, std::int64_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.append(static_cast<char>((value >> shift) & 0xFF));
    }
}

void PutBe16(QByteArray& out, int value) {
    out.append(static_cast<char>((value >> 8) & 0xFF));
    out.append(static_cast<char>(value & 0xFF));
}

}  // namespace

QImage TwoHalves(int width, int height, QColor left, QColor right) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixelColor(x, y, x < width / 2 ? left : right);
        }
    }
    return image;
}

QByteArray EncodeJpeg(const QImage& image, int quality) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", quality);
    return bytes;
}

QByteArray EncodeBmp(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

QByteArray EncodeGif(const QImage& image, int transparentIndex) {
    return EncodeGif(image, GifLayout{}, transparentIndex);
}

QByteArray EncodeGif(const QImage& frame, const GifLayout& layout, int transparentIndex) {
    QList<QRgb> palette;
    QHash<QRgb, int> index;
    QByteArray pixels;
    // Interlaced rows are stored in four passes: every 8th from 0, every 8th from 4, every
    // 4th from 2, every 2nd from 1.
    QList<int> order;
    if (layout.interlaced) {
        for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
            for (int y = start; y < frame.height(); y += step) {
                order.append(y);
            }
        }
    } else {
        for (int y = 0; y < frame.height(); ++y) {
            order.append(y);
        }
    }
    for (const int y : order) {
        for (int x = 0; x < frame.width(); ++x) {
            const QRgb colour = frame.pixel(x, y) | 0xFF000000U;
            auto found = index.find(colour);
            if (found == index.end()) {
                found = index.insert(colour, static_cast<int>(palette.size()));
                palette.append(colour);
            }
            pixels.append(static_cast<char>(found.value()));
        }
    }
    while (palette.size() < 128) {
        palette.append(layout.fill);
    }
    const auto putTable = [&palette](QByteArray& out) {
        for (int i = 0; i < 128; ++i) {
            const QRgb colour = palette[i];
            out.append(static_cast<char>(qRed(colour)));
            out.append(static_cast<char>(qGreen(colour)));
            out.append(static_cast<char>(qBlue(colour)));
        }
    };
    const QSize screen = layout.screen.isValid() ? layout.screen : frame.size();
    QByteArray gif("GIF89a");
    PutLe16(gif, screen.width());
    PutLe16(gif, screen.height());
    if (layout.localTable) {
        // A global table of 128 entries all of the fill colour; the frame's own table holds
        // the picture's colours.
        gif.append(static_cast<char>(0xF6));
        gif.append(static_cast<char>(layout.background));
        gif.append('\0');
        for (int i = 0; i < 128; ++i) {
            gif.append(static_cast<char>(qRed(layout.fill)));
            gif.append(static_cast<char>(qGreen(layout.fill)));
            gif.append(static_cast<char>(qBlue(layout.fill)));
        }
    } else {
        gif.append(static_cast<char>(0xF6));  // global table of 128 entries, 7-bit colour
        gif.append(static_cast<char>(layout.background));
        gif.append('\0');
        putTable(gif);
    }
    if (transparentIndex >= 0) {
        gif.append("\x21\xF9\x04\x01\x00\x00", 6);
        gif.append(static_cast<char>(transparentIndex));
        gif.append('\0');
    }
    gif.append(',');
    PutLe16(gif, layout.offset.x());
    PutLe16(gif, layout.offset.y());
    PutLe16(gif, frame.width());
    PutLe16(gif, frame.height());
    gif.append(static_cast<char>((layout.interlaced ? 0x40 : 0) | (layout.localTable ? 0x86 : 0)));
    if (layout.localTable) {
        putTable(gif);
    }
    gif.append(static_cast<char>(7));  // LZW minimum code size: codes are 8 bits wide
    QByteArray codes;
    for (qsizetype i = 0; i < pixels.size(); ++i) {
        if (i % 100 == 0) {
            codes.append(static_cast<char>(128));  // clear
        }
        codes.append(pixels[i]);
    }
    codes.append(static_cast<char>(129));  // end of information
    for (qsizetype i = 0; i < codes.size(); i += 255) {
        const QByteArray block = codes.mid(i, 255);
        gif.append(static_cast<char>(block.size()));
        gif.append(block);
    }
    gif.append('\0');
    gif.append(';');
    return gif;
}

QByteArray JpegWithOrientation(const QImage& stored, int orientation) {
    const QByteArray jpeg = EncodeJpeg(stored);
    QByteArray tiff("II*\0", 4);
    PutLe32(tiff, 8);  // first IFD
    PutLe16(tiff, 1);  // one entry
    PutLe16(tiff, 0x0112);
    PutLe16(tiff, 3);  // SHORT
    PutLe32(tiff, 1);
    PutLe16(tiff, orientation);
    PutLe16(tiff, 0);
    PutLe32(tiff, 0);  // no next IFD
    QByteArray app1("\xFF\xE1", 2);
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    PutBe16(app1, static_cast<int>(payload.size() + 2));
    app1.append(payload);
    return jpeg.left(2) + app1 + jpeg.mid(2);
}

QByteArray GifClaiming(int width, int height) {
    QByteArray gif("GIF89a");
    PutLe16(gif, width);
    PutLe16(gif, height);
    gif.append("\x80\x00\x00", 3);  // a two-colour global table
    gif.append("\x00\x00\x00\xFF\xFF\xFF", 6);
    gif.append(',');
    PutLe16(gif, 0);
    PutLe16(gif, 0);
    PutLe16(gif, width);
    PutLe16(gif, height);
    gif.append('\0');
    gif.append("\x02\x02\x44\x01\x00;", 6);
    return gif;
}

QByteArray BmpClaiming(int width, int height) {
    QByteArray bmp("BM");
    const std::int64_t pixelBytes = (std::int64_t{width} * 3 + 3) / 4 * 4 * height;
    PutLe32(bmp, 54 + pixelBytes);
    PutLe32(bmp, 0);
    PutLe32(bmp, 54);
    PutLe32(bmp, 40);
    PutLe32(bmp, width);
    PutLe32(bmp, height);
    PutLe16(bmp, 1);
    PutLe16(bmp, 24);
    PutLe32(bmp, 0);
    PutLe32(bmp, pixelBytes);
    PutLe32(bmp, 3780);
    PutLe32(bmp, 3780);
    PutLe32(bmp, 0);
    PutLe32(bmp, 0);
    bmp.append(QByteArray(64, '\x7F'));
    return bmp;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace tavrino::test
