// The JPEG and GIF decoders that hand their rows straight to the filter, held against Qt's own
// readers of the same bytes: EXIF turns, shrinking while decoding, four-colour JPEGs, GIF
// frames placed on a larger screen, interlaced and transparent; and the row pipeline and the
// bitmap writer they feed.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "support/errors/Errors.h"
#include "wallpaper/BitmapComposition.h"
#include "wallpaper/decode/ImageDecoding.h"
#include "wallpaper/decode/Resample.h"
#include "wallpaper/decode/RowPipeline.h"
#include "wallpaper/test_compose_images.h"

#include <jpeglib.h>
#include <cstdio>

namespace tavrino {
namespace {

QImage Decode(const QByteArray& bytes, QSize wanted = QSize()) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return DecodePicture(buffer, [&](QSize natural) { return wanted.isValid() ? wanted : natural; })
        .image;
}

QImage DecodeWithQt(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    return reader.read();
}

// A picture in four coloured quarters, so any turn or mirror shows.
QImage Quarters(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width / 2, height / 2, Qt::red);
    painter.fillRect(width / 2, 0, width - width / 2, height / 2, Qt::green);
    painter.fillRect(0, height / 2, width / 2, height - height / 2, Qt::blue);
    painter.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, Qt::yellow);
    return image;
}

// Smooth shapes with some detail, like a photograph at a distance.
QImage Scene(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width;
            const double v = static_cast<double>(y) / height;
            image.setPixel(x, y,
                           qRgb(static_cast<int>(127 + 120 * std::sin(9 * u + 4 * v)),
                                static_cast<int>(255 * v),
                                static_cast<int>(127 + 120 * std::cos(7 * v - 5 * u * u))));
        }
    }
    return image;
}

double Psnr(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size()) {
        return 0;
    }
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            const int dr = qRed(p) - qRed(q);
            const int dg = qGreen(p) - qGreen(q);
            const int db = qBlue(p) - qBlue(q);
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (3.0 * x.width() * x.height());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

// ---- JPEG ----

TEST(JpegDecoding, EveryExifOrientationStandsAsQtStandsIt) {
    const QImage stored = Quarters(64, 48);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const QByteArray jpeg = test::JpegWithOrientation(stored, orientation);
        const QImage ours = Decode(jpeg);
        const QImage qt = DecodeWithQt(jpeg);
        ASSERT_EQ(ours.size(), qt.size()) << "orientation " << orientation;
        // The middle of each quarter: the same colour in both.
        for (const auto& [fx, fy] :
             {std::pair{0.25, 0.25}, {0.75, 0.25}, {0.25, 0.75}, {0.75, 0.75}}) {
            const int x = static_cast<int>(fx * ours.width());
            const int y = static_cast<int>(fy * ours.height());
            const QColor a = ours.pixelColor(x, y);
            const QColor b = qt.pixelColor(x, y);
            EXPECT_NEAR(a.red(), b.red(), 12)
                << "orientation " << orientation << " at " << x << "," << y;
            EXPECT_NEAR(a.green(), b.green(), 12) << "orientation " << orientation;
            EXPECT_NEAR(a.blue(), b.blue(), 12) << "orientation " << orientation;
        }
    }
}

TEST(JpegDecoding, ShrinkingWhileDecodingLooksLikeFilteringTheWholePicture) {
    // 1600 x 1200 to several sizes: the decoder shrinks by eighths (3/8, 1/8, 5/8 ...) and the
    // filter does the rest; the result must be the full picture filtered, not shifted, cut,
    // mirrored or with its channels swapped.
    const QImage scene = Scene(1600, 1200);
    const QByteArray jpeg = test::EncodeJpeg(scene, 95);
    const QImage full = DecodeWithQt(jpeg).convertToFormat(QImage::Format_RGB32);
    for (const QSize wanted : {QSize(500, 375), QSize(199, 150), QSize(1000, 700),
                               QSize(1600, 1200), QSize(1920, 1080)}) {
        const QImage ours = Decode(jpeg, wanted);
        ASSERT_EQ(ours.size(), wanted);
        QImage reference(wanted, QImage::Format_RGB32);
        Resample(
            {full.constBits(), full.width(), full.height(), full.bytesPerLine()},
            {reference.bits(), reference.width(), reference.height(), reference.bytesPerLine()},
            ResampleFilter::Lanczos3);
        EXPECT_GT(Psnr(ours, reference), 38.0) << wanted.width() << "x" << wanted.height();
    }
}

// A four-colour JPEG as Adobe writes it: inks stored inverted (255 = no ink).
QByteArray CmykJpeg(int width, int height) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_CreateCompress(&info, JPEG_LIB_VERSION, sizeof info);
    unsigned char* memory = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &memory, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * 4);
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < width; ++x) {
            JSAMPLE* p = &row[static_cast<std::size_t>(x) * 4];
            // Left half red (magenta and yellow inks), right half half-black grey.
            if (x < width / 2) {
                p[0] = 255, p[1] = 0, p[2] = 0, p[3] = 255;
            } else {
                p[0] = 255, p[1] = 255, p[2] = 255, p[3] = 128;
            }
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(memory), static_cast<qsizetype>(size));
    std::free(memory);
    return bytes;
}

TEST(JpegDecoding, FourColourPicturesComeOutInTheirColours) {
    const QByteArray jpeg = CmykJpeg(64, 32);
    const QImage ours = Decode(jpeg);
    const QImage qt = DecodeWithQt(jpeg);
    ASSERT_EQ(ours.size(), QSize(64, 32));
    EXPECT_GT(Psnr(ours, qt), 40.0);
    const QColor red = ours.pixelColor(10, 16);
    EXPECT_GT(red.red(), 240);
    EXPECT_LT(red.green(), 15);
    EXPECT_LT(red.blue(), 15);
    EXPECT_NEAR(ours.pixelColor(50, 16).green(), 128, 6);
    // Shrunk while decoding too.
    EXPECT_EQ(Decode(jpeg, QSize(16, 8)).size(), QSize(16, 8));
}

TEST(JpegDecoding, GreyPicturesComeOutGrey) {
    QImage grey(80, 60, QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y) {
        for (int x = 0; x < grey.width(); ++x) {
            grey.setPixel(x, y, qRgb(x * 3, x * 3, x * 3));
        }
    }
    const QByteArray jpeg = test::EncodeJpeg(grey);
    const QImage ours = Decode(jpeg);
    EXPECT_GT(Psnr(ours, DecodeWithQt(jpeg)), 45.0);
    const QColor middle = ours.pixelColor(40, 30);
    EXPECT_EQ(middle.red(), middle.green());
    EXPECT_EQ(middle.green(), middle.blue());
    EXPECT_NEAR(middle.red(), 120, 4);
}

TEST(JpegDecoding, DamagedHeadersAreRefusedNotGuessed) {
    const QByteArray jpeg = test::EncodeJpeg(Quarters(40, 30));
    // A picture of no width: the start-of-frame's width bytes zeroed.
    QByteArray empty = jpeg;
    const qsizetype sof = empty.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    empty[sof + 7] = 0;
    empty[sof + 8] = 0;
    EXPECT_THROW(Decode(empty), Error);
    // An EXIF block whose directory points past its end, or holds a bogus orientation:
    // the picture is shown as stored.
    for (const int orientation : {0, 9, 0xFFFF}) {
        const QImage shown = Decode(test::JpegWithOrientation(Quarters(40, 30), orientation));
        EXPECT_EQ(shown.size(), QSize(40, 30));
    }
    QByteArray pointingAway = test::JpegWithOrientation(Quarters(40, 30), 6);
    const qsizetype tiff = pointingAway.indexOf(QByteArray("II*\0", 4));
    ASSERT_GT(tiff, 0);
    pointingAway[tiff + 4] = static_cast<char>(0xF0);  // first directory far beyond the block
    EXPECT_EQ(Decode(pointingAway).size(), QSize(40, 30));
}

// ---- GIF ----

struct GifCase {
    const char* name;
    test::GifLayout layout;
    int transparent;
};

class GifDecoding : public ::testing::TestWithParam<GifCase> {};

TEST_P(GifDecoding, PixelsAreThoseQtShows) {
    const GifCase& c = GetParam();
    const QByteArray gif = test::EncodeGif(Quarters(37, 21), c.layout, c.transparent);
    // Premultiplied: a transparent pixel is transparent whatever colour it nominally has.
    const QImage ours = Decode(gif).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage qt = DecodeWithQt(gif).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ASSERT_FALSE(qt.isNull());
    ASSERT_EQ(ours.size(), qt.size());
    for (int y = 0; y < qt.height(); ++y) {
        for (int x = 0; x < qt.width(); ++x) {
            ASSERT_EQ(ours.pixel(x, y), qt.pixel(x, y)) << "at " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, GifDecoding,
    ::testing::Values(
        GifCase{"Plain", {}, -1}, GifCase{"Interlaced", {QSize(), QPoint(), true}, -1},
        GifCase{"LocalColourTable", {QSize(), QPoint(), false, true}, -1},
        GifCase{"FrameOnLargerScreenTakesTheBackground",
                {QSize(60, 40), QPoint(9, 13), false, false, 100, qRgb(10, 200, 30)},
                -1},
        GifCase{"InterlacedFrameOnLargerScreen",
                {QSize(50, 33), QPoint(3, 5), true, false, 120, qRgb(200, 10, 30)},
                -1},
        GifCase{"TransparentAroundAndInside", {QSize(60, 40), QPoint(9, 13)}, 2},
        GifCase{"FramePastTheScreenEdgeIsCut", {QSize(40, 25), QPoint(30, 20)}, -1},
        GifCase{"FrameWhollyOffTheScreen", {QSize(20, 10), QPoint(25, 3), false, false, 110}, -1}),
    [](const ::testing::TestParamInfo<GifCase>& param) { return std::string(param.param.name); });

TEST(GifDecodingFailures, NoPictureOrAFrameBeyondTheLimitsIsRefused) {
    QByteArray empty("GIF89a\x04\x00\x04\x00\x80\x00\x00", 13);
    empty.append(QByteArray(6, '\0'));
    empty.append(';');
    try {
        Decode(empty);
        ADD_FAILURE() << "a GIF without a picture was decoded";
    } catch (const Error& e) {
        EXPECT_EQ(e.Number(), errnum::InvalidPicture);
    }
    // A small screen with a frame far larger than any limit: refused before any pixel.
    test::GifLayout layout;
    layout.screen = QSize(8, 8);
    const QByteArray wide = test::EncodeGif(Quarters(300, 2), layout);
    QBuffer buffer;
    buffer.setData(wide);
    buffer.open(QIODevice::ReadOnly);
    try {
        DecodePicture(
            buffer, [](QSize natural) { return natural; }, DecodeLimits{200, 1 << 20});
        ADD_FAILURE() << "a frame past the limits was decoded";
    } catch (const Error& e) {
        EXPECT_EQ(e.Number(), errnum::OutOfMemory);
    }
}

// ---- Row pipeline ----

std::vector<std::uint8_t> Noise(int width, int height) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width) *
                                    static_cast<std::size_t>(height) * 4);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 2654435761U) >> 11U);
    }
    return bytes;
}

TEST(RowPipelineTest, GivesExactlyWhatTheFilterGivesOnOneThread) {
    const int w = 123;
    const int h = 301;  // not a multiple of the pipeline's blocks
    const std::vector<std::uint8_t> source = Noise(w, h);
    std::vector<std::uint8_t> direct(50 * 70 * 4);
    std::vector<std::uint8_t> piped(direct.size());
    Resample({source.data(), w, h, w * 4}, {direct.data(), 50, 70, 200}, ResampleFilter::Lanczos3);
    RowResampler resampler(w, h, {piped.data(), 50, 70, 200});
    RowPipeline rows(resampler, static_cast<std::size_t>(w) * 4);
    for (int y = 0; y < h; ++y) {
        std::copy_n(source.data() + static_cast<std::size_t>(y) * w * 4, w * 4, rows.Row());
        rows.Push();
    }
    rows.Finish();
    EXPECT_TRUE(resampler.Complete());
    EXPECT_EQ(piped, direct);
}

TEST(RowPipelineTest, AFilterFailureReachesTheDecoderAndAbandoningNeverHangs) {
    std::vector<std::uint8_t> out(4 * 4 * 4);
    const std::vector<std::uint8_t> row(8 * 4, 9);
    {
        // Forty rows for a picture of ten: the filter refuses the eleventh.
        RowResampler resampler(8, 10, {out.data(), 4, 4, 16});
        RowPipeline rows(resampler, row.size());
        EXPECT_THROW(
            {
                for (int y = 0; y < 40; ++y) {
                    std::copy(row.begin(), row.end(), rows.Row());
                    rows.Push();
                }
                rows.Finish();
            },
            std::logic_error);
    }
    {
        // A decoder that stops half-way (damaged data): the pipeline is dropped unfinished.
        RowResampler resampler(8, 1000, {out.data(), 4, 4, 16});
        RowPipeline rows(resampler, row.size());
        for (int y = 0; y < 100; ++y) {
            std::copy(row.begin(), row.end(), rows.Row());
            rows.Push();
        }
    }
    SUCCEED() << "both pipelines stopped";
}

// ---- Bitmap file ----

TEST(BitmapFile, RowsArePaddedBottomUpAndReadBackExactly) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("out.bmp"));
    for (const int width : {1, 2, 3, 5, 64}) {
        QImage image(width, 3, QImage::Format_RGB32);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < width; ++x) {
                image.setPixel(x, y, qRgb(x * 3, y * 80, 255 - x));
            }
        }
        image.setDotsPerMeterX(3780);
        image.setDotsPerMeterY(2835);
        WriteBitmapFile(image, path);
        const QByteArray bytes = test::ReadFile(path);
        const int rowBytes = (width * 3 + 3) / 4 * 4;
        ASSERT_EQ(bytes.size(), 54 + rowBytes * 3) << width;
        const auto le32 = [&](int at) {
            return static_cast<quint32>(static_cast<unsigned char>(bytes[at])) |
                   static_cast<quint32>(static_cast<unsigned char>(bytes[at + 1])) << 8U |
                   static_cast<quint32>(static_cast<unsigned char>(bytes[at + 2])) << 16U |
                   static_cast<quint32>(static_cast<unsigned char>(bytes[at + 3])) << 24U;
        };
        EXPECT_EQ(le32(2), static_cast<quint32>(bytes.size()));
        EXPECT_EQ(le32(10), 54U);
        EXPECT_EQ(le32(38), 3780U);
        EXPECT_EQ(le32(42), 2835U);
        // The first stored row is the bottom one, blue first.
        EXPECT_EQ(static_cast<unsigned char>(bytes[54]), 255);
        EXPECT_EQ(static_cast<unsigned char>(bytes[55]), 160);
        EXPECT_EQ(static_cast<unsigned char>(bytes[56]), 0);
        const QImage back(path, "BMP");
        ASSERT_EQ(back.size(), image.size());
        EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), image) << width;
    }
}

}  // namespace
}  // namespace tavrino
