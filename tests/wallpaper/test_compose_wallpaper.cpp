// The wallpaper bitmap and the preview pane from real files, decoded by the helper process:
// fitted sizes, damaged and missing files, helper faults, and when a bitmap may be reused.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QTransform>
#include <QtEndian>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "settings/Options.h"
#include "support/MessageBox.h"
#include "wallpaper/PreviewController.h"
#include "wallpaper/WallpaperComposer.h"
#include "wallpaper/decode/DecoderProcess.h"
#include "wallpaper/test_compose_images.h"

namespace tavrino {
namespace {

using test::Encode;
using test::TwoHalves;

using Reports = std::vector<std::pair<int, std::int32_t>>;  // location, number

bool Near(QRgb pixel, QColor colour) {
    return std::abs(qRed(pixel) - colour.red()) + std::abs(qGreen(pixel) - colour.green()) +
               std::abs(qBlue(pixel) - colour.blue()) <
           60;
}

class ComposeTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageInterceptor([this](const ShownMessage& m) { messages_.push_back(m); });
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
        }
        reporter_.reports.clear();
        return taken;
    }
    // How many "image not located" stop boxes were shown since the last call.
    int StopBoxes() {
        const auto n = std::count_if(messages_.begin(), messages_.end(), [](const auto& m) {
            return m.text == kImageNotLocatedMessage && m.title == kApplicationTitle &&
                   m.icon == MessageIcon::Stop;
        });
        messages_.clear();
        return static_cast<int>(n);
    }

    static constexpr const char* kBitmap = "TavrinoWallpaperManager.bmp";
    test::TempFolder folder_;
    QString data_ = QString::fromStdString((folder_ / "data").string());
    test::MemorySettingsStore store_;
    test::RecordingReporter reporter_;
    OptionBoxes options_{store_, reporter_};
    ScreenMetrics screen_ = MetricsForPixels(1024, 768);
    std::unique_ptr<WallpaperComposer> composer_ = Composer(data_);
    std::vector<ShownMessage> messages_;
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
    test::GifLayout clear;
    clear.transparent = 0;  // the red half
    // clang-format off
    const Case cases[] = {
        {"natural size",              Encode(TwoHalves(640, 480), "JPG"), {1024, 768}, {640, 480}, false, false, false},
        {"larger: not cropped",       Encode(TwoHalves(2048, 1536), "JPG"), {1024, 768}, {2048, 1536}, false, false, false},
        {"at the side limit",         Encode(TwoHalves(16384, 1), "BMP"), {1024, 768}, {16384, 1}, false, false, false},
        {"wide, 1066.67 pixels",      Encode(TwoHalves(1600, 1200), "JPG"), {1280, 800}, {1067, 800}, true, true, false},
        {"tall",                      Encode(TwoHalves(600, 800), "JPG"), {1024, 768}, {576, 768}, true, true, false},
        {"GIF told by its content",   test::EncodeGif(TwoHalves(120, 90)), {1024, 768}, {1024, 768}, true, false, false},
        {"clear parts: background",   test::EncodeGif(TwoHalves(20, 10), clear), {1024, 768}, {1024, 768}, true, false, false, QColor(0, 128, 0)},
        {"BMP stored top-down",       topDown, {1024, 768}, {1024, 768}, true, false, true},
        {"EXIF turn a quarter",       test::JpegWithOrientation(TwoHalves(80, 40), 6), {1024, 768}, {40, 80}, false, false, true},
        // The decoder's early shrink must follow the turn: 3 : 4, not squeezed.
        {"EXIF turned, shrunk early", test::JpegWithOrientation(TwoHalves(2400, 1800), 6), {1024, 768}, {576, 768}, true, true, true},
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
    EXPECT_EQ(StopBoxes(), 0);
}

TEST_F(ComposeTest, EveryFailureIsReportedWhereAskedAndThePreviousBitmapStaysByteForByte) {
    const QByteArray jpeg = Encode(TwoHalves(400, 300), "JPG");
    const QByteArray gif = test::EncodeGif(TwoHalves(64, 64));
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
        {"huge.gif",        test::GifClaiming(60000, 60000),           errnum::OutOfMemory},
        {"garbled.gif",     garbled,                                   errnum::InvalidPicture},
        {"cut.gif",         gif.left(gif.size() * 2 / 3),              errnum::InvalidPicture},
        {"huge.bmp",        test::BmpClaiming(60000, 60000),           errnum::InvalidPicture},
        {"vast.bmp",        test::BmpClaiming(0x7FFFFFFF, 0x7FFFFFFF), errnum::InvalidPicture},
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
    EXPECT_EQ(StopBoxes(), 0);
}

TEST_F(ComposeTest, AMissingPictureShowsTheStopBoxAndChangesNothing) {
    const QString gone = Source("gone.jpg", {});
    QFile::remove(gone);
    const QString hidden = Source(".hidden.jpg", Encode(TwoHalves(8, 8), "JPG"));
    const QString ok = Source("ok.bmp", Encode(TwoHalves(8, 8), "BMP"));
    ASSERT_TRUE(composer_->ComposeWallpaper(ok));
    preview_.lstPreview_ItemClick(ok);
    const std::string before = Bytes();
    const QRect box = label_->geometry();
    const auto settings = store_.values;
    for (const QString& path :
         {gone, hidden, QString::fromStdString(folder_.Path().string()), QString()}) {
        EXPECT_FALSE(composer_->ComposeWallpaper(path));
        preview_.lstPreview_ItemClick(path);
        EXPECT_EQ(StopBoxes(), 2) << path.toStdString();
        EXPECT_TRUE(label_->pixmap().isNull());
        EXPECT_EQ(label_->geometry(), box);
    }
    EXPECT_TRUE(Bytes() == before);
    EXPECT_EQ(store_.values, settings);
    EXPECT_EQ(Taken(), Reports{});
}

TEST_F(ComposeTest, TheSameCompositionReusesTheBitmapAndAnyChangeComposesAnew) {
    SetFit(true, true);
    const QString path = Source("p.jpg", Encode(TwoHalves(1600, 1200), "JPG"));
    ASSERT_TRUE(composer_->ComposeWallpaper(path));
    ASSERT_TRUE(composer_->ComposeWallpaper(path));
    EXPECT_TRUE(composer_->LastReusedBitmap());
    // clang-format off
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"the screen",                 [this] { screen_ = MetricsForPixels(800, 600); }},
        {"an option",                  [this] { SetFit(false, false); }},
        {"the file's content",         [&] { Source("p.jpg", Encode(TwoHalves(1600, 1200, Qt::blue, Qt::red), "JPG")); }},
        {"the bitmap behind its back", [this] { test::WriteBytes(composer_->BitmapPath().toStdString(), "scribble"); }},
    };
    // clang-format on
    for (const auto& [name, change] : changes) {
        change();
        const std::string before = Bytes();
        ASSERT_TRUE(composer_->ComposeWallpaper(path)) << name;
        EXPECT_FALSE(composer_->LastReusedBitmap()) << name;
        EXPECT_TRUE(Bytes() != before) << name;
    }
    EXPECT_GT(QImage(composer_->BitmapPath()).pixelColor(50, 300).blue(), 200) << "new content";
}

TEST_F(ComposeTest, ThePreviewPlacesThePictureAsTheWallpaperWouldSitAndReportsUnder34) {
    // clang-format off
    const std::tuple<QSize, bool, QRect> cases[] = {  // picture, stretched, pixels of pctPreview
        {{640, 480}, false, {33, 25, 109, 82}},  // its size on the screen scaled by 175/1024
        {{600, 800}, true, {38, 0, 98, 131}},
    };
    // clang-format on
    for (const auto& [size, stretch, rect] : cases) {
        SetFit(stretch, true);
        preview_.lstPreview_ItemClick(
            Source("p.jpg", Encode(TwoHalves(size.width(), size.height()), "JPG")));
        EXPECT_EQ(label_->geometry(), rect);
        EXPECT_TRUE(label_->hasScaledContents());
        const QImage shown = label_->pixmap().toImage();
        // Decoded at the preview's size, not the photo's; not mirrored or cropped.
        EXPECT_LE(shown.width(), rect.width() * 2);
        EXPECT_TRUE(Near(shown.pixel(shown.width() / 8, shown.height() / 2), Qt::red));
        EXPECT_TRUE(Near(shown.pixel(shown.width() * 7 / 8, shown.height() / 2), Qt::blue));
    }
    preview_.lstPreview_ItemClick(Source("bad.jpg", "not a picture at all"));
    EXPECT_TRUE(label_->pixmap().isNull()) << "the old picture belonged to another entry";
    screen_ = ScreenMetrics{};
    preview_.lstPreview_ItemClick(Source("p.jpg", Encode(TwoHalves(64, 48), "JPG")));
    EXPECT_EQ(Taken(), (Reports{{34, errnum::InvalidPicture}, {34, errnum::DivisionByZero}}));
}

}  // namespace
}  // namespace tavrino
