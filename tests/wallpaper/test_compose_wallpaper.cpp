// The wallpaper bitmap and the preview pane from real files: the fitted size for each option
// set and picture kind, damaged and missing files, and when a composition may reuse its bitmap.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QTransform>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "settings/Options.h"
#include "support/MessageBox.h"
#include "wallpaper/PreviewController.h"
#include "wallpaper/WallpaperComposer.h"
#include "wallpaper/test_compose_images.h"

namespace tavrino {
namespace {

using test::TwoHalves;

class ComposeTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageInterceptor([this](const ShownMessage& m) { messages_.push_back(m); });
        composer_ = std::make_unique<WallpaperComposer>(reporter_, options_, data_,
                                                        [this] { return screen_; });
    }
    void TearDown() override { SetMessageInterceptor({}); }

    // Clicks a picture into the preview pane, whose design size is 2625 x 1965 twips.
    void Preview(const QString& path) {
        if (!preview_) {
            frame_.resize(175, 131);
            label_->setGeometry(10, 10, 50, 40);
            preview_ = std::make_unique<PreviewController>(&frame_, label_, reporter_, options_,
                                                           [this] { return screen_; });
        }
        preview_->lstPreview_ItemClick(path);
    }
    QString Source(const QString& name, const QByteArray& bytes) const {
        test::WriteBytes((folder_ / name.toStdString()), bytes.toStdString());
        return QString::fromStdString((folder_ / name.toStdString()).string());
    }
    void SetFit(bool stretch, bool aspect) {
        options_.SetState(Option::Tile, 0);
        options_.SetState(Option::Stretch, stretch ? 1 : 0);
        options_.SetState(Option::Aspect, aspect ? 1 : 0);
    }
    std::string Bytes() const { return test::ReadBytes(composer_->BitmapPath().toStdString()); }
    QImage Bitmap() const { return QImage(composer_->BitmapPath(), "BMP"); }

    test::TempFolder folder_;
    QString data_ = QString::fromStdString((folder_ / "data").string());
    test::MemorySettingsStore store_;
    test::RecordingReporter reporter_;
    OptionBoxes options_{store_, reporter_};
    ScreenMetrics screen_ = MetricsForPixels(1024, 768);
    std::unique_ptr<WallpaperComposer> composer_;
    std::vector<ShownMessage> messages_;
    QFrame frame_;
    QLabel* label_ = new QLabel(&frame_);
    std::unique_ptr<PreviewController> preview_;
};

TEST_F(ComposeTest, TheBitmapIsTheWholePictureAtTheFittedPixelSize) {
    struct Case {
        const char* name;
        QByteArray bytes;
        QSize screen;
        bool stretch, aspect;
        QSize bitmap;
        bool turned;  // red on top instead of on the left
    };
    const QByteArray photo = test::Encode(TwoHalves(1600, 1200), "JPG");
    // Blue above red, stored bottom row first; a height of -90 says the top row comes first.
    QByteArray topDown = test::Encode(
        TwoHalves(90, 120, Qt::blue, Qt::red).transformed(QTransform().rotate(90)), "BMP");
    topDown.replace(22, 4, QByteArray("\xA6\xFF\xFF\xFF", 4));
    // clang-format off
    const Case cases[] = {
        {"natural size",               test::Encode(TwoHalves(640, 480), "JPG"), {1024, 768}, false, false, {640, 480}, false},
        {"larger: not cropped",        test::Encode(TwoHalves(2048, 1536), "JPG"), {1024, 768}, false, false, {2048, 1536}, false},
        {"at the side limit",          test::Encode(TwoHalves(16384, 1), "BMP"), {1024, 768}, false, false, {16384, 1}, false},
        {"small one stretched",        test::Encode(TwoHalves(100, 50), "JPG"), {1024, 768}, true, false, {1024, 768}, false},
        {"wide, 1066.67 pixels",       photo, {1280, 800}, true, true, {1067, 800}, false},
        {"tall",                       test::Encode(TwoHalves(600, 800), "JPG"), {1024, 768}, true, true, {576, 768}, false},
        {"GIF repainted",              test::EncodeGif(TwoHalves(120, 90)), {1024, 768}, true, false, {1024, 768}, false},
        {"BMP repainted",              test::Encode(TwoHalves(120, 90), "BMP"), {1024, 768}, true, false, {1024, 768}, false},
        {"BMP stored top-down",        topDown, {1024, 768}, true, false, {1024, 768}, true},
        {"EXIF turn a quarter",        test::JpegWithOrientation(TwoHalves(80, 40), 6), {1024, 768}, false, false, {40, 80}, true},
        // The decoder's early shrink must follow the turn: 3 : 4, not squeezed.
        {"EXIF turned, shrunk early",  test::JpegWithOrientation(TwoHalves(2400, 1800), 6), {1024, 768}, true, true, {576, 768}, true},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        screen_ = MetricsForPixels(c.screen.width(), c.screen.height());
        SetFit(c.stretch, c.aspect);
        ASSERT_TRUE(composer_->ComposeWallpaper(Source(QStringLiteral("p.img"), c.bytes)));
        EXPECT_EQ(Bytes().substr(0, 2), "BM");
        EXPECT_EQ(Bytes().at(28), 24) << "bits per pixel";
        const QImage b = Bitmap();
        ASSERT_EQ(b.size(), c.bitmap);
        const QPoint red = c.turned ? QPoint(b.width() / 2, b.height() / 8)
                                    : QPoint(b.width() / 8, b.height() / 2);
        const QPoint blue = c.turned ? QPoint(b.width() / 2, b.height() * 7 / 8)
                                     : QPoint(b.width() * 7 / 8, b.height() / 2);
        EXPECT_GT(b.pixelColor(red).red(), 200);
        EXPECT_GT(b.pixelColor(blue).blue(), 200);
    }
    EXPECT_TRUE(reporter_.reports.empty());
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ComposeTest, TransparentPartsTakeTheBackground) {
    SetFit(false, false);
    composer_->SetBackground(QColor(0, 128, 0));
    test::GifLayout clear;
    clear.transparent = 0;  // the red left half
    ASSERT_TRUE(composer_->ComposeWallpaper(
        Source(QStringLiteral("clear.gif"), test::EncodeGif(TwoHalves(20, 10), clear))));
    EXPECT_EQ(Bitmap().pixelColor(2, 5), QColor(0, 128, 0));
    EXPECT_EQ(Bitmap().pixelColor(17, 5), QColor(Qt::blue));
}

TEST_F(ComposeTest, DamagedFilesAreReportedAndThePreviousBitmapStaysByteForByte) {
    const QByteArray jpeg = test::Encode(TwoHalves(400, 300), "JPG");
    const QByteArray gif = test::EncodeGif(TwoHalves(64, 64));
    const QByteArray bmp = test::Encode(TwoHalves(64, 64), "BMP");
    QByteArray garbled = gif;  // the LZW stream garbled, the framing kept
    for (qsizetype i = 13 + 3 * 128 + 12; i < garbled.size() - 2; i += 7) {
        garbled[i] = static_cast<char>(0xFF);
    }
    struct Case {
        const char* name;
        QByteArray bytes;
        std::int32_t number;
    };
    // clang-format off
    const Case cases[] = {
        {"empty.jpg",     {},                                                   errnum::InvalidPicture},
        {"cut.jpg",       jpeg.left(jpeg.size() / 2),                           errnum::InvalidPicture},
        {"text.jpg",      "These are not the pixels you are looking for.\n",    errnum::InvalidPicture},
        {"png.jpg",       test::Encode(TwoHalves(8, 8), "PNG"),                 errnum::InvalidPicture},
        {"huge.gif",      test::GifClaiming(60000, 60000),                      errnum::OutOfMemory},
        {"garbled.gif",   garbled,                                              errnum::InvalidPicture},
        {"cut.gif",       gif.left(gif.size() * 2 / 3),                         errnum::InvalidPicture},
        {"huge.bmp",      test::BmpClaiming(60000, 60000),                      errnum::InvalidPicture},
        {"vast.bmp",      test::BmpClaiming(0x7FFFFFFF, 0x7FFFFFFF),            errnum::InvalidPicture},
        {"short.bmp",     test::BmpClaiming(300, 200),                          errnum::InvalidPicture},
        {"cut.bmp",       bmp.left(bmp.size() - 1),                             errnum::InvalidPicture},
        {"too-wide.bmp",  test::Encode(TwoHalves(16385, 1), "BMP"),             errnum::OutOfMemory},
    };
    // clang-format on
    SetFit(true, true);
    ASSERT_TRUE(composer_->ComposeWallpaper(Source(QStringLiteral("good.jpg"), jpeg)));
    const std::string before = Bytes();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reporter_.reports.clear();
        EXPECT_FALSE(composer_->ComposeWallpaper(Source(QString::fromLatin1(c.name), c.bytes)));
        ASSERT_EQ(reporter_.reports.size(), 1U);
        EXPECT_EQ(reporter_.reports[0].location, 48);
        EXPECT_EQ(reporter_.reports[0].number, c.number) << reporter_.reports[0].description;
        EXPECT_EQ(Bytes(), before);
        // No temporary file is left behind beside the bitmap.
        EXPECT_EQ(QDir(data_).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("TavrinoWallpaperManager.bmp")});
    }
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ComposeTest, LimitsScreensAndUnwritableBitmapsAreReportedUnder48) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        QByteArray bytes;
        std::int32_t number;
    };
    const QByteArray square = test::Encode(TwoHalves(200, 200), "BMP");
    // clang-format off
    const Case cases[] = {
        {"a side past the limit", [this] { composer_->SetDecodeLimits({100, 1 << 20}); }, square, errnum::OutOfMemory},
        {"160 KB past 100 KB",    [this] { composer_->SetDecodeLimits({1000, 100 * 1024}); }, square, errnum::OutOfMemory},
        {"a screen of nothing",   [this] { screen_ = ScreenMetrics{}; }, square, errnum::DivisionByZero},
        {"a folder in its place", [this] { QDir().mkpath(composer_->BitmapPath()); }, square, errnum::PathFileAccessError},
    };
    // clang-format on
    SetFit(false, false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ComposeTest::SetUp();  // a fresh composer
        reporter_.reports.clear();
        screen_ = MetricsForPixels(1024, 768);
        c.arrange();
        EXPECT_FALSE(composer_->ComposeWallpaper(Source(QStringLiteral("s.bmp"), c.bytes)));
        ASSERT_EQ(reporter_.reports.size(), 1U);
        EXPECT_EQ(reporter_.reports[0].location, 48);
        EXPECT_EQ(reporter_.reports[0].number, c.number);
        EXPECT_FALSE(QFileInfo(composer_->BitmapPath()).isFile());
    }
}

TEST_F(ComposeTest, AMissingPictureShowsTheStopMessageAndWritesNothing) {
    const QString gone = Source(QStringLiteral("gone.jpg"), test::Encode(TwoHalves(8, 8), "JPG"));
    QFile::remove(gone);
    const QString hidden =
        Source(QStringLiteral(".hidden.jpg"), test::Encode(TwoHalves(8, 8), "JPG"));
    const QString folder = QString::fromStdString(folder_.Path().string());
    for (const bool hadBitmap : {false, true}) {
        if (hadBitmap) {
            ASSERT_TRUE(composer_->ComposeWallpaper(
                Source(QStringLiteral("ok.bmp"), test::Encode(TwoHalves(8, 8), "BMP"))));
        }
        const std::string before = Bytes();
        for (const QString& path : {gone, hidden, folder, QString()}) {
            SCOPED_TRACE(path.toStdString());
            messages_.clear();
            EXPECT_FALSE(composer_->ComposeWallpaper(path));
            ASSERT_EQ(messages_.size(), 1U);
            EXPECT_EQ(messages_[0].text, kImageNotLocatedMessage);
            EXPECT_EQ(messages_[0].title, kApplicationTitle);
            EXPECT_EQ(messages_[0].icon, MessageIcon::Stop);
            EXPECT_EQ(QFileInfo::exists(composer_->BitmapPath()), hadBitmap);
            EXPECT_EQ(Bytes(), before);
        }
    }
    EXPECT_TRUE(reporter_.reports.empty());
}

TEST_F(ComposeTest, TheSameCompositionReusesTheBitmapAndAnyChangeComposesAnew) {
    SetFit(true, true);
    const QString path =
        Source(QStringLiteral("p.jpg"), test::Encode(TwoHalves(1600, 1200), "JPG"));
    ASSERT_TRUE(composer_->ComposeWallpaper(path));
    const std::string first = Bytes();
    ASSERT_TRUE(composer_->ComposeWallpaper(path));
    EXPECT_TRUE(composer_->LastReusedBitmap());
    EXPECT_EQ(Bytes(), first);
    // A composer starting afresh writes the very same bytes.
    WallpaperComposer fresh(reporter_, options_, data_, [this] { return screen_; });
    ASSERT_TRUE(fresh.ComposeWallpaper(path));
    EXPECT_FALSE(fresh.LastReusedBitmap());
    EXPECT_EQ(Bytes(), first);

    struct Change {
        const char* name;
        std::function<void()> make;
        QSize bitmap;
    };
    // clang-format off
    const Change changes[] = {
        {"an option",                [this] { SetFit(true, false); }, {1024, 768}},
        {"the screen",               [this] { screen_ = MetricsForPixels(800, 600); }, {800, 600}},
        {"the file's content",       [&] { Source(QStringLiteral("p.jpg"), test::Encode(TwoHalves(1600, 1200, Qt::blue, Qt::red), "JPG")); }, {800, 600}},
        {"the bitmap behind its back", [this] { test::WriteBytes(composer_->BitmapPath().toStdString(), "scribble"); }, {800, 600}},
    };
    // clang-format on
    for (const Change& c : changes) {
        c.make();
        ASSERT_TRUE(composer_->ComposeWallpaper(path)) << c.name;
        EXPECT_FALSE(composer_->LastReusedBitmap()) << c.name;
        EXPECT_EQ(Bitmap().size(), c.bitmap) << c.name;
    }
    EXPECT_GT(Bitmap().pixelColor(50, 300).blue(), 200) << "the new content was used";
    EXPECT_TRUE(reporter_.reports.empty());
}

TEST_F(ComposeTest, ThePreviewPlacesThePictureAsTheWallpaperWouldSit) {
    struct Case {
        int w, h;
        bool stretch, aspect;
        QRect rect;  // pixels of pctPreview
    };
    // clang-format off
    const Case cases[] = {
        {640, 480, false, false, {33, 25, 109, 82}},  // its size on the screen scaled by 175/1024
        {1600, 1200, true, true, {0, 0, 174, 131}},
        {600, 800, true, true, {38, 0, 98, 131}},
        {500, 500, true, true, {22, 0, 131, 131}},
        {600, 800, true, false, {0, 0, 175, 131}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " " << c.stretch << c.aspect);
        SetFit(c.stretch, c.aspect);
        Preview(Source(QStringLiteral("p.jpg"), test::Encode(TwoHalves(c.w, c.h), "JPG")));
        EXPECT_EQ(label_->geometry(), c.rect);
        EXPECT_TRUE(label_->hasScaledContents());
        const QImage shown = label_->pixmap().toImage();
        // Decoded at the preview's size, not the photo's; not mirrored or cropped.
        EXPECT_LE(shown.width(), c.rect.width() * 2);
        EXPECT_LE(shown.height(), c.rect.height() * 2);
        EXPECT_GT(shown.pixelColor(shown.width() / 8, shown.height() / 2).red(), 200);
        EXPECT_GT(shown.pixelColor(shown.width() * 7 / 8, shown.height() / 2).blue(), 200);
    }
    EXPECT_TRUE(reporter_.reports.empty());
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ComposeTest, AMissingPreviewEmptiesThePaneAndChangesNothingElse) {
    SetFit(true, true);
    const QString path =
        Source(QStringLiteral("p.jpg"), test::Encode(TwoHalves(1600, 1200), "JPG"));
    Preview(path);
    const QRect before = label_->geometry();
    SetFit(false, false);  // waits for the next click
    EXPECT_EQ(label_->geometry(), before);
    const auto settings = store_.values;
    ASSERT_TRUE(QFile::remove(path));
    Preview(path);
    ASSERT_EQ(messages_.size(), 1U);
    EXPECT_EQ(messages_[0].text, kImageNotLocatedMessage);
    EXPECT_EQ(messages_[0].icon, MessageIcon::Stop);
    EXPECT_EQ(messages_[0].title, kApplicationTitle);
    EXPECT_TRUE(label_->pixmap().isNull());
    EXPECT_EQ(label_->geometry(), before);
    EXPECT_TRUE(reporter_.reports.empty());
    EXPECT_EQ(store_.values, settings);
}

TEST_F(ComposeTest, ADamagedPreviewOrScreenIsReportedUnderThePreviewsCode) {
    Preview(Source(QStringLiteral("p.jpg"), test::Encode(TwoHalves(640, 480), "JPG")));
    ASSERT_FALSE(label_->pixmap().isNull());
    Preview(Source(QStringLiteral("bad.jpg"), "not a picture at all"));
    EXPECT_TRUE(label_->pixmap().isNull()) << "the old picture belonged to another entry";
    screen_ = ScreenMetrics{};
    Preview(Source(QStringLiteral("p.jpg"), test::Encode(TwoHalves(64, 48), "JPG")));
    ASSERT_EQ(reporter_.reports.size(), 2U);
    EXPECT_EQ(reporter_.reports[0].location, 34);
    EXPECT_EQ(reporter_.reports[0].number, errnum::InvalidPicture);
    EXPECT_EQ(reporter_.reports[1].location, 34);
    EXPECT_EQ(reporter_.reports[1].number, errnum::DivisionByZero);
    EXPECT_TRUE(messages_.empty());
}

}  // namespace
}  // namespace tavrino
