// The real program in a small X session with a real tray host (trayer): the log-on hide, the
// tray icon's single and double click, a second launch, and --next / --show.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include "common/VirtualDisplay.h"

namespace tavrino {
namespace {

using test::WaitUntil;

class DesktopSession : public ::testing::Test {
protected:
    void SetUp() override {
        if (!display_.IsRunning() || QStandardPaths::findExecutable("trayer").isEmpty() ||
            QStandardPaths::findExecutable("xdotool").isEmpty()) {
            GTEST_SKIP() << "needs Xvfb, trayer and xdotool";
        }
        env_ = home_.Environment();
        env_.insert("DISPLAY", display_.Name());
        env_.insert("TAVRINO_DESKTOP", "x11");
    }
    void TearDown() override {
        for (QProcess* p : {&program_, &tray_}) {
            p->kill();
            p->waitForFinished(3000);
        }
    }

    void Start(QProcess& process, const QString& program, const QStringList& arguments) {
        process.setProcessEnvironment(env_);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(program, arguments);
        ASSERT_TRUE(process.waitForStarted(5000));
    }
    // Runs the program once more and returns its exit code (-1 when it hung).
    int RunSecond(const QStringList& arguments) {
        QProcess second;
        Start(second, qEnvironmentVariable("TAVRINO_EXE"), arguments);
        if (!second.waitForFinished(10000)) {
            second.kill();
            second.waitForFinished(2000);
            return -1;
        }
        return second.exitCode();
    }
    [[nodiscard]] QString PanelId() const {
        return display_.Run("xdotool", {"search", "--name", "^panel$"}).split('\n').value(0);
    }
    void ClickIcon(int clicks) const {
        static_cast<void>(
            display_.Run("xdotool", {"mousemove", "--window", PanelId(), "10", "14", "click",
                                     "--repeat", QString::number(clicks), "--delay", "80", "1"}));
    }
    [[nodiscard]] bool MainVisible() const {
        return display_.CountVisibleWindows("^Tavrino Wallpaper Manager$") > 0;
    }
    [[nodiscard]] QByteArray BitmapHash() const {
        QFile bitmap(home_.AppData() + "/TavrinoWallpaperManager.bmp");
        return bitmap.open(QIODevice::ReadOnly)
                   ? QCryptographicHash::hash(bitmap.readAll(), QCryptographicHash::Sha256)
                   : QByteArray();
    }

    test::PrivateHome home_;
    test::VirtualDisplay display_;
    QProcessEnvironment env_;
    QProcess tray_;
    QProcess program_;
};

TEST_F(DesktopSession, TheLogOnHideStandsUntilADoubleClickOnTheTrayIcon) {
    Start(tray_, "trayer",
          {"--edge", "bottom", "--align", "right", "--widthtype", "request", "--height", "32",
           "--SetDockType", "true"});
    ASSERT_TRUE(WaitUntil([this] { return !PanelId().isEmpty(); }, 5000));
    home_.WriteSettings({"AutoUpdate=0", "Minimize=1"});
    Start(program_, qEnvironmentVariable("TAVRINO_EXE"), {"/startup"});
    ASSERT_TRUE(WaitUntil(
        [this] {
            return display_.Run("xwininfo", {"-id", PanelId(), "-tree"})
                .contains("\"tavrino-wallpaper-manager\"");
        },
        15000))
        << "the icon never embedded";
    // The hide of the log-on start stands after the splash hands over.
    ASSERT_TRUE(WaitUntil([this] { return display_.CountVisibleWindows(".") <= 2; }, 8000));
    QThread::msleep(500);
    EXPECT_FALSE(MainVisible());
    ClickIcon(1);
    QThread::msleep(800);
    EXPECT_FALSE(MainVisible()) << "a single click must leave the window hidden";
    ClickIcon(2);
    EXPECT_TRUE(WaitUntil([this] { return MainVisible(); }, 5000)) << "a double click restores";
}

TEST_F(DesktopSession, ASecondLaunchReachesTheFirstCopyAndNextChangesTheWallpaper) {
    QFile index(home_.AppData() + "/images.idx");
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    for (const QString& name : {QStringLiteral("one.jpg"), QStringLiteral("two.jpg")}) {
        QImage image(80, 60, QImage::Format_RGB32);
        image.fill(name == "one.jpg" ? Qt::red : Qt::blue);
        ASSERT_TRUE(image.save(home_.AppData() + "/" + name, "JPG"));
        index.write((home_.AppData() + "/" + name + "|True\r\n").toUtf8());
    }
    index.close();
    home_.WriteSettings({"AutoUpdate=0", "Minimize=0"});
    Start(program_, qEnvironmentVariable("TAVRINO_EXE"), {});
    ASSERT_TRUE(WaitUntil([this] { return MainVisible() && !BitmapHash().isEmpty(); }, 15000));
    const QByteArray first = BitmapHash();
    EXPECT_EQ(RunSecond({}), 0);
    EXPECT_EQ(RunSecond({"/startup"}), 0);
    EXPECT_EQ(display_.CountVisibleWindows("^Tavrino Wallpaper Manager$"), 1)
        << "a second copy must not open a window";
    EXPECT_EQ(RunSecond({"--next"}), 0);
    EXPECT_TRUE(WaitUntil([&] { return BitmapHash() != first; }, 5000));
    EXPECT_EQ(RunSecond({"--show"}), 0);
    program_.kill();
    program_.waitForFinished(3000);
    EXPECT_NE(RunSecond({"--next"}), 0) << "--next without a running copy must fail";
}

}  // namespace
}  // namespace tavrino
