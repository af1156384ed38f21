// The real program in a small X session with a real tray host (trayer): the log-on hide,
// the tray icon's single and double click, a second launch, and --next / --show.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <utility>

#include "common/VirtualDisplay.h"

namespace tavrino {
namespace {

using test::PrivateHome;
using test::VirtualDisplay;
using test::WaitUntil;

const QString kTitle = QStringLiteral("^Tavrino Wallpaper Manager$");

class DesktopSession : public ::testing::Test {
protected:
    void SetUp() override {
        if (!display_.IsRunning()) {
            GTEST_SKIP() << "Xvfb could not be started";
        }
        if (QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
            GTEST_SKIP() << "trayer or xdotool is not installed";
        }
        env_ = home_.Environment();
        env_.insert(QStringLiteral("DISPLAY"), display_.Name());
        env_.insert(QStringLiteral("TAVRINO_DESKTOP"), QStringLiteral("x11"));
    }

    void TearDown() override {
        for (QProcess* p : {&program_, &tray_}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
    }

    void StartTray() {
        tray_.setProcessEnvironment(env_);
        tray_.start(QStringLiteral("trayer"),
                    {QStringLiteral("--edge"), QStringLiteral("bottom"), QStringLiteral("--align"),
                     QStringLiteral("right"), QStringLiteral("--widthtype"),
                     QStringLiteral("request"), QStringLiteral("--height"), QStringLiteral("32"),
                     QStringLiteral("--SetDockType"), QStringLiteral("true")});
        ASSERT_TRUE(tray_.waitForStarted(5000));
        ASSERT_TRUE(WaitUntil([this] { return !PanelId().isEmpty(); }, 5000));
    }

    void StartProgram(const QStringList& arguments) {
        program_.setProcessEnvironment(env_);
        program_.setProcessChannelMode(QProcess::ForwardedChannels);
        program_.start(qEnvironmentVariable("TAVRINO_EXE"), arguments);
        ASSERT_TRUE(program_.waitForStarted(5000));
    }

    // Runs the program once more and returns its exit code (-1 when it hung).
    int RunSecond(const QStringList& arguments) const {
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

    [[nodiscard]] QString PanelId() const {
        return display_
            .Run(QStringLiteral("xdotool"),
                 {QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^panel$")})
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts)
            .value(0);
    }

    // The panel holds our icon once it is wider than trayer's empty 1-pixel strip.
    [[nodiscard]] bool IconEmbedded() const {
        const QString tree =
            display_.Run(QStringLiteral("xwininfo"),
                         {QStringLiteral("-id"), PanelId(), QStringLiteral("-tree")});
        return tree.contains(QStringLiteral("\"tavrino-wallpaper-manager\""));
    }

    void ClickIcon(int clicks) const {
        const QString panel = PanelId();
        static_cast<void>(
            display_.Run(QStringLiteral("xdotool"),
                         {QStringLiteral("mousemove"), QStringLiteral("--window"), panel,
                          QStringLiteral("10"), QStringLiteral("14"), QStringLiteral("click"),
                          QStringLiteral("--repeat"), QString::number(clicks),
                          QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")}));
    }

    [[nodiscard]] bool MainVisible() const { return display_.CountVisibleWindows(kTitle) > 0; }

    void WriteTwoPictureList() {
        const QString folder = home_.AppData();
        QStringList lines;
        for (const auto& [name, colour] :
             {std::pair{QStringLiteral("one.jpg"), QColor(Qt::red)},
              std::pair{QStringLiteral("two.jpg"), QColor(Qt::blue)}}) {
            QImage image(80, 60, QImage::Format_RGB32);
            image.fill(colour);
            ASSERT_TRUE(image.save(folder + QLatin1Char('/') + name, "JPG"));
            lines << folder + QLatin1Char('/') + name + QStringLiteral("|True");
        }
        QFile index(folder + QStringLiteral("/images.idx"));
        ASSERT_TRUE(index.open(QIODevice::WriteOnly));
        index.write(lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
    }

    [[nodiscard]] QByteArray BitmapHash() const {
        QFile bitmap(home_.AppData() + QStringLiteral("/TavrinoWallpaperManager.bmp"));
        if (!bitmap.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QCryptographicHash::hash(bitmap.readAll(), QCryptographicHash::Sha256);
    }

    PrivateHome home_;
    VirtualDisplay display_;
    QProcessEnvironment env_;
    QProcess tray_;
    QProcess program_;
};

TEST_F(DesktopSession, TheLogOnHideStandsUntilADoubleClickOnTheTrayIcon) {
    StartTray();
    home_.WriteSettings({QStringLiteral("AutoUpdate=0"), QStringLiteral("Minimize=1")});
    StartProgram({QStringLiteral("/startup")});
    ASSERT_TRUE(WaitUntil([this] { return IconEmbedded(); }, 15000)) << "the icon never embedded";
    // The hide of the log-on start stands after the splash hands over.
    ASSERT_TRUE(
        WaitUntil([this] { return display_.CountVisibleWindows(QStringLiteral(".")) <= 2; }, 8000));
    QThread::msleep(500);
    EXPECT_FALSE(MainVisible());

    ClickIcon(1);
    QThread::msleep(800);
    EXPECT_FALSE(MainVisible()) << "a single click must leave the window hidden";

    ClickIcon(2);
    EXPECT_TRUE(WaitUntil([this] { return MainVisible(); }, 5000))
        << "a double click must restore it";
}

TEST_F(DesktopSession, ASecondLaunchReachesTheFirstCopyAndNextChangesTheWallpaper) {
    WriteTwoPictureList();
    home_.WriteSettings({QStringLiteral("AutoUpdate=0"), QStringLiteral("Minimize=0")});
    StartProgram({});
    ASSERT_TRUE(WaitUntil([this] { return MainVisible() && !BitmapHash().isEmpty(); }, 15000));
    const QByteArray first = BitmapHash();

    EXPECT_EQ(RunSecond({}), 0);
    EXPECT_EQ(RunSecond({QStringLiteral("/startup")}), 0);
    EXPECT_EQ(display_.CountVisibleWindows(kTitle), 1) << "a second copy must not open a window";
    EXPECT_EQ(program_.state(), QProcess::Running);

    EXPECT_EQ(RunSecond({QStringLiteral("--next")}), 0);
    EXPECT_TRUE(WaitUntil([&] { return BitmapHash() != first; }, 5000));
    EXPECT_EQ(RunSecond({QStringLiteral("--show")}), 0);

    program_.kill();
    program_.waitForFinished(3000);
    EXPECT_NE(RunSecond({QStringLiteral("--next")}), 0)
        << "--next without a running copy must fail";
}

}  // namespace
}  // namespace tavrino
