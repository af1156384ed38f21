// The JPEG and GIF decoders that hand their rows straight to the filter, held against Qt's own
// readers of the same bytes, and the row pipeline between them and the filter.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/errors/Errors.h"
#include "wallpaper/decode/ImageDecoding.h"
#include "wallpaper/decode/Resample.h"
#include "wallpaper/decode/RowPipeline.h"
#include "wallpaper/test_compose_images.h"

namespace tavrino {
namespace {

// Ours at the wanted size (the natural one when invalid), or Qt's reader at the natural size.
QImage Decode(const QByteArray& bytes, QSize wanted = QSize(), bool withQt = false) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const auto size = [&](QSize natural) { return wanted.isValid() ? wanted : natural; };
    return (withQt ? reader.read() : DecodePicture(buffer, size).image)
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Four coloured quarters, so any turn or mirror shows.
QImage Quarters(int w, int h) {
    QImage image = test::TwoHalves(w, h, Qt::red, Qt::green);
    QPainter(&image).drawImage(0, h / 2, test::TwoHalves(w, h - h / 2, Qt::blue, Qt::yellow));
    return image;
}

// Peak signal to noise in dB; 0 for pictures of different sizes.
double Psnr(const QImage& a, const QImage& b) {
    double sum = 1e-9;
    for (int y = 0; a.size() == b.size() && y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                sum += d * d;
            }
        }
    }
    return a.size() != b.size() ? 0 : 10 * std::log10(65025.0 * 3 * a.width() * a.height() / sum);
}

TEST(JpegDecoding, PicturesComeOutAsQtShowsThemShrunkByEighthsAndFiltered) {
    QImage scene(1600, 1200, QImage::Format_RGB32);  // smooth shapes, like a distant photo
    for (int y = 0; y < scene.height(); ++y) {
        for (int x = 0; x < scene.width(); ++x) {
            const double u = x / 1600.0, v = y / 1200.0;
            scene.setPixel(x, y,
                           qRgb(int(127 + 120 * std::sin(9 * u + 4 * v)), int(255 * v),
                                int(127 + 120 * std::cos(7 * v - 5 * u * u))));
        }
    }
    const QByteArray photo = test::Encode(scene, "JPG");
    const QImage full = Decode(photo, {}, true).convertToFormat(QImage::Format_RGB32);
    // Whole; by 3/8, 1/8 and 5/8 while decoding, the filter doing the rest; enlarged.
    for (const QSize wanted : {QSize(1600, 1200), QSize(500, 375), QSize(199, 150),
                               QSize(1000, 700), QSize(1920, 1080)}) {
        QImage reference(wanted, QImage::Format_RGB32);
        Resample({full.constBits(), full.width(), full.height(), full.bytesPerLine()},
                 {reference.bits(), wanted.width(), wanted.height(), reference.bytesPerLine()},
                 ResampleFilter::Lanczos3);
        EXPECT_GT(Psnr(Decode(photo, wanted), reference), wanted == full.size() ? 45 : 38)
            << wanted.width();
    }
    const QByteArray grey =
        test::Encode(scene.scaled(80, 60).convertToFormat(QImage::Format_Grayscale8), "JPG");
    EXPECT_GT(Psnr(Decode(grey), Decode(grey, {}, true)), 45);
}

TEST(Decoding, GifFramesAndExifTurnsAreWhatQtShowsAndBadSizesAreRefused) {
    using L = test::GifLayout;
    const QRgb green = qRgb(10, 200, 30), red = qRgb(200, 10, 30);
    const QImage stored = Quarters(37, 21);
    QByteArray away = test::JpegWithOrientation(stored, 6);  // a directory past the block
    away[away.indexOf(QByteArray("II*\0", 4)) + 4] = static_cast<char>(0xF0);
    // clang-format off
    std::vector<std::pair<std::string, QByteArray>> cases = {
        {"GIF plain", test::EncodeGif(stored)},
        {"GIF interlaced", test::EncodeGif(stored, L{{}, {}, true})},
        {"GIF local colour table", test::EncodeGif(stored, L{{}, {}, false, true})},
        {"GIF on a larger screen, its background around", test::EncodeGif(stored, L{{60, 40}, {9, 13}, false, false, 100, green})},
        {"GIF interlaced on a larger screen", test::EncodeGif(stored, L{{50, 33}, {3, 5}, true, false, 120, red})},
        {"GIF transparent around and inside", test::EncodeGif(stored, L{{60, 40}, {9, 13}, false, false, 0, 0, 2})},
        {"GIF past the screen's edge: cut", test::EncodeGif(stored, L{{40, 25}, {30, 20}})},
        {"GIF wholly off the screen", test::EncodeGif(stored, L{{20, 10}, {25, 3}, false, false, 110})},
        {"EXIF pointing away", away},
    };
    // clang-format on
    for (const int orientation : {0, 1, 2, 3, 4, 5, 6, 7, 8, 0xFFFF}) {
        cases.emplace_back("orientation " + std::to_string(orientation),
                           test::JpegWithOrientation(stored, orientation));
    }
    for (const auto& [name, bytes] : cases) {
        // Premultiplied: a transparent pixel is transparent whatever colour it nominally has.
        const QImage ours = Decode(bytes), qt = Decode(bytes, {}, true);
        EXPECT_TRUE(bytes.startsWith("GIF") ? ours == qt : Psnr(ours, qt) > 30) << name;
    }
    QByteArray noWidth = test::Encode(stored, "JPG");
    const qsizetype sof = noWidth.indexOf(QByteArray("\xFF\xC0", 2));
    noWidth[sof + 7] = noWidth[sof + 8] = 0;
    EXPECT_THROW(Decode(noWidth), Error);
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
    // Forty rows for a picture of ten: the filter's refusal reaches the decoder.
    RowResampler small(8, 10, {direct.data(), 4, 4, 16});
    RowPipeline pipe(small, 32);
    EXPECT_THROW(
        {
            for (int y = 0; y < 40; ++y) {
                pipe.Push();
            }
            pipe.Finish();
        },
        std::logic_error);
    // Rows abandoned half-way (damaged data) must not hang.
    RowResampler tall(8, 1000, {direct.data(), 4, 4, 16});
    RowPipeline(tall, 32).Push();
}

}  // namespace
}  // namespace tavrino
