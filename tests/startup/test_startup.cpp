// The real executable on a private X display: the /startup gate and the splash hand-over.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>

#include "common/VirtualDisplay.h"

namespace tavrino {
namespace {

TEST(StartUp, ALogOnLaunchEndsAtOnceOnlyWhenAutoStartIsOff) {
    test::VirtualDisplay display;
    if (!display.IsRunning()) {
        GTEST_SKIP() << "Xvfb could not be started";
    }
    struct Case {
        const char* name;
        QStringList settings, arguments;
        bool ends;
    };
    // clang-format off
    const Case cases[] = {
        {"switch, AutoStart off",       {"AutoStart=0"},   {"/startup"},      true},
        {"upper-case switch",           {"AutoStart=0"},   {"/STARTUP"},      true},
        {"no argument",                 {"AutoStart=0"},   {},                false},
        {"switch, AutoStart on",        {"AutoStart=1"},   {"/startup"},      false},
        {"switch, AutoStart missing",   {},                {"/startup"},      false},
        {"switch followed by more",     {"AutoStart=0"},   {"/startup", "x"}, false},
        {"switch, AutoStart damaged",   {"AutoStart=off"}, {"/startup"},      false},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::PrivateHome home;
        home.WriteSettings(c.settings + QStringList{"AutoUpdate=0", "Minimize=0"});
        QProcessEnvironment env = home.Environment();
        env.insert("DISPLAY", display.Name());
        QProcess program;
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        QElapsedTimer clock;
        clock.start();
        program.start(qEnvironmentVariable("TAVRINO_EXE"), c.arguments);
        ASSERT_TRUE(program.waitForStarted(5000));
        int windowsSeen = 0;
        // The splash carries the product name too; the main window is the wider one.
        ASSERT_TRUE(test::WaitUntil(
            [&] {
                windowsSeen += display.CountVisibleWindows(".");
                const auto sizes = display.VisibleWindowSizes("^Tavrino Wallpaper Manager$");
                return program.state() == QProcess::NotRunning ||
                       std::any_of(sizes.begin(), sizes.end(),
                                   [](QSize s) { return s.width() > 460; });
            },
            10000));
        if (c.ends) {
            EXPECT_EQ(program.exitStatus() + program.exitCode() + windowsSeen, 0)
                << "ends at once, quietly";
        } else {
            EXPECT_EQ(program.state(), QProcess::Running);
            EXPECT_GE(clock.elapsed(), 3500) << "the splash hands over after 1000 and 3000 ms";
            program.kill();
            program.waitForFinished(3000);
        }
    }
}

}  // namespace
}  // namespace tavrino
