// The artwork compiled into the program and the Windows icon file beside it.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QSet>
#include <vector>

#include "layouts/Resources.h"

namespace tavrino::test {
namespace {

class Artwork : public ::testing::Test {
protected:
    static void SetUpTestSuite() { tavrino::InitResources(); }
};

TEST_F(Artwork, ResourcesHaveTheirSizes) {
    struct Picture {
        const char* path;
        QSize size;
    };
    const std::vector<Picture> pictures = {
        {":/art/icon-16.png", {16, 16}},
        {":/art/icon-32.png", {32, 32}},
        {":/art/icon-48.png", {48, 48}},
        {":/art/icon-256.png", {256, 256}},
        {":/art/splash.png", {450, 250}},
        {":/art/button-cancel.png", {111, 23}},
        {":/art/button-send-report.png", {111, 23}},
    };
    for (const Picture& picture : pictures) {
        SCOPED_TRACE(picture.path);
        const QImage image(picture.path);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), picture.size);
        EXPECT_TRUE(image.hasAlphaChannel() || QString(picture.path).contains("splash"));
    }
}

// Icons and buttons have transparent corners; the button's rounded face is opaque in the middle.
TEST_F(Artwork, ButtonsAreRoundedAndOpaqueInside) {
    for (const char* path : {":/art/button-cancel.png", ":/art/button-send-report.png"}) {
        SCOPED_TRACE(path);
        const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(image.isNull());
        EXPECT_LT(image.pixelColor(0, 0).alpha(), 128);
        EXPECT_LT(image.pixelColor(110, 22).alpha(), 128);
        const QColor middle = image.pixelColor(3, 11);
        EXPECT_EQ(middle.alpha(), 255);
        EXPECT_GT(middle.blue(), middle.red()) << "a blue button";
    }
}

TEST_F(Artwork, AppIconCarriesEverySize) {
    const QIcon icon = tavrino::AppIcon();
    const QList<QSize> sizes = icon.availableSizes();
    for (const int size : {16, 32, 48, 256}) {
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
        EXPECT_EQ(icon.pixmap(QSize(size, size)).size(), QSize(size, size));
    }
}

TEST_F(Artwork, WindowsIconFileHoldsSixteenToFortyEight) {
    const QString root = qEnvironmentVariable("TAVRINO_TEST_SOURCE_DIR");
    ASSERT_FALSE(root.isEmpty());
    QImageReader reader(QDir(root).filePath("layouts/art/icon.ico"));
    ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
    QSet<int> sizes;
    for (int i = 0; i < reader.imageCount(); ++i) {
        ASSERT_TRUE(reader.jumpToImage(i));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.width(), image.height());
        sizes.insert(image.width());
    }
    EXPECT_EQ(sizes, QSet<int>({16, 32, 48}));
}

}  // namespace
}  // namespace tavrino::test
