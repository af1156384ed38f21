// Pictures made on the spot, through the decoders (held against Qt's own readers of the same
// bytes) and the composition in the helper process to the wallpaper bitmap and the preview:
// fitted sizes, damaged and missing files, helper faults, and when a bitmap may be reused.
#include <gtest/gtest.h>
#include <signal.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QTransform>
#include <QtEndian>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
// clang-format on

#include "common/TestSupport.h"
#include "settings/Options.h"
#include "support/MessageBox.h"
#include "support/errors/Errors.h"
#include "wallpaper/PreviewController.h"
#include "wallpaper/WallpaperComposer.h"
#include "wallpaper/decode/DecoderProcess.h"
#include "wallpaper/decode/ImageDecoding.h"

namespace tavrino {
namespace {

// A picture whose left half is `left` and right half `right`, so a turn or a mirror shows.
QImage TwoHalves(int width, int height, QColor left = Qt::red, QColor right = Qt::blue) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(right);
    QPainter(&image).fillRect(0, 0, width / 2, height, left);
    return image;
}

// The picture in Qt's writer for format ("JPG", "BMP", "PNG").
QByteArray Encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 95);
    return bytes;
}

// A picture from tests/wallpaper/pictures: GIF frames placed every way the format allows.
QByteArray Sample(const char* name) {
    return QByteArray::fromStdString(
        test::ReadBytes(qEnvironmentVariable("TAVRINO_TEST_SOURCE_DIR").toStdString() +
                        "/tests/wallpaper/pictures/" + name));
}

// bytes with values written at `at`, each `width` bytes little-endian.
QByteArray Patched(QByteArray bytes, qsizetype at, std::initializer_list<std::int64_t> values,
                   int width) {
    for (const std::int64_t value : values) {
        for (int i = 0; i < width; ++i, ++at) {
            bytes[at] = static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    }
    return bytes;
}

// A JPEG carrying an EXIF APP1 segment: one directory at 8 whose one entry is the orientation.
QByteArray JpegWithOrientation(const QImage& stored, int orientation) {
    const QByteArray jpeg = Encode(stored, "JPG");
    const QByteArray app1(
        "\xFF\xE1\0\x22"
        "Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0",
        28);
    return jpeg.left(2) + Patched(app1 + QByteArray(8, 0), 28, {orientation}, 2) + jpeg.mid(2);
}

// Ours, or Qt's reader, at the natural size.
QImage Decode(const QByteArray& bytes, bool withQt = false) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    return (withQt ? reader.read()
                   : DecodePicture(buffer, [](QSize natural) { return natural; }).image)
        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Four coloured quarters, so any turn or mirror shows.
QImage Quarters(int w, int h) {
    QImage image = TwoHalves(w, h, Qt::red, Qt::green);
    QPainter(&image).drawImage(0, h / 2, TwoHalves(w, h - h / 2, Qt::blue, Qt::yellow));
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

TEST(Decoding, GifFramesAndExifTurnsAreWhatQtShows) {
    const QImage stored = Quarters(37, 21);            // as in the GIF samples
    QByteArray away = JpegWithOrientation(stored, 6);  // a directory past the block
    away[away.indexOf(QByteArray("II*\0", 4)) + 4] = static_cast<char>(0xF0);
    std::vector<std::pair<std::string, QByteArray>> cases = {{"EXIF pointing away", away}};
    for (const int orientation : {0, 1, 2, 3, 4, 5, 6, 7, 8, 0xFFFF}) {
        cases.emplace_back("orientation " + std::to_string(orientation),
                           JpegWithOrientation(stored, orientation));
    }
    // clang-format off
    for (const char* gif : {"plain.gif", "interlaced.gif", "local-table.gif", "larger-screen.gif", "interlaced-larger-screen.gif",
                            "transparent.gif", "past-the-edge.gif", "off-the-screen.gif"}) {
        cases.emplace_back(gif, Sample(gif));
    }
    // clang-format on
    for (const auto& [name, bytes] : cases) {
        // Premultiplied: a transparent pixel is transparent whatever colour it nominally has.
        const QImage ours = Decode(bytes), qt = Decode(bytes, true);
        EXPECT_TRUE(bytes.startsWith("GIF") ? ours == qt : Psnr(ours, qt) > 30) << name;
    }
}

// libjpeg's own JPEG of image: baseline or progressive, the luma sampled h x v, or grey.
QByteArray LibjpegEncode(const QImage& image, int h, int v, bool grey, unsigned restart,
                         bool progressive) {
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    const QImage pixels =
        image.convertToFormat(grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    c.image_width = static_cast<JDIMENSION>(pixels.width());
    c.image_height = static_cast<JDIMENSION>(pixels.height());
    c.input_components = grey ? 1 : 3;
    c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    c.comp_info[0].h_samp_factor = h;
    c.comp_info[0].v_samp_factor = v;
    c.restart_interval = restart;
    if (progressive) {
        jpeg_simple_progression(&c);
    }
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        auto* row = const_cast<JSAMPLE*>(pixels.constScanLine(static_cast<int>(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray bytes(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    std::free(out);
    return bytes;
}

// libjpeg's own decoding of bytes at an eighth of the size.
QImage LibjpegEighth(const QByteArray& bytes) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr errors{};
    d.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&d, TRUE);
    d.scale_num = 1;
    d.scale_denom = 8;
    d.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&d);
    QImage image(static_cast<int>(d.output_width), static_cast<int>(d.output_height),
                 QImage::Format_RGB32);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(d.output_scanline));
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return image;
}

TEST(Decoding, AnEighthOfAJpegIsLibjpegsOwnToTheByte) {
    // Noise over gradients, so that the scan is long enough to be read on two cores.
    QImage image(1203, 811, QImage::Format_RGB32);
    std::minstd_rand noise(7);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const auto n = [&] { return static_cast<int>(noise() % 96); };
            image.setPixel(x, y, qRgb((x + n()) & 255, (y + n()) & 255, ((x ^ y) + n()) & 255));
        }
    }
    struct Case {
        const char* name;
        int h, v;
        bool grey;
        unsigned restart;
        bool progressive;
        bool damaged;  // bytes overwritten in the middle of the scan
        bool cut;      // the second half missing
    };
    // clang-format off
    const Case cases[] = {
        {"4:2:0",       2, 2, false, 0, false, false, false},
        {"4:2:2",       2, 1, false, 0, false, false, false},
        {"4:4:4",       1, 1, false, 0, false, false, false},
        {"grey",        1, 1, true,  0, false, false, false},
        {"restarts",    2, 2, false, 7, false, false, false},
        {"progressive", 2, 2, false, 0, true,  false, false},
        {"damaged",     2, 2, false, 0, false, true,  false},
        {"cut short",   2, 2, false, 0, false, false, true},
    };
    // clang-format on
    test::TempFolder folder;
    for (const Case& c : cases) {
        QByteArray bytes = LibjpegEncode(image, c.h, c.v, c.grey, c.restart, c.progressive);
        if (c.damaged) {
            bytes.replace(bytes.size() / 3, 40, QByteArray(40, '\x5A'));
        }
        if (c.cut) {
            bytes.truncate(bytes.size() / 2);
        }
        const auto eighth = [](QSize natural) {
            return QSize((natural.width() + 7) / 8, (natural.height() + 7) / 8);
        };
        // From memory, and from a file, which is read in another way.
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        test::WriteBytes(folder / "picture.jpg", bytes.toStdString());
        QFile file(QString::fromStdString((folder / "picture.jpg").string()));
        file.open(QIODevice::ReadOnly);
        for (QIODevice* device :
             {static_cast<QIODevice*>(&buffer), static_cast<QIODevice*>(&file)}) {
            if (c.cut) {
                EXPECT_THROW(DecodePicture(*device, eighth), Error) << c.name;
            } else {
                EXPECT_TRUE(DecodePicture(*device, eighth).image == LibjpegEighth(bytes)) << c.name;
            }
        }
    }
}

using Reports = std::vector<std::pair<int, std::int32_t>>;  // location, number

// Within a few levels of colour, as JPEG and filtering leave flat areas.
bool Near(QRgb p, QColor c) {
    return std::abs(qRed(p) - c.red()) + std::abs(qGreen(p) - c.green()) +
               std::abs(qBlue(p) - c.blue()) <
           60;
}

class ComposeTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageInterceptor([this](const ShownMessage& m) {
            shown_.append(m.text + m.title + QString::number(int(m.icon)));
        });
        frame_.resize(175, 131);  // the preview's design size, 2625 x 1965 twips
    }
    void TearDown() override { SetMessageInterceptor({}); }

    QString Source(const std::string& name, const QByteArray& bytes) const {
        test::WriteBytes(folder_ / name, bytes.toStdString());
        return QString::fromStdString((folder_ / name).string());
    }
    void SetFit(bool stretch, bool aspect) {
        options_.SetState(Option::Tile, 0);
        options_.SetState(Option::Stretch, stretch ? 1 : 0);
        options_.SetState(Option::Aspect, aspect ? 1 : 0);
    }
    std::unique_ptr<WallpaperComposer> Composer(const QString& data) {
        return std::make_unique<WallpaperComposer>(reporter_, options_, data,
                                                   [this] { return screen_; });
    }
    std::string Bytes() const { return test::ReadBytes(data_.toStdString() + "/" + kBitmap); }
    // The reports since the last call, whose descriptions must all say says.
    Reports Taken(const char* says = "") {
        Reports taken;
        for (const test::Report& r : reporter_.reports) {
            taken.emplace_back(r.location, r.number);
            EXPECT_NE(r.description.find(says), std::string::npos) << r.description;
            // Damaged data must end the decoder's rows, not leave it waiting for more.
            EXPECT_EQ(r.description.find("took longer") == std::string::npos,
                      std::string(says).find("took longer") == std::string::npos);
        }
        reporter_.reports.clear();
        return taken;
    }
    // The messages shown since the last call.
    QStringList Shown() { return std::exchange(shown_, {}); }
    const QString kStop =
        kImageNotLocatedMessage + kApplicationTitle + QString::number(int(MessageIcon::Stop));
    static constexpr const char* kBitmap = "TavrinoWallpaperManager.bmp";
    test::TempFolder folder_;
    QString data_ = QString::fromStdString((folder_ / "data").string());
    test::MemorySettingsStore store_;
    test::RecordingReporter reporter_;
    OptionBoxes options_{store_, reporter_};
    ScreenMetrics screen_ = MetricsForPixels(1024, 768);
    std::unique_ptr<WallpaperComposer> composer_ = Composer(data_);
    QStringList shown_;
    QFrame frame_;
    QLabel* label_ = new QLabel(&frame_);
    PreviewController preview_{&frame_, label_, reporter_, options_, [this] { return screen_; }};
};

TEST_F(ComposeTest, TheBitmapIsTheWholePictureAtTheFittedSizeBottomUpIn24Bits) {
    struct Case {
        const char* name;
        QByteArray bytes;
        QSize screen, bitmap;
        bool stretch, aspect, turned;  // turned: red on top instead of on the left
        QColor red = QColor(Qt::red);  // what the red half became
    };
    // Blue above red, stored bottom row first; a height of -90 says the top row comes first.
    QByteArray topDown =
        Encode(TwoHalves(90, 120, Qt::blue, Qt::red).transformed(QTransform().rotate(90)), "BMP");
    topDown.replace(22, 4, QByteArray("\xA6\xFF\xFF\xFF", 4));
    // clang-format off
    const Case cases[] = {
        {"natural size",              Encode(TwoHalves(640, 480), "JPG"), {1024, 768}, {640, 480}, false, false, false},
        {"larger: not cropped",       Encode(TwoHalves(2048, 1536), "JPG"), {1024, 768}, {2048, 1536}, false, false, false},
        {"at the side limit",         Encode(TwoHalves(16384, 1), "BMP"), {1024, 768}, {16384, 1}, false, false, false},
        {"wide, 1066.67 pixels",      Encode(TwoHalves(1600, 1200), "JPG"), {1280, 800}, {1067, 800}, true, true, false},
        {"tall",                      Encode(TwoHalves(600, 800), "JPG"), {1024, 768}, {576, 768}, true, true, false},
        {"GIF told by its content",   Sample("halves.gif"), {1024, 768}, {1024, 768}, true, false, false},
        {"clear parts: background",   Sample("clear-left.gif"), {1024, 768}, {1024, 768}, true, false, false, QColor(0, 128, 0)},
        {"BMP stored top-down",       topDown, {1024, 768}, {1024, 768}, true, false, true},
        {"EXIF turn a quarter",       JpegWithOrientation(TwoHalves(80, 40), 6), {1024, 768}, {40, 80}, false, false, true},
        // The decoder's early shrink must follow the turn: 3 : 4, not squeezed.
        {"EXIF turned, shrunk early", JpegWithOrientation(TwoHalves(2400, 1800), 6), {1024, 768}, {576, 768}, true, true, true},
    };
    // clang-format on
    composer_->SetBackground(QColor(0, 128, 0));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        screen_ = MetricsForPixels(c.screen.width(), c.screen.height());
        SetFit(c.stretch, c.aspect);
        ASSERT_TRUE(composer_->ComposeWallpaper(Source("p.img", c.bytes)));
        const std::string bytes = Bytes();
        const auto rowBytes = static_cast<std::size_t>(c.bitmap.width() * 3 + 3) / 4 * 4;
        EXPECT_EQ(bytes.size(), 54 + rowBytes * static_cast<std::size_t>(c.bitmap.height()));
        EXPECT_EQ(bytes.substr(0, 2), "BM");
        EXPECT_EQ(bytes.at(28), 24) << "bits per pixel";
        EXPECT_EQ(qFromLittleEndian<qint32>(bytes.data() + 22), c.bitmap.height()) << "bottom-up";
        const QImage b(composer_->BitmapPath(), "BMP");
        ASSERT_EQ(b.size(), c.bitmap);
        const int w = b.width(), h = b.height();
        EXPECT_TRUE(Near(b.pixel(c.turned ? QPoint(w / 2, h / 8) : QPoint(w / 8, h / 2)), c.red));
        EXPECT_TRUE(Near(b.pixel(c.turned ? QPoint(w / 2, h * 7 / 8) : QPoint(w * 7 / 8, h / 2)),
                         Qt::blue));
    }
    EXPECT_EQ(Taken(), Reports{});
    EXPECT_EQ(Shown(), QStringList());
}

TEST_F(ComposeTest, EveryFailureIsReportedWhereAskedAndThePreviousBitmapStaysByteForByte) {
    const QByteArray jpeg = Encode(TwoHalves(400, 300), "JPG");
    const QByteArray gif = Sample("halves.gif");
    const QByteArray bmp = Encode(TwoHalves(64, 64), "BMP");
    QByteArray garbled = gif;  // the LZW stream garbled, the framing kept
    for (qsizetype i = 13 + 3 * 128 + 12; i < garbled.size() - 2; i += 7) {
        garbled[i] = static_cast<char>(0xFF);
    }
    std::optional<test::ScopedEnv> fault;  // the decoding helper's test switch
    const auto helper = [&fault](const char* what) {
        return [&fault, what] { fault.emplace(kDecoderFaultVariable, what); };
    };
    struct Case {
        const char* name;
        QByteArray bytes;
        std::int32_t number;
        std::function<void()> arrange = {};
        const char* says = "";
    };
    // clang-format off
    const Case cases[] = {
        {"empty.jpg",       {},                                        errnum::InvalidPicture},
        {"cut.jpg",         jpeg.left(jpeg.size() / 2),                errnum::InvalidPicture},
        {"png.jpg",         Encode(TwoHalves(8, 8), "PNG"),            errnum::InvalidPicture},
        {"huge.gif",        Patched(Patched(gif, 6, {60000, 60000}, 2), 402, {60000, 60000}, 2), errnum::OutOfMemory},
        {"garbled.gif",     garbled,                                   errnum::InvalidPicture},
        {"cut.gif",         gif.left(gif.size() * 2 / 3),              errnum::InvalidPicture},
        {"huge.bmp",        Patched(bmp, 18, {60000, 60000}, 4),       errnum::InvalidPicture},
        {"vast.bmp",        Patched(bmp, 18, {0x7FFFFFFF, 0x7FFFFFFF}, 4), errnum::InvalidPicture},
        {"no width.jpg",    Patched(jpeg, jpeg.indexOf("\xFF\xC0") + 7, {0}, 2), errnum::InvalidPicture},
        {"cut.bmp",         bmp.left(bmp.size() - 1),                  errnum::InvalidPicture},
        {"too-wide.bmp",    Encode(TwoHalves(16385, 1), "BMP"),        errnum::OutOfMemory},
        {"side past limit", jpeg, errnum::OutOfMemory,         [this] { composer_->SetDecodeLimits({100, 1 << 20}); }},
        {"past 100 KB",     jpeg, errnum::OutOfMemory,         [this] { composer_->SetDecodeLimits({1000, 100 * 1024}); }},
        {"no screen",       jpeg, errnum::DivisionByZero,      [this] { screen_ = ScreenMetrics{}; }},
        {"data is a file",  jpeg, errnum::PathFileAccessError, [this] { composer_ = Composer(Source("file", "x")); }},
        {"helper crashes",  jpeg, errnum::InvalidPicture, helper("crash"),  "the picture could not be decoded: the decoder stopped (signal 11)"},
        {"helper hangs",    jpeg, errnum::InvalidPicture, helper("hang"),   "the picture could not be decoded: the decoder took longer than 1.5 s and was stopped"},
        {"helper runs out", jpeg, errnum::OutOfMemory,    helper("memory"), "Out of memory"},
    };
    // clang-format on
    SetFit(true, true);
    SetDecoderTimeout(std::chrono::milliseconds(1500));
    ASSERT_TRUE(composer_->ComposeWallpaper(Source("good.bmp", bmp)));
    const std::string before = Bytes();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        screen_ = MetricsForPixels(1024, 768);
        composer_ = Composer(data_);
        if (c.arrange) {
            c.arrange();
        }
        const QString path = Source(c.name, c.bytes);
        EXPECT_FALSE(composer_->ComposeWallpaper(path));
        Reports expected{{48, c.number}};
        if (fault) {  // the preview asks the helper too
            preview_.lstPreview_ItemClick(path);
            EXPECT_TRUE(label_->pixmap().isNull()) << "the old picture belonged to another entry";
            expected.emplace_back(34, c.number);
            fault.reset();
        }
        EXPECT_EQ(Taken(c.says), expected);
        EXPECT_TRUE(Bytes() == before);
        // No temporary file is left behind beside the bitmap.
        EXPECT_EQ(QDir(data_).entryList(QDir::Files | QDir::Hidden), QStringList{kBitmap});
    }
    SetDecoderTimeout(std::chrono::seconds(30));
    EXPECT_TRUE(composer_->ComposeWallpaper(Source("next.jpg", jpeg))) << "the program runs on";
    EXPECT_EQ(Shown(), QStringList());
}

// The processes this one started and has not reaped yet.
std::vector<pid_t> Children() {
    std::vector<pid_t> pids;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream list(task.path() / "children");
        for (pid_t pid = 0; list >> pid;) {
            pids.push_back(pid);
        }
    }
    return pids;
}

TEST_F(ComposeTest, ASpareHelperKilledBeforeItsJobIsReplacedAndOneLeftIdleEnds) {
    const QByteArray jpeg = Encode(TwoHalves(64, 48), "JPG");
    SetDecoderIdleTime(std::chrono::milliseconds(300));
    ASSERT_TRUE(test::WaitUntil([] { return Children().empty(); })) << "one left idle ends";
    ASSERT_TRUE(composer_->ComposeWallpaper(Source("p.jpg", jpeg)));
    EXPECT_TRUE(Children().empty()) << "a job that started its own helper leaves none";
    PrepareDecoder();
    const std::vector<pid_t> spare = Children();
    ASSERT_EQ(spare.size(), 1U) << "one helper waits for the next job";
    ::kill(spare[0], SIGKILL);
    EXPECT_TRUE(composer_->ComposeWallpaper(Source("q.jpg", jpeg)));
    EXPECT_EQ(Children().size(), 1U) << "a job that found one waiting leaves the next";
    EXPECT_TRUE(test::WaitUntil([] { return Children().empty(); })) << "nor is one left behind";
    SetDecoderIdleTime(std::chrono::seconds(60));
    EXPECT_EQ(Taken(), Reports{});
}

TEST_F(ComposeTest, ThePreviewSitsAsTheWallpaperWouldAndAMissingPictureChangesNothing) {
    const QString gone = Source("gone.jpg", {});
    QFile::remove(gone);
    const QString hidden = Source(".hidden.jpg", Encode(TwoHalves(8, 8), "JPG"));
    const QString ok = Source("ok.jpg", Encode(TwoHalves(600, 800), "JPG"));
    SetFit(true, true);
    ASSERT_TRUE(composer_->ComposeWallpaper(ok));
    preview_.lstPreview_ItemClick(ok);
    EXPECT_EQ(label_->geometry(), QRect(38, 0, 98, 131));  // in pixels of pctPreview
    EXPECT_TRUE(label_->hasScaledContents());
    EXPECT_LE(label_->pixmap().width(), 98 * 2) << "decoded at the preview's size";
    EXPECT_TRUE(Near(label_->pixmap().toImage().pixel(5, 65), Qt::red)) << "not mirrored";
    const std::string before = Bytes();
    const QRect box = label_->geometry();
    const auto settings = store_.values;
    for (const QString& path :
         {gone, hidden, QString::fromStdString(folder_.Path().string()), QString()}) {
        EXPECT_FALSE(composer_->ComposeWallpaper(path));
        preview_.lstPreview_ItemClick(path);
        EXPECT_EQ(Shown(), QStringList(2, kStop)) << path.toStdString();
        EXPECT_TRUE(label_->pixmap().isNull());
        EXPECT_EQ(label_->geometry(), box);
    }
    EXPECT_TRUE(Bytes() == before);
    EXPECT_EQ(store_.values, settings);
    EXPECT_EQ(Taken(), Reports{});
}

}  // namespace
}  // namespace tavrino
