// The JPEG and GIF decoders that hand their rows straight to the filter, held against Qt's own
// readers of the same bytes; the row pipeline and the bitmap writer they feed.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "support/errors/Errors.h"
#include "wallpaper/BitmapComposition.h"
#include "wallpaper/decode/ImageDecoding.h"
#include "wallpaper/decode/Resample.h"
#include "wallpaper/decode/RowPipeline.h"
#include "wallpaper/test_compose_images.h"

namespace tavrino {
namespace {

using namespace std::string_literals;

QImage Decode(const QByteArray& bytes, QSize wanted = QSize()) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const auto size = [&](QSize natural) { return wanted.isValid() ? wanted : natural; };
    return DecodePicture(buffer, size).image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage DecodeWithQt(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    return reader.read().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Four coloured quarters, so any turn or mirror shows.
QImage Quarters(int w, int h) {
    QImage image = test::TwoHalves(w, h, Qt::red, Qt::green);
    QPainter(&image).drawImage(0, h / 2, test::TwoHalves(w, h - h / 2, Qt::blue, Qt::yellow));
    return image;
}

// Peak signal to noise in dB; 0 for pictures of different sizes.
double Psnr(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return 0;
    }
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                sum += d * d;
            }
        }
    }
    return sum == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 * 3 * a.width() * a.height() / sum);
}

TEST(JpegDecoding, PicturesComeOutAsQtShowsThem) {
    QImage scene(1600, 1200, QImage::Format_RGB32);  // smooth shapes, like a distant photo
    for (int y = 0; y < scene.height(); ++y) {
        for (int x = 0; x < scene.width(); ++x) {
            const double u = x / 1600.0, v = y / 1200.0;
            scene.setPixel(x, y,
                           qRgb(int(127 + 120 * std::sin(9 * u + 4 * v)), int(255 * v),
                                int(127 + 120 * std::cos(7 * v - 5 * u * u))));
        }
    }
    QImage grey(80, 60, QImage::Format_Grayscale8);
    for (int x = 0; x < 80; ++x) {
        QPainter(&grey).fillRect(x, 0, 1, 60, QColor(x * 3, x * 3, x * 3));
    }
    struct Case {
        const char* name;
        QByteArray jpeg;
        QSize wanted;  // shrunk by eighths while decoding, the filter doing the rest
        double psnr;
    };
    const QByteArray photo = test::Encode(scene, "JPG");
    // clang-format off
    const Case cases[] = {
        {"whole",        photo, {1600, 1200}, 45}, {"3/8 and on", photo, {500, 375}, 38},
        {"1/8 and on",   photo, {199, 150}, 38},   {"5/8 and on", photo, {1000, 700}, 38},
        {"enlarged",     photo, {1920, 1080}, 38}, {"grey",       test::Encode(grey, "JPG"), {80, 60}, 45},
    };
    // clang-format on
    for (const Case& c : cases) {
        QImage reference = DecodeWithQt(c.jpeg).convertToFormat(QImage::Format_RGB32);
        if (reference.size() != c.wanted) {
            QImage full = reference;
            reference = QImage(c.wanted, QImage::Format_RGB32);
            Resample(
                {full.constBits(), full.width(), full.height(), full.bytesPerLine()},
                {reference.bits(), c.wanted.width(), c.wanted.height(), reference.bytesPerLine()},
                ResampleFilter::Lanczos3);
        }
        EXPECT_GT(Psnr(Decode(c.jpeg, c.wanted).convertToFormat(QImage::Format_RGB32), reference),
                  c.psnr)
            << c.name;
    }
}

TEST(JpegDecoding, ExifTurnsAreQtsAndDamagedHeadersAreRefusedOrIgnored) {
    const QImage stored = Quarters(64, 48);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const QByteArray jpeg = test::JpegWithOrientation(stored, orientation);
        EXPECT_GT(Psnr(Decode(jpeg), DecodeWithQt(jpeg)), 30) << "orientation " << orientation;
    }
    // A bogus orientation, or a directory pointing past the block: shown as stored.
    QByteArray away = test::JpegWithOrientation(stored, 6);
    away[away.indexOf(QByteArray("II*\0", 4)) + 4] = static_cast<char>(0xF0);
    for (const QByteArray& jpeg :
         {test::JpegWithOrientation(stored, 0), test::JpegWithOrientation(stored, 0xFFFF), away}) {
        EXPECT_EQ(Decode(jpeg).size(), QSize(64, 48));
    }
    QByteArray noWidth = test::Encode(stored, "JPG");
    const qsizetype sof = noWidth.indexOf(QByteArray("\xFF\xC0", 2));
    noWidth[sof + 7] = noWidth[sof + 8] = 0;
    EXPECT_THROW(Decode(noWidth), Error);
}

TEST(GifDecoding, PixelsAreThoseQtShows) {
    using L = test::GifLayout;
    const QRgb green = qRgb(10, 200, 30), red = qRgb(200, 10, 30);
    // clang-format off
    const std::pair<const char*, L> cases[] = {
        {"plain", L{}},
        {"interlaced", L{{}, {}, true}},
        {"local colour table", L{{}, {}, false, true}},
        {"on a larger screen, its background around", L{{60, 40}, {9, 13}, false, false, 100, green}},
        {"interlaced on a larger screen", L{{50, 33}, {3, 5}, true, false, 120, red}},
        {"transparent around and inside", L{{60, 40}, {9, 13}, false, false, 0, 0, 2}},
        {"past the screen's edge: cut", L{{40, 25}, {30, 20}}},
        {"wholly off the screen", L{{20, 10}, {25, 3}, false, false, 110}},
    };
    // clang-format on
    for (const auto& [name, layout] : cases) {
        const QByteArray gif = test::EncodeGif(Quarters(37, 21), layout);
        // Premultiplied: a transparent pixel is transparent whatever colour it nominally has.
        EXPECT_EQ(Decode(gif), DecodeWithQt(gif)) << name;
    }
}

TEST(RowPipeline, GivesWhatTheFilterGivesAndAFailureNeverHangs) {
    const int w = 123, h = 301;  // not a multiple of the pipeline's blocks
    std::vector<std::uint8_t> source(w * h * 4), direct(50 * 70 * 4), piped(direct.size());
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<std::uint8_t>((i * 2654435761U) >> 11U);
    }
    Resample({source.data(), w, h, w * 4}, {direct.data(), 50, 70, 200}, ResampleFilter::Lanczos3);
    RowResampler resampler(w, h, {piped.data(), 50, 70, 200});
    RowPipeline rows(resampler, static_cast<std::size_t>(w) * 4);
    for (int y = 0; y < h; ++y) {
        std::copy_n(source.data() + static_cast<std::size_t>(y) * w * 4, w * 4, rows.Row());
        rows.Push();
    }
    rows.Finish();
    EXPECT_EQ(piped, direct);

    // Forty rows for a picture of ten: the filter's refusal reaches the decoder. Then one
    // dropped half-way (damaged data) must not hang.
    for (const int height : {10, 1000}) {
        RowResampler small(8, height, {direct.data(), 4, 4, 16});
        RowPipeline pipe(small, 32);
        const auto push = [&] {
            for (int y = 0; y < 40; ++y) {
                pipe.Push();
            }
            pipe.Finish();
        };
        if (height == 10) {
            EXPECT_THROW(push(), std::logic_error);
        } else {
            pipe.Push();
        }
    }
}

TEST(BitmapFile, RowsArePaddedBottomUpAndReadBackExactly) {
    test::TempFolder folder;
    const QString path = QString::fromStdString((folder / "out.bmp").string());
    for (const int width : {1, 2, 3, 5, 64}) {
        QImage image = Quarters(width, 3).convertToFormat(QImage::Format_RGB32);
        image.setPixel(0, 2, qRgb(0, 160, 255));
        image.setDotsPerMeterX(3780);
        image.setDotsPerMeterY(2835);
        WriteBitmapFile(image, path);
        const std::string bytes = test::ReadBytes(folder / "out.bmp");
        const auto le32 = [&](std::size_t at) {
            quint32 value = 0;  // the file is little-endian, like every machine we build for
            std::memcpy(&value, bytes.data() + at, 4);
            return value;
        };
        const auto rowBytes = static_cast<std::size_t>(width * 3 + 3) / 4 * 4;
        EXPECT_EQ(bytes.size(), 54 + rowBytes * 3) << width;
        EXPECT_EQ((std::vector<quint32>{le32(2), le32(10), le32(38), le32(42)}),
                  (std::vector<quint32>{quint32(bytes.size()), 54, 3780, 2835}));
        EXPECT_EQ(bytes.substr(54, 3), "\xFF\xA0\x00"s) << "the bottom row first, blue first";
        EXPECT_EQ(QImage(path, "BMP").convertToFormat(QImage::Format_RGB32), image) << width;
    }
}

}  // namespace
}  // namespace tavrino
