// The preview pane: the picture placed in pctPreview as the wallpaper would sit, decoded at the
// preview's size; a missing or damaged file; and what a click must leave alone.
#include <gtest/gtest.h>

#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
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
        SetMessageInterceptor([this](const ShownMessage& m) { messages_.push_back(m); });
        frame_.resize(175, 131);  // the design size, 2625 x 1965 twips
        label_->setGeometry(10, 10, 50, 40);
    }
    void TearDown() override { SetMessageInterceptor({}); }

    void SetFit(bool stretch, bool aspect) {
        options_.SetState(Option::Stretch, stretch ? 1 : 0);
        options_.SetState(Option::Aspect, aspect ? 1 : 0);
    }
    QString File(const char* name, const QByteArray& bytes) const {
        test::WriteBytes(folder_ / name, bytes.toStdString());
        return QString::fromStdString((folder_ / name).string());
    }
    QString Jpeg(int w, int h) const {
        return File("p.jpg", test::Encode(test::TwoHalves(w, h), "JPG"));
    }

    test::TempFolder folder_;
    test::MemorySettingsStore store_;
    test::RecordingReporter reporter_;
    OptionBoxes options_{store_, reporter_};
    ScreenMetrics screen_ = MetricsForPixels(1024, 768);
    QFrame frame_;
    QLabel* label_ = new QLabel(&frame_);
    PreviewController preview_{&frame_, label_, reporter_, options_, [this] { return screen_; }};
    std::vector<ShownMessage> messages_;
};

TEST_F(PreviewTest, ThePictureSitsWhereTheFitPutsIt) {
    struct Case {
        int w, h;
        bool stretch, aspect;
        QRect rect;  // pixels of pctPreview
    };
    // clang-format off
    const Case cases[] = {
        {640, 480, false, false, {33, 25, 109, 82}},  // the screen's size scaled by 175/1024
        {1600, 1200, true, true, {0, 0, 174, 131}},
        {600, 800, true, true, {38, 0, 98, 131}},
        {500, 500, true, true, {22, 0, 131, 131}},
        {600, 800, true, false, {0, 0, 175, 131}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " " << c.stretch << c.aspect);
        SetFit(c.stretch, c.aspect);
        preview_.lstPreview_ItemClick(Jpeg(c.w, c.h));
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

TEST_F(PreviewTest, AMissingFileEmptiesThePreviewAndChangesNothingElse) {
    SetFit(true, true);
    const QString path = Jpeg(1600, 1200);
    preview_.lstPreview_ItemClick(path);
    const QRect before = label_->geometry();
    SetFit(false, false);  // waits for the next click
    EXPECT_EQ(label_->geometry(), before);
    const auto settings = store_.values;
    ASSERT_TRUE(QFile::remove(path));
    preview_.lstPreview_ItemClick(path);
    ASSERT_EQ(messages_.size(), 1U);
    EXPECT_EQ(messages_[0].text, kImageNotLocatedMessage);
    EXPECT_EQ(messages_[0].icon, MessageIcon::Stop);
    EXPECT_EQ(messages_[0].title, kApplicationTitle);
    EXPECT_TRUE(label_->pixmap().isNull());
    EXPECT_EQ(label_->geometry(), before);
    EXPECT_TRUE(reporter_.reports.empty());
    EXPECT_EQ(store_.values, settings);
}

TEST_F(PreviewTest, ADamagedFileOrScreenIsReportedUnderThePreviewsCode) {
    preview_.lstPreview_ItemClick(Jpeg(640, 480));
    ASSERT_FALSE(label_->pixmap().isNull());
    preview_.lstPreview_ItemClick(File("bad.jpg", "not a picture at all"));
    EXPECT_TRUE(label_->pixmap().isNull()) << "the old picture belonged to another entry";
    screen_ = ScreenMetrics{};
    preview_.lstPreview_ItemClick(Jpeg(64, 48));
    ASSERT_EQ(reporter_.reports.size(), 2U);
    EXPECT_EQ(reporter_.reports[0].location, 34);
    EXPECT_EQ(reporter_.reports[0].number, errnum::InvalidPicture);
    EXPECT_EQ(reporter_.reports[1].location, 34);
    EXPECT_EQ(reporter_.reports[1].number, errnum::DivisionByZero);
    EXPECT_TRUE(messages_.empty());
}

}  // namespace
}  // namespace tavrino
