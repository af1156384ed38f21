// Composition of the wallpaper bitmap: sizes for every option set, the EXIF turn, damaged
// files, missing files and repeated compositions, all against real files on disk.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTemporaryDir>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "settings/Options.h"
#include "support/MessageBox.h"
#include "wallpaper/WallpaperComposer.h"
#include "wallpaper/test_compose_images.h"

namespace tavrino {
namespace {

using test::ReadFile;
using test::WriteFile;

class ComposeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        SetMessageInterceptor([this](const ShownMessage& m) { messages_.push_back(m); });
        options_ = std::make_unique<OptionBoxes>(store_, reporter_);
        composer_ = std::make_unique<WallpaperComposer>(reporter_, *options_, dataFolder(),
                                                        [this] { return screen_; });
    }
    void TearDown() override { SetMessageInterceptor({}); }

    QString dataFolder() const { return dir_.filePath(QStringLiteral("data")); }
    QString Source(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(WriteFile(path, bytes));
        return path;
    }
    void SetFit(bool stretch, bool aspect) {
        options_->SetState(Option::Tile, 0);
        options_->SetState(Option::Stretch, stretch ? 1 : 0);
        options_->SetState(Option::Aspect, aspect ? 1 : 0);
    }
    QImage Bitmap() const { return QImage(composer_->BitmapPath(), "BMP"); }

    QTemporaryDir dir_;
    test::MemorySettingsStore store_;
    test::RecordingReporter reporter_;
    std::unique_ptr<OptionBoxes> options_;
    ScreenMetrics screen_ = MetricsForPixels(1024, 768);
    std::unique_ptr<WallpaperComposer> composer_;
    std::vector<ShownMessage> messages_;
};

struct SizeCase {
    const char* name;
    int imageW, imageH;
    int screenW, screenH;
    bool stretch, aspect;
    int bitmapW, bitmapH;
};

class ComposeSizes : public ComposeTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(ComposeSizes, BitmapHasTheFittedPixelSize) {
    const SizeCase& c = GetParam();
    screen_ = MetricsForPixels(c.screenW, c.screenH);
    SetFit(c.stretch, c.aspect);
    const QString path =
        Source(QStringLiteral("photo.jpg"),
               test::EncodeJpeg(test::TwoHalves(c.imageW, c.imageH, Qt::red, Qt::blue)));
    ASSERT_TRUE(composer_->ComposeWallpaper(path));
    EXPECT_TRUE(reporter_.reports.empty());
    EXPECT_TRUE(messages_.empty());

    const QByteArray bytes = ReadFile(composer_->BitmapPath());
    ASSERT_GE(bytes.size(), 54);
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(static_cast<unsigned char>(bytes[28]), 24) << "bits per pixel";
    const QImage bitmap = Bitmap();
    EXPECT_EQ(bitmap.size(), QSize(c.bitmapW, c.bitmapH));
    // Scaled, never cropped or mirrored: red stays left, blue right.
    EXPECT_GT(bitmap.pixelColor(bitmap.width() / 8, bitmap.height() / 2).red(), 200);
    EXPECT_GT(bitmap.pixelColor(bitmap.width() * 7 / 8, bitmap.height() / 2).blue(), 200);
}

INSTANTIATE_TEST_SUITE_P(
    Options, ComposeSizes,
    ::testing::Values(
        SizeCase{"NaturalSize", 640, 480, 1024, 768, false, false, 640, 480},
        SizeCase{"AspectIgnoredWithoutStretch", 640, 480, 1024, 768, false, true, 640, 480},
        SizeCase{"LargerThanScreenNotCropped", 2048, 1536, 1024, 768, false, false, 2048, 1536},
        SizeCase{"StretchFillsScreen", 640, 480, 1024, 768, true, false, 1024, 768},
        SizeCase{"SmallImageEnlarged", 100, 50, 1024, 768, true, false, 1024, 768},
        SizeCase{"WideOn1280x800", 1600, 1200, 1280, 800, true, true, 1067, 800},
        SizeCase{"WideOn1024x768", 1600, 900, 1024, 768, true, true, 1024, 768},
        SizeCase{"TallOn1024x768", 600, 800, 1024, 768, true, true, 576, 768},
        SizeCase{"SquareOn1024x768", 500, 500, 1024, 768, true, true, 768, 768},
        SizeCase{"WideOn1280x1024", 1600, 1200, 1280, 1024, true, true, 1280, 960}),
    [](const ::testing::TestParamInfo<SizeCase>& param) { return std::string(param.param.name); });

TEST_F(ComposeTest, ExifOrientationGivesTheUprightPicture) {
    // Stored 80 x 40, red left and blue right; tag 6 turns it a quarter clockwise, so the
    // upright picture is 40 x 80 with red on top.
    const QString path =
        Source(QStringLiteral("turned.jpg"),
               test::JpegWithOrientation(test::TwoHalves(80, 40, Qt::red, Qt::blue), 6));
    SetFit(false, false);
    ASSERT_TRUE(composer_->ComposeWallpaper(path));
    QImage bitmap = Bitmap();
    ASSERT_EQ(bitmap.size(), QSize(40, 80));
    EXPECT_GT(bitmap.pixelColor(20, 10).red(), 200);
    EXPECT_GT(bitmap.pixelColor(20, 70).blue(), 200);

    // With keep aspect the upright shape decides: a tall image gets a 3 : 4 box, and the
    // decoder's early shrink must follow the turn (576 x 768, not squeezed).
    const QString big =
        Source(QStringLiteral("turned-big.jpg"),
               test::JpegWithOrientation(test::TwoHalves(2400, 1800, Qt::red, Qt::blue), 6));
    SetFit(true, true);
    ASSERT_TRUE(composer_->ComposeWallpaper(big));
    bitmap = Bitmap();
    ASSERT_EQ(bitmap.size(), QSize(576, 768));
    EXPECT_GT(bitmap.pixelColor(288, 100).red(), 200);
    EXPECT_GT(bitmap.pixelColor(288, 668).blue(), 200);
    EXPECT_TRUE(reporter_.reports.empty());
}

TEST_F(ComposeTest, GifAndBmpSourcesAreRepaintedToo) {
    SetFit(true, false);
    const QImage halves = test::TwoHalves(120, 90, Qt::red, Qt::blue);
    for (const auto& [name, bytes] : std::vector<std::pair<QString, QByteArray>>{
             {"a.gif", test::EncodeGif(halves)}, {"a.bmp", test::EncodeBmp(halves)}}) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(composer_->ComposeWallpaper(Source(name, bytes)));
        const QImage bitmap = Bitmap();
        EXPECT_EQ(bitmap.size(), QSize(1024, 768));
        EXPECT_GT(bitmap.pixelColor(100, 300).red(), 200);
        EXPECT_GT(bitmap.pixelColor(900, 300).blue(), 200);
    }
    EXPECT_TRUE(reporter_.reports.empty());
}

TEST_F(ComposeTest, TransparentPartsTakeTheBackground) {
    SetFit(false, false);
    composer_->SetBackground(QColor(0, 128, 0));
    // Colour index 0 (red, the left half) is transparent.
    const QString path = Source(QStringLiteral("clear.gif"),
                                test::EncodeGif(test::TwoHalves(20, 10, Qt::red, Qt::blue), 0));
    ASSERT_TRUE(composer_->ComposeWallpaper(path));
    const QImage bitmap = Bitmap();
    EXPECT_EQ(bitmap.pixelColor(2, 5), QColor(0, 128, 0));
    EXPECT_EQ(bitmap.pixelColor(17, 5), QColor(Qt::blue));
}

struct BadFile {
    const char* name;
    const char* fileName;
    QByteArray (*bytes)();
    std::int32_t number;
};

QByteArray Truncated() {
    const QByteArray whole = test::EncodeJpeg(test::TwoHalves(400, 300, Qt::red, Qt::blue));
    return whole.left(whole.size() / 2);
}
QByteArray CorruptGif() {
    QByteArray gif = test::EncodeGif(test::TwoHalves(64, 64, Qt::red, Qt::blue));
    // Garble the LZW stream after the first sub-block length, keeping the framing.
    for (qsizetype i = 13 + 3 * 128 + 12; i < gif.size() - 2; i += 7) {
        gif[i] = static_cast<char>(0xFF);
    }
    return gif;
}

class ComposeBadFiles : public ComposeTest, public ::testing::WithParamInterface<BadFile> {};

TEST_P(ComposeBadFiles, ReportedAndPreviousBitmapKept) {
    const BadFile& c = GetParam();
    SetFit(true, true);
    ASSERT_TRUE(composer_->ComposeWallpaper(
        Source(QStringLiteral("good.jpg"),
               test::EncodeJpeg(test::TwoHalves(320, 240, Qt::red, Qt::blue)))));
    const QByteArray before = ReadFile(composer_->BitmapPath());
    ASSERT_FALSE(before.isEmpty());

    EXPECT_FALSE(composer_->ComposeWallpaper(Source(QString::fromLatin1(c.fileName), c.bytes())));
    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].location, 48);
    EXPECT_EQ(reporter_.reports[0].number, c.number) << reporter_.reports[0].description;
    EXPECT_FALSE(reporter_.reports[0].description.empty());
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(ReadFile(composer_->BitmapPath()), before);
    // No temporary file is left behind beside the bitmap.
    EXPECT_EQ(QDir(dataFolder()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("TavrinoWallpaperManager.bmp")});
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, ComposeBadFiles,
    ::testing::Values(
        BadFile{"Empty", "empty.jpg", [] { return QByteArray(); }, errnum::InvalidPicture},
        BadFile{"TruncatedJpeg", "cut.jpg", Truncated, errnum::InvalidPicture},
        BadFile{"TextNamedJpeg", "notes.jpg",
                [] { return QByteArray("These are not the pixels you are looking for.\n"); },
                errnum::InvalidPicture},
        BadFile{"PngNamedJpeg", "png.jpg",
                [] {
                    QByteArray bytes;
                    QBuffer buffer(&bytes);
                    buffer.open(QIODevice::WriteOnly);
                    test::TwoHalves(8, 8, Qt::red, Qt::blue).save(&buffer, "PNG");
                    return bytes;
                },
                errnum::InvalidPicture},
        BadFile{"GifClaimingHugeSize", "huge.gif", [] { return test::GifClaiming(60000, 60000); },
                errnum::OutOfMemory},
        // Qt's BMP reader already refuses a header whose pixel data could not be addressed.
        BadFile{"BmpClaimingHugeSize", "huge.bmp", [] { return test::BmpClaiming(60000, 60000); },
                errnum::InvalidPicture},
        // Row length times rows does not fit in 64 bits: refused without overflowing.
        BadFile{"BmpSizeOverflowsArithmetic", "vast.bmp",
                [] { return test::BmpClaiming(0x7FFFFFFF, 0x7FFFFFFF); }, errnum::InvalidPicture},
        BadFile{"BmpOnePixelTooWide", "wide.bmp",
                [] {
                    QImage strip(16385, 1, QImage::Format_RGB32);
                    strip.fill(Qt::darkCyan);
                    return test::EncodeBmp(strip);
                },
                errnum::OutOfMemory},
        BadFile{"BmpTruncated", "short.bmp", [] { return test::BmpClaiming(300, 200); },
                errnum::InvalidPicture},
        BadFile{"CorruptGif", "bad.gif", CorruptGif, errnum::InvalidPicture},
        BadFile{"TruncatedGif", "cut.gif",
                [] {
                    const QByteArray gif =
                        test::EncodeGif(test::TwoHalves(64, 64, Qt::red, Qt::blue));
                    return gif.left(gif.size() * 2 / 3);
                },
                errnum::InvalidPicture},
        BadFile{"TruncatedBmp", "cut.bmp",
                [] {
                    const QByteArray bmp =
                        test::EncodeBmp(test::TwoHalves(64, 64, Qt::red, Qt::blue));
                    return bmp.left(bmp.size() - 1);
                },
                errnum::InvalidPicture}),
    [](const ::testing::TestParamInfo<BadFile>& param) { return std::string(param.param.name); });

TEST_F(ComposeTest, NaturalSizeBeyondTheLimitIsRefusedWithoutStretch) {
    composer_->SetDecodeLimits({200, qint64{1} << 20});
    SetFit(false, false);
    EXPECT_FALSE(composer_->ComposeWallpaper(
        Source(QStringLiteral("big.jpg"),
               test::EncodeJpeg(test::TwoHalves(300, 100, Qt::red, Qt::blue)))));
    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].number, errnum::OutOfMemory);
    EXPECT_FALSE(QFileInfo::exists(composer_->BitmapPath()));

    // 200 x 200 fits the side limit but 160 KB > 100 KB.
    reporter_.reports.clear();
    composer_->SetDecodeLimits({1000, 100 * 1024});
    EXPECT_FALSE(composer_->ComposeWallpaper(Source(
        QStringLiteral("sq.bmp"), test::EncodeBmp(test::TwoHalves(200, 200, Qt::red, Qt::blue)))));
    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].number, errnum::OutOfMemory);
}

TEST_F(ComposeTest, AtTheSideLimitStillComposes) {
    SetFit(false, false);
    QImage strip(16384, 1, QImage::Format_RGB32);
    strip.fill(Qt::darkCyan);
    ASSERT_TRUE(
        composer_->ComposeWallpaper(Source(QStringLiteral("strip.bmp"), test::EncodeBmp(strip))));
    EXPECT_EQ(Bitmap().size(), QSize(16384, 1));
}

struct Missing {
    const char* name;
    QString (*make)(const QTemporaryDir&);
};

class ComposeMissing : public ComposeTest, public ::testing::WithParamInterface<Missing> {};

TEST_P(ComposeMissing, StopMessageAndNothingWritten) {
    const QString path = GetParam().make(dir_);
    for (bool hadBitmap : {false, true}) {
        SCOPED_TRACE(hadBitmap ? "with a previous bitmap" : "without a bitmap");
        messages_.clear();
        QByteArray before;
        if (hadBitmap) {
            ASSERT_TRUE(composer_->ComposeWallpaper(
                Source(QStringLiteral("ok.bmp"),
                       test::EncodeBmp(test::TwoHalves(8, 8, Qt::red, Qt::blue)))));
            before = ReadFile(composer_->BitmapPath());
        }
        EXPECT_FALSE(composer_->ComposeWallpaper(path));
        ASSERT_EQ(messages_.size(), 1U);
        EXPECT_EQ(messages_[0].text, kImageNotLocatedMessage);
        EXPECT_EQ(messages_[0].title, kApplicationTitle);
        EXPECT_EQ(messages_[0].icon, MessageIcon::Stop);
        EXPECT_TRUE(reporter_.reports.empty());
        if (hadBitmap) {
            EXPECT_EQ(ReadFile(composer_->BitmapPath()), before);
        } else {
            EXPECT_FALSE(QFileInfo::exists(composer_->BitmapPath()));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ComposeMissing,
    ::testing::Values(
        Missing{"Deleted",
                [](const QTemporaryDir& d) {
                    const QString p = d.filePath(QStringLiteral("gone.jpg"));
                    test::WriteFile(p, test::EncodeJpeg(test::TwoHalves(8, 8, Qt::red, Qt::blue)));
                    QFile::remove(p);
                    return p;
                }},
        Missing{"Folder",
                [](const QTemporaryDir& d) {
                    const QString p = d.filePath(QStringLiteral("folder.jpg"));
                    QDir().mkpath(p);
                    return p;
                }},
        Missing{"HiddenFile",
                [](const QTemporaryDir& d) {
                    const QString p = d.filePath(QStringLiteral(".hidden.jpg"));
                    test::WriteFile(p, test::EncodeJpeg(test::TwoHalves(8, 8, Qt::red, Qt::blue)));
                    return p;
                }},
        Missing{"EmptyPath", [](const QTemporaryDir&) { return QString(); }}),
    [](const ::testing::TestParamInfo<Missing>& param) { return std::string(param.param.name); });

TEST_F(ComposeTest, TwoCompositionsGiveTheSameFile) {
    SetFit(true, true);
    screen_ = MetricsForPixels(1280, 800);
    const QString path = Source(QStringLiteral("p.jpg"),
                                test::EncodeJpeg(test::TwoHalves(1600, 1200, Qt::red, Qt::blue)));
    ASSERT_TRUE(composer_->ComposeWallpaper(path));
    EXPECT_FALSE(composer_->LastReusedBitmap());
    const QByteArray first = ReadFile(composer_->BitmapPath());

    // The rotation's second composition of the same row reuses the bitmap...
    ASSERT_TRUE(composer_->ComposeWallpaper(path));
    EXPECT_TRUE(composer_->LastReusedBitmap());
    EXPECT_EQ(ReadFile(composer_->BitmapPath()), first);

    // ...and a composer starting afresh writes the very same bytes.
    WallpaperComposer fresh(reporter_, *options_, dataFolder(), [this] { return screen_; });
    ASSERT_TRUE(fresh.ComposeWallpaper(path));
    EXPECT_FALSE(fresh.LastReusedBitmap());
    EXPECT_EQ(ReadFile(fresh.BitmapPath()), first);
}

TEST_F(ComposeTest, AnyChangeComposesAnew) {
    SetFit(true, true);
    const QString path = Source(QStringLiteral("p.jpg"),
                                test::EncodeJpeg(test::TwoHalves(1600, 1200, Qt::red, Qt::blue)));
    ASSERT_TRUE(composer_->ComposeWallpaper(path));

    SetFit(true, false);  // an option
    ASSERT_TRUE(composer_->ComposeWallpaper(path));
    EXPECT_FALSE(composer_->LastReusedBitmap());
    EXPECT_EQ(Bitmap().size(), QSize(1024, 768));

    screen_ = MetricsForPixels(800, 600);  // the screen
    ASSERT_TRUE(composer_->ComposeWallpaper(path));
    EXPECT_FALSE(composer_->LastReusedBitmap());
    EXPECT_EQ(Bitmap().size(), QSize(800, 600));

    // the file itself (same name, other content)
    ASSERT_TRUE(WriteFile(path, test::EncodeJpeg(test::TwoHalves(1600, 1200, Qt::blue, Qt::red))));
    ASSERT_TRUE(composer_->ComposeWallpaper(path));
    EXPECT_FALSE(composer_->LastReusedBitmap());
    EXPECT_GT(Bitmap().pixelColor(50, 300).blue(), 200);

    // the bitmap replaced behind our back
    ASSERT_TRUE(WriteFile(composer_->BitmapPath(), QByteArray("scribble")));
    ASSERT_TRUE(composer_->ComposeWallpaper(path));
    EXPECT_FALSE(composer_->LastReusedBitmap());
    EXPECT_EQ(Bitmap().size(), QSize(800, 600));
}

TEST_F(ComposeTest, UnwritableBitmapIsReportedAndLeftAlone) {
    SetFit(false, false);
    // A folder where the bitmap should be: nothing can replace it.
    QDir().mkpath(composer_->BitmapPath());
    EXPECT_FALSE(composer_->ComposeWallpaper(Source(
        QStringLiteral("ok.bmp"), test::EncodeBmp(test::TwoHalves(8, 8, Qt::red, Qt::blue)))));
    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].location, 48);
    EXPECT_EQ(reporter_.reports[0].number, errnum::PathFileAccessError);
    EXPECT_TRUE(QFileInfo(composer_->BitmapPath()).isDir());
}

TEST_F(ComposeTest, ScreenWithoutMetricsIsReported) {
    screen_ = ScreenMetrics{};
    EXPECT_FALSE(composer_->ComposeWallpaper(Source(
        QStringLiteral("ok.bmp"), test::EncodeBmp(test::TwoHalves(8, 8, Qt::red, Qt::blue)))));
    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].location, 48);
    EXPECT_EQ(reporter_.reports[0].number, errnum::DivisionByZero);
}

TEST(PrimaryScreenMetrics, DevicePixelsAndLogicalDpi) {
    const ScreenMetrics m = PrimaryScreenMetrics();
    ASSERT_GT(m.TwipsPerPixelX, 0.0F);
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    EXPECT_FLOAT_EQ(m.TwipsPerPixelX, static_cast<float>(1440.0 / screen->logicalDotsPerInchX()));
    EXPECT_FLOAT_EQ(
        m.WidthTwips / m.TwipsPerPixelX,
        static_cast<float>(std::round(screen->size().width() * screen->devicePixelRatio())));
}

}  // namespace
}  // namespace tavrino
