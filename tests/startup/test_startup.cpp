// The real executable on a private X display: the /startup gate and the splash hand-over.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>

#include "common/VirtualDisplay.h"

namespace tavrino {
namespace {

using test::PrivateHome;
using test::VirtualDisplay;
using test::WaitUntil;

const QString kMainTitle = QStringLiteral("^Tavrino Wallpaper Manager$");

class StartUp : public ::testing::Test {
protected:
    void SetUp() override {
        if (!display_.IsRunning()) {
            GTEST_SKIP() << "Xvfb could not be started";
        }
    }

    void Launch(const QStringList& arguments) {
        QProcessEnvironment env = home_.Environment();
        env.insert(QStringLiteral("DISPLAY"), display_.Name());
        program_.setProcessEnvironment(env);
        program_.setProcessChannelMode(QProcess::ForwardedChannels);
        program_.start(qEnvironmentVariable("TAVRINO_EXE"), arguments);
        ASSERT_TRUE(program_.waitForStarted(5000));
        clock_.start();
    }

    void TearDown() override {
        if (program_.state() != QProcess::NotRunning) {
            program_.kill();
            program_.waitForFinished(3000);
        }
    }

    // The splash carries the product name too; the main window is the wider one.
    bool MainWindowShows(int timeoutMs) {
        return WaitUntil(
            [this] {
                const QList<QSize> sizes = display_.VisibleWindowSizes(kMainTitle);
                return std::any_of(sizes.begin(), sizes.end(),
                                   [](const QSize& s) { return s.width() > 460; });
            },
            timeoutMs);
    }

    PrivateHome home_;
    VirtualDisplay display_;
    QProcess program_;
    QElapsedTimer clock_;
};

TEST_F(StartUp, ALogOnLaunchEndsAtOnceWhenAutoStartIsOff) {
    for (const QString& argument : {QStringLiteral("/startup"), QStringLiteral("/STARTUP")}) {
        home_.WriteSettings({QStringLiteral("AutoStart=0")});
        Launch({argument});
        int windowsSeen = 0;
        ASSERT_TRUE(WaitUntil(
            [&] {
                windowsSeen += display_.CountVisibleWindows(QStringLiteral("."));
                return program_.state() == QProcess::NotRunning;
            },
            8000))
            << argument.toStdString();
        EXPECT_EQ(program_.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program_.exitCode(), 0);
        EXPECT_EQ(windowsSeen, 0) << argument.toStdString();
    }
}

struct GoesOnCase {
    const char* name;
    QStringList settings;
    QStringList arguments;
};

TEST_F(StartUp, OtherLaunchesGoOnToTheMainWindow) {
    const std::vector<GoesOnCase> cases{
        {"switch with AutoStart on", {QStringLiteral("AutoStart=1")}, {QStringLiteral("/startup")}},
        {"switch with AutoStart missing", {}, {QStringLiteral("/startup")}},
        {"switch followed by more",
         {QStringLiteral("AutoStart=0")},
         {QStringLiteral("/startup"), QStringLiteral("x")}},
        {"no argument", {QStringLiteral("AutoStart=0")}, {}},
        {"damaged AutoStart", {QStringLiteral("AutoStart=off")}, {QStringLiteral("/startup")}},
    };
    for (const GoesOnCase& c : cases) {
        QStringList settings = c.settings;
        settings << QStringLiteral("AutoUpdate=0") << QStringLiteral("Minimize=0");
        home_.WriteSettings(settings);
        Launch(c.arguments);
        EXPECT_TRUE(MainWindowShows(10000)) << c.name;
        program_.kill();
        program_.waitForFinished(3000);
    }
}

TEST_F(StartUp, WithoutTheUpdateCheckTheMainWindowComesAboutFourSecondsAfterStart) {
    home_.WriteSettings({QStringLiteral("AutoUpdate=0")});
    Launch({});
    ASSERT_TRUE(MainWindowShows(10000));
    const qint64 elapsed = clock_.elapsed();
    EXPECT_GE(elapsed, 3500);
    EXPECT_LE(elapsed, 9000);
}

}  // namespace
}  // namespace tavrino
