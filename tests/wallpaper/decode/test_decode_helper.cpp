// Pictures are decoded by a helper process: the bitmap it writes is the one this process would
// write, and a helper that crashes, hangs or reaches its memory limit is reported where the
// composition (48) or the preview (34) was asked for, with the previous bitmap whole.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QTemporaryDir>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "library/PathText.h"
#include "settings/Options.h"
#include "support/MessageBox.h"
#include "wallpaper/BitmapComposition.h"
#include "wallpaper/PreviewController.h"
#include "wallpaper/WallpaperComposer.h"
#include "wallpaper/decode/DecoderProcess.h"
#include "wallpaper/test_compose_images.h"

namespace tavrino {
namespace {

class DecodeHelperTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        SetMessageInterceptor([](const ShownMessage&) { ADD_FAILURE() << "no message expected"; });
        options_ = std::make_unique<OptionBoxes>(store_, reporter_);
        options_->SetState(Option::Stretch, 1);
        options_->SetState(Option::Aspect, 1);
        composer_ = std::make_unique<WallpaperComposer>(reporter_, *options_, Data(),
                                                        [] { return MetricsForPixels(640, 480); });
        composer_->SetBackground(QColor(10, 200, 30));
        frame_.resize(175, 131);
        preview_ = std::make_unique<PreviewController>(&frame_, label_, reporter_, *options_,
                                                       [] { return MetricsForPixels(640, 480); });
        SetDecoderTimeout(std::chrono::milliseconds(1500));
    }
    void TearDown() override {
        SetDecoderTimeout(std::chrono::seconds(30));
        SetMessageInterceptor({});
    }
    QString Data() const { return dir_.filePath(QStringLiteral("data")); }
    QString Picture(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        test::WriteBytes(path.toStdString(), bytes.toStdString());
        return path;
    }

    QTemporaryDir dir_;
    test::MemorySettingsStore store_;
    test::RecordingReporter reporter_;
    std::unique_ptr<OptionBoxes> options_;
    std::unique_ptr<WallpaperComposer> composer_;
    QFrame frame_;
    QLabel* label_ = new QLabel(&frame_);
    std::unique_ptr<PreviewController> preview_;
};

TEST_F(DecodeHelperTest, BitmapIsTheOneThisProcessWouldWrite) {
    // A transparent GIF, so the background colour crosses over too.
    const QString gif = Picture(QStringLiteral("a.gif"),
                                test::EncodeGif(test::TwoHalves(300, 200, Qt::red, Qt::blue), [] {
                                    test::GifLayout clear;
                                    clear.transparent = 0;
                                    return clear;
                                }()));
    ASSERT_TRUE(composer_->ComposeWallpaper(gif));
    QFile source(gif);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QString here = dir_.filePath(QStringLiteral("here.bmp"));
    WriteBitmapFile(
        ComposeBitmapImage(source, MetricsForPixels(640, 480), {true, true}, QColor(10, 200, 30)),
        here);
    EXPECT_EQ(test::ReadBytes(composer_->BitmapPath().toStdString()),
              test::ReadBytes(here.toStdString()));
    EXPECT_TRUE(reporter_.reports.empty());
}

struct Fault {
    const char* name;
    const char* fault;  // the helper's test switch
    std::int32_t number;
    const char* says;  // part of the description
};

class DecodeHelperFaults : public DecodeHelperTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(DecodeHelperFaults, ReportedWhereAskedAndThePreviousBitmapStays) {
    const Fault& f = GetParam();
    const QString first =
        Picture(QStringLiteral("first.jpg"),
                test::Encode(test::TwoHalves(320, 240, Qt::red, Qt::blue), "JPG"));
    const QString second =
        Picture(QStringLiteral("second.jpg"),
                test::Encode(test::TwoHalves(200, 300, Qt::white, Qt::black), "JPG"));
    ASSERT_TRUE(composer_->ComposeWallpaper(first));
    const std::string before = test::ReadBytes(composer_->BitmapPath().toStdString());
    {
        const test::ScopedEnv fault(kDecoderFaultVariable, f.fault);
        EXPECT_FALSE(composer_->ComposeWallpaper(second));
        preview_->lstPreview_ItemClick(second);
    }
    // clang-format off
    ASSERT_EQ(reporter_.reports.size(), 2U);
    for (const auto& [report, location] : {std::pair{reporter_.reports[0], 48},
                                           std::pair{reporter_.reports[1], 34}}) {
        EXPECT_EQ(report.location, location);
        EXPECT_EQ(report.number, f.number);
        EXPECT_NE(report.description.find(f.says), std::string::npos) << report.description;
    }
    // clang-format on
    EXPECT_EQ(test::ReadBytes(composer_->BitmapPath().toStdString()), before);
    EXPECT_EQ(QDir(Data()).entryList(QDir::Files | QDir::Hidden),
              QStringList{kWallpaperBitmapName});
    EXPECT_FALSE(preview_->LastBox().has_value());
    // The program runs on.
    EXPECT_TRUE(composer_->ComposeWallpaper(second));
    EXPECT_NE(test::ReadBytes(composer_->BitmapPath().toStdString()), before);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Roads, DecodeHelperFaults, ::testing::Values(
    Fault{"Crash",  "crash",  errnum::InvalidPicture, "the picture could not be decoded: the decoder stopped (signal 11)"},
    Fault{"Hang",   "hang",   errnum::InvalidPicture, "the picture could not be decoded: the decoder took longer than 1.5 s and was stopped"},
    Fault{"Memory", "memory", errnum::OutOfMemory,    "Out of memory"}),
    [](const ::testing::TestParamInfo<Fault>& param) { return std::string(param.param.name); });
// clang-format on

}  // namespace
}  // namespace tavrino
