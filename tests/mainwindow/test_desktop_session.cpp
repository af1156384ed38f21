// The real program in a small X session: a second launch reaches the first copy, which --next
// and --show drive, and --next without a running copy fails. (The tray's clicks are checked
// in Plasma's panel, test_desktop_plasma.)
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QImage>

#include "common/TestSupport.h"
#include "common/VirtualDisplay.h"

namespace tavrino {
namespace {

using test::WaitUntil;

class DesktopSession : public ::testing::Test {
protected:
    void SetUp() override {
        if (!display_.IsRunning()) {
            GTEST_SKIP() << "needs Xvfb and xdotool (packages xvfb, xdotool)";
        }
        env_ = home_.Environment();
        env_.insert("DISPLAY", display_.Name());
        env_.insert("TAVRINO_DESKTOP", "x11");
    }
    void TearDown() override {
        program_.kill();
        program_.waitForFinished(3000);
    }

    // Runs the program once more and returns its exit code (-1 when it hung).
    int RunSecond(const QStringList& arguments) {
        QProcess second;
        second.setProcessEnvironment(env_);
        second.start(qEnvironmentVariable("TAVRINO_EXE"), arguments);
        if (!second.waitForFinished(10000)) {
            second.kill();
            second.waitForFinished(2000);
            return -1;
        }
        return second.exitCode();
    }
    [[nodiscard]] QByteArray BitmapHash() const {
        const std::string bytes =
            test::ReadBytes((home_.AppData() + "/TavrinoWallpaperManager.bmp").toStdString());
        return bytes.empty() ? QByteArray()
                             : QCryptographicHash::hash(QByteArray::fromStdString(bytes),
                                                        QCryptographicHash::Sha256);
    }

    test::PrivateHome home_;
    test::VirtualDisplay display_;
    QProcessEnvironment env_;
    QProcess program_;
};

TEST_F(DesktopSession, ASecondLaunchReachesTheFirstCopyAndNextChangesTheWallpaper) {
    QByteArray list;
    for (const QString& name : {QStringLiteral("one.jpg"), QStringLiteral("two.jpg")}) {
        QImage image(80, 60, QImage::Format_RGB32);
        image.fill(name == "one.jpg" ? Qt::red : Qt::blue);
        ASSERT_TRUE(image.save(home_.AppData() + "/" + name, "JPG"));
        list += (home_.AppData() + "/" + name + "|True\r\n").toUtf8();
    }
    test::WriteBytes((home_.AppData() + "/images.idx").toStdString(), list.toStdString());
    home_.WriteSettings({"AutoUpdate=0", "Minimize=0"});
    program_.setProcessEnvironment(env_);
    program_.start(qEnvironmentVariable("TAVRINO_EXE"), {});
    const auto windows = [this] {
        return display_.CountVisibleWindows("^Tavrino Wallpaper Manager$");
    };
    ASSERT_TRUE(WaitUntil([&] { return windows() == 1 && !BitmapHash().isEmpty(); }));
    const QByteArray first = BitmapHash();
    EXPECT_EQ(RunSecond({}), 0);
    EXPECT_EQ(RunSecond({"/startup"}), 0);
    EXPECT_EQ(windows(), 1) << "a second copy must not open a window";
    EXPECT_EQ(RunSecond({"--next"}), 0);
    EXPECT_TRUE(WaitUntil([&] { return BitmapHash() != first; }, 5000));
    EXPECT_EQ(RunSecond({"--show"}), 0);
    program_.kill();
    program_.waitForFinished(3000);
    EXPECT_NE(RunSecond({"--next"}), 0) << "--next without a running copy must fail";
}

}  // namespace
}  // namespace tavrino
