// The artwork compiled into the program and the Windows icon file beside it.
#include <gtest/gtest.h>

#include <QDir>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QSet>

#include "layouts/Resources.h"

namespace tavrino {
namespace {

TEST(Artwork, PicturesHaveTheirSizesAndTheButtonsTransparentCorners) {
    InitResources();
    struct Picture {
        const char* path;
        QSize size;
    };
    // clang-format off
    const Picture pictures[] = {
        {":/art/icon-16.png", {16, 16}}, {":/art/icon-48.png", {48, 48}},
        {":/art/icon-256.png", {256, 256}}, {":/art/splash.png", {450, 250}},
        {":/art/button-cancel.png", {111, 23}}, {":/art/button-send-report.png", {111, 23}},
    };
    // clang-format on
    for (const Picture& picture : pictures) {
        const QImage image = QImage(picture.path).convertToFormat(QImage::Format_ARGB32);
        EXPECT_EQ(image.size(), picture.size) << picture.path;
        if (picture.size == QSize(111, 23)) {
            EXPECT_LT(image.pixelColor(0, 0).alpha(), 128) << picture.path;
            EXPECT_EQ(image.pixelColor(3, 11).alpha(), 255) << picture.path;
        }
    }
    for (const int size : {16, 32, 48, 256}) {
        EXPECT_TRUE(AppIcon().availableSizes().contains(QSize(size, size))) << size;
    }
    QImageReader reader(
        QDir(qEnvironmentVariable("TAVRINO_TEST_SOURCE_DIR")).filePath("layouts/art/icon.ico"));
    QSet<int> sizes;
    for (int i = 0; i < reader.imageCount() && reader.jumpToImage(i); ++i) {
        sizes.insert(reader.read().width());
    }
    EXPECT_EQ(sizes, QSet<int>({16, 32, 48}));
}

}  // namespace
}  // namespace tavrino
