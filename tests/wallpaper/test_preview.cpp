// The preview pane: the documented boxes for each option set, decoding at preview size, a
// missing file, a damaged file, and what a click must leave alone.
#include <gtest/gtest.h>

#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "settings/Options.h"
#include "support/MessageBox.h"
#include "wallpaper/PreviewController.h"
#include "wallpaper/test_compose_images.h"

namespace tavrino {
namespace {

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        SetMessageInterceptor([this](const ShownMessage& m) { messages_.push_back(m); });
        options_ = std::make_unique<OptionBoxes>(store_, reporter_);
        // The design size of the preview box: 2625 x 1965 twips at 15 twips a pixel.
        frame_.resize(175, 131);
        label_ = new QLabel(&frame_);
        label_->setGeometry(10, 10, 50, 40);
        preview_ = std::make_unique<PreviewController>(&frame_, label_, reporter_, *options_,
                                                       [this] { return screen_; });
    }
    void TearDown() override { SetMessageInterceptor({}); }

    void SetFit(bool stretch, bool aspect) {
        options_->SetState(Option::Tile, 0);
        options_->SetState(Option::Stretch, stretch ? 1 : 0);
        options_->SetState(Option::Aspect, aspect ? 1 : 0);
    }
    QString Jpeg(const QString& name, int w, int h) {
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(
            test::WriteFile(path, test::EncodeJpeg(test::TwoHalves(w, h, Qt::red, Qt::blue))));
        return path;
    }
    QString StoreSnapshot() const {
        QString all;
        for (const auto& [k, v] : store_.values) {
            all += QString::fromStdString(k + "=" + v + ";");
        }
        return all;
    }

    QTemporaryDir dir_;
    test::MemorySettingsStore store_;
    test::RecordingReporter reporter_;
    std::unique_ptr<OptionBoxes> options_;
    ScreenMetrics screen_ = MetricsForPixels(1024, 768);
    QFrame frame_;
    QLabel* label_ = nullptr;
    std::unique_ptr<PreviewController> preview_;
    std::vector<ShownMessage> messages_;
};

struct PreviewCase {
    const char* name;
    int imageW, imageH;
    bool stretch, aspect;
    ImageBox box;  // twips
    QRect rect;    // pixels of pctPreview
};

class PreviewBoxes : public PreviewTest, public ::testing::WithParamInterface<PreviewCase> {};

TEST_P(PreviewBoxes, ImagePlacedAsTheWallpaperWouldBe) {
    const PreviewCase& c = GetParam();
    SetFit(c.stretch, c.aspect);
    preview_->lstPreview_ItemClick(Jpeg(QStringLiteral("p.jpg"), c.imageW, c.imageH));
    EXPECT_TRUE(reporter_.reports.empty());
    EXPECT_TRUE(messages_.empty());
    ASSERT_TRUE(preview_->LastBox().has_value());
    const ImageBox& box = *preview_->LastBox();
    EXPECT_EQ(box.Width, c.box.Width);
    EXPECT_EQ(box.Height, c.box.Height);
    EXPECT_EQ(box.Left, c.box.Left);
    EXPECT_EQ(box.Top, c.box.Top);
    EXPECT_EQ(label_->geometry(), c.rect);
    EXPECT_TRUE(label_->hasScaledContents());
    const QPixmap shown = label_->pixmap();
    ASSERT_FALSE(shown.isNull());
    // Decoded at the preview's size, not the photo's.
    EXPECT_LE(shown.width(), std::max(c.rect.width(), 1) * 2);
    EXPECT_LE(shown.height(), std::max(c.rect.height(), 1) * 2);
    // Not mirrored or cropped.
    const QImage pixels = shown.toImage();
    EXPECT_GT(pixels.pixelColor(pixels.width() / 8, pixels.height() / 2).red(), 200);
    EXPECT_GT(pixels.pixelColor(pixels.width() * 7 / 8, pixels.height() / 2).blue(), 200);
}

INSTANTIATE_TEST_SUITE_P(Options, PreviewBoxes,
                         ::testing::Values(PreviewCase{"NaturalSizeScaledToTheBox",
                                                       640,
                                                       480,
                                                       false,
                                                       false,
                                                       {1640.625F, 1228.125F, 492.1875F, 368.4375F},
                                                       QRect(33, 25, 109, 82)},
                                           PreviewCase{"AspectIgnoredWithoutStretch",
                                                       640,
                                                       480,
                                                       false,
                                                       true,
                                                       {1640.625F, 1228.125F, 492.1875F, 368.4375F},
                                                       QRect(33, 25, 109, 82)},
                                           PreviewCase{"WideKeepAspect",
                                                       1600,
                                                       1200,
                                                       true,
                                                       true,
                                                       {2617, 1962.75F, 4, 1.125F},
                                                       QRect(0, 0, 174, 131)},
                                           PreviewCase{"TallKeepAspect",
                                                       600,
                                                       800,
                                                       true,
                                                       true,
                                                       {1473.75F, 1965, 575.625F, 0},
                                                       QRect(38, 0, 98, 131)},
                                           PreviewCase{"SquareAsHighAsTheBox",
                                                       500,
                                                       500,
                                                       true,
                                                       true,
                                                       {1965, 1965, 330, 0},
                                                       QRect(22, 0, 131, 131)},
                                           PreviewCase{"StretchFillsTheBox",
                                                       600,
                                                       800,
                                                       true,
                                                       false,
                                                       {2625, 1965, 0, 0},
                                                       QRect(0, 0, 175, 131)}),
                         [](const ::testing::TestParamInfo<PreviewCase>& param) {
                             return std::string(param.param.name);
                         });

TEST_F(PreviewTest, MissingFileEmptiesThePreviewAndKeepsItsPlace) {
    SetFit(true, true);
    const QString path = Jpeg(QStringLiteral("gone.jpg"), 1600, 1200);
    preview_->lstPreview_ItemClick(path);
    ASSERT_FALSE(label_->pixmap().isNull());
    const QRect before = label_->geometry();
    const QString settings = StoreSnapshot();
    ASSERT_TRUE(QFile::remove(path));

    preview_->lstPreview_ItemClick(path);
    ASSERT_EQ(messages_.size(), 1U);
    EXPECT_EQ(messages_[0].text, kImageNotLocatedMessage);
    EXPECT_EQ(messages_[0].icon, MessageIcon::Stop);
    EXPECT_EQ(messages_[0].title, kApplicationTitle);
    EXPECT_TRUE(label_->pixmap().isNull());
    EXPECT_EQ(label_->geometry(), before);
    EXPECT_TRUE(reporter_.reports.empty());
    EXPECT_EQ(StoreSnapshot(), settings);
}

TEST_F(PreviewTest, DamagedFileIsReportedUnderThePreviewsCode) {
    preview_->lstPreview_ItemClick(Jpeg(QStringLiteral("ok.jpg"), 640, 480));
    ASSERT_FALSE(label_->pixmap().isNull());
    const QString bad = dir_.filePath(QStringLiteral("bad.jpg"));
    ASSERT_TRUE(test::WriteFile(bad, QByteArray("not a picture at all")));

    preview_->lstPreview_ItemClick(bad);
    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].location, 34);
    EXPECT_EQ(reporter_.reports[0].number, errnum::InvalidPicture);
    EXPECT_TRUE(messages_.empty());
    // The old picture belonged to another entry.
    EXPECT_TRUE(label_->pixmap().isNull());
}

TEST_F(PreviewTest, OptionChangeWaitsForTheNextClick) {
    SetFit(true, true);
    const QString path = Jpeg(QStringLiteral("p.jpg"), 1600, 1200);
    preview_->lstPreview_ItemClick(path);
    const QRect first = label_->geometry();
    preview_->lstPreview_ItemClick(path);
    EXPECT_EQ(label_->geometry(), first) << "the same click twice gives the same result";

    SetFit(false, false);
    EXPECT_EQ(label_->geometry(), first);
    preview_->lstPreview_ItemClick(path);
    // 1600 x 1200 at natural size is larger than the screen: scaled by 175/1024, centred.
    EXPECT_EQ(label_->geometry().size(), QSize(273, 205));
}

TEST_F(PreviewTest, ScreenWithoutMetricsIsReported) {
    screen_ = ScreenMetrics{};
    preview_->lstPreview_ItemClick(Jpeg(QStringLiteral("p.jpg"), 64, 48));
    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].location, 34);
    EXPECT_EQ(reporter_.reports[0].number, errnum::DivisionByZero);
}

}  // namespace
}  // namespace tavrino
