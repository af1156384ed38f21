#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "FakeList.h"
#include "common/TestSupport.h"
#include "rotation/Countdown.h"

namespace tavrino {
namespace {

using rotation::CountdownState;
using rotation::CountingStatusText;
using Calls = std::vector<std::string>;

// A countdown wired to plain variables: the option boxes, the period box and the wallpaper
// calls, which it records ("compose <path>", "apply <CurrentIndex>") with the tick of each.
class Rig {
public:
    explicit Rig(const std::string& flags, std::string periodText = "5")
        : list(test::ListOf(flags)),
          marks(std::string(flags.size(), 'x')),
          period(std::move(periodText)),
          countdown(list, marks, engine, reporter, Hooks()) {}
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    // The main window's load; forgets the calls it made.
    void Load() {
        countdown.ShowFirstImage();
        countdown.AnnounceAtLoad();
        calls.clear();
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) {
            ++tick;
            countdown.Tick();
        }
    }
    [[nodiscard]] const rotation::RotationDisplay& Shown() const { return countdown.Display(); }

    test::FakeList list;
    test::FakeMarks marks;
    rotation::RandomEngine engine{99};
    test::RecordingReporter reporter;
    int rotate = 1;
    std::string period;
    Calls periodSets;
    Calls calls;
    std::vector<int> composeTicks;
    std::function<void()> duringApply;
    int tick = 0;
    rotation::Countdown countdown;

private:
    rotation::Countdown::Hooks Hooks() {
        rotation::Countdown::Hooks hooks;
        hooks.rotateState = [this] { return rotate; };
        hooks.periodText = [this] { return period; };
        hooks.setPeriodText = [this](const std::string& text) {
            period = text;
            periodSets.push_back(text);
        };
        hooks.composeWallpaper = [this](const std::string& path) {
            calls.push_back("compose " + path);
            composeTicks.push_back(tick);
        };
        hooks.applyWallpaper = [this] {
            calls.push_back("apply " + std::to_string(countdown.CurrentIndex()));
            if (duringApply) {
                duringApply();
            }
        };
        return hooks;
    }
};

TEST(Countdown, FiveMinutesCountDownInRoundedMinutesAndChangeAtTheThreeHundredthTick) {
    Rig rig("TTT");
    rig.Load();
    ASSERT_EQ(rig.Shown().upNext, "C:\\2.jpg");
    struct Step {
        int tick;
        long long minutes;
    };
    for (const Step step :
         {Step{1, 5}, Step{30, 5}, Step{31, 4}, Step{270, 1}, Step{271, 0}, Step{299, 0}}) {
        rig.Ticks(step.tick - rig.tick);
        EXPECT_EQ(rig.Shown().status, CountingStatusText(step.minutes)) << step.tick;
        EXPECT_EQ(rig.Shown().progressValue, step.tick);
        EXPECT_EQ(rig.Shown().progressMaximum, 300);
    }
    EXPECT_TRUE(rig.calls.empty()) << "changed before the period passed";
    rig.Ticks(1);
    EXPECT_EQ(rig.calls, (Calls{"compose C:\\2.jpg", "apply 2"}));
    EXPECT_EQ(rig.Shown().currentlyShowing, "C:\\2.jpg");
    EXPECT_EQ(rig.Shown().upNext, "C:\\3.jpg");
    EXPECT_EQ(rig.Shown().status, "Your Next Wallpaper Will Show In: 5 Minute(s)");
    EXPECT_EQ(rig.Shown().progressValue, 0);
    EXPECT_EQ(rig.countdown.ElapsedSeconds(), 0);
}

TEST(Countdown, ThePeriodBoxIsReadAtEveryTickAndMendedWhenNotPositive) {
    struct Case {
        std::string text, textAfterFirstTick;
        int changeTick;
        long long minutesAfterFirstTick;
    };
    // clang-format off
    const Case cases[] = {
        {"",     "1",    60,  1},
        {"0",    "1",    60,  1},
        {"abc",  "1",    60,  1},
        {"-3",   "1",    60,  1},
        {"2abc", "2abc", 120, 2},
        {"0.5",  "0.5",  30,  0},
        {"2",    "2",    120, 2},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Rig rig("TT", c.text);
        rig.Load();
        rig.Ticks(1);
        EXPECT_EQ(rig.period, c.textAfterFirstTick);
        EXPECT_EQ(rig.periodSets.empty(), c.text == c.textAfterFirstTick);
        EXPECT_EQ(rig.Shown().status, CountingStatusText(c.minutesAfterFirstTick));
        rig.Ticks(c.changeTick - 1);
        EXPECT_EQ(rig.composeTicks, std::vector<int>{c.changeTick});
    }
}

TEST(Countdown, TheCountHoldsAHugePeriodAndFollowsTheBoxAtEveryTick) {
    Rig rig("TT", "99999999999999");
    rig.Load();
    rig.Ticks(100);
    EXPECT_EQ(rig.Shown().progressMaximum, INT_MAX);
    EXPECT_EQ(rig.Shown().status, CountingStatusText((INT_MAX - 100LL + 30) / 60));
    rig.period = "1";  // lowered below the count: the change comes at the next tick
    rig.Ticks(1);
    EXPECT_EQ(rig.composeTicks, std::vector<int>{101});
    EXPECT_EQ(rig.Shown().progressMaximum, 60);
}

TEST(Countdown, RotationOffFreezesTheCountAndDropsTheAnnouncement) {
    Rig rig("TTT");
    rig.Load();
    rig.Ticks(10);
    rig.rotate = 2;  // only the checked state 1 is on
    rig.Ticks(50);
    EXPECT_EQ(rig.countdown.State(), CountdownState::Off);
    EXPECT_EQ(rig.Shown().status, rotation::kStatusRotateDisabled);
    EXPECT_EQ(rig.Shown().upNext, "");
    EXPECT_EQ(rig.Shown().progressValue, 0);
    rig.rotate = 1;
    rig.Ticks(289);
    EXPECT_TRUE(rig.calls.empty());
    rig.Ticks(1);  // the count reaches 300; the announcement went, so a fresh choice after row 1
    EXPECT_EQ(rig.calls, (Calls{"compose C:\\2.jpg", "apply 2"}));
}

TEST(Countdown, AnEmptyListLeavesTheDesktopAloneAndFreezesTheCount) {
    Rig empty("");
    empty.Load();
    empty.Ticks(400);
    EXPECT_FALSE(empty.countdown.ChangeNow());
    EXPECT_TRUE(empty.calls.empty());
    EXPECT_EQ(empty.countdown.CurrentIndex(), 0);

    Rig rig("TT");
    rig.Load();
    rig.Ticks(7);
    rig.list.rows.clear();
    rig.Ticks(20);
    EXPECT_EQ(rig.countdown.State(), CountdownState::Empty);
    EXPECT_EQ(rig.Shown().status, rotation::kStatusNoImages);
    EXPECT_EQ(rig.Shown().currentlyShowing, "");
    EXPECT_EQ(rig.Shown().progressMaximum, 1);
    EXPECT_EQ(rig.countdown.ElapsedSeconds(), 7);
    EXPECT_TRUE(rig.calls.empty());
}

TEST(Countdown, TheAnnouncedPathIsLookedUpAtTheChange) {
    struct Case {
        const char* name;
        std::vector<test::Row> rowsAtChange;  // the list as edited after the load
        std::string showing;
        int index;
    };
    // clang-format off
    const Case cases[] = {
        {"unchanged",            {{"C:\\a"}, {"C:\\b"}, {"C:\\c"}},        "C:\\b", 2},
        {"announced removed",    {{"C:\\a"}, {"C:\\c"}},                   "C:\\c", 2},
        {"announced moved up",   {{"C:\\b"}, {"C:\\c"}},                   "C:\\b", 1},
        {"announced flag false", {{"C:\\a"}, {"C:\\b", false}, {"C:\\c"}}, "C:\\b", 2},
        {"other letter case",    {{"C:\\a"}, {"C:\\B"}, {"C:\\c"}},        "C:\\B", 2},
        {"nothing selected",     {{"C:\\x", false}},                       "",      0},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig("TTT", "1");
        rig.list.rows = {{"C:\\a"}, {"C:\\b"}, {"C:\\c"}};
        rig.Load();  // showing row 1, announcing C:\b
        rig.list.rows = c.rowsAtChange;
        rig.Ticks(60);
        EXPECT_EQ(rig.Shown().currentlyShowing, c.showing);
        EXPECT_EQ(rig.countdown.CurrentIndex(), c.index);
        EXPECT_EQ(rig.calls, (Calls{"compose " + c.showing, "apply " + std::to_string(c.index)}));
    }
}

TEST(Countdown, AFailureInsideAChangeIsReportedAndTheCountGoesOn) {
    Rig rig("TT", "1");
    rig.Load();
    rig.duringApply = [] { throw Error(errnum::FileNotFound); };
    rig.Ticks(60);
    ASSERT_EQ(rig.reporter.reports.size(), 1U);
    EXPECT_EQ(rig.reporter.reports[0].location, loc::TmrShowNextTick);
    EXPECT_EQ(rig.Shown().currentlyShowing, "C:\\2.jpg");
    rig.Ticks(1);
    EXPECT_EQ(rig.countdown.ElapsedSeconds(), 1);
}

TEST(Countdown, OneChangeRunsAtATime) {
    Rig rig("TTT", "1");
    rig.Load();
    rig.Ticks(59);
    bool nestedShow = true;
    bool nestedChange = true;
    bool once = true;
    rig.duringApply = [&] {
        if (!std::exchange(once, false)) {
            return;
        }
        rig.countdown.Tick();  // a message box inside the wallpaper code lets the due tick in
        nestedShow = rig.countdown.ShowNow("C:\\1.jpg");
        nestedChange = rig.countdown.ChangeNow();
    };
    EXPECT_TRUE(rig.countdown.ShowNow("C:\\3.jpg"));
    EXPECT_FALSE(nestedShow);
    EXPECT_FALSE(nestedChange);
    EXPECT_EQ(rig.calls, Calls{"apply 3"});
    EXPECT_EQ(rig.countdown.ElapsedSeconds(), 59);
    rig.Ticks(1);
    EXPECT_EQ(rig.calls.back(), "apply 2");
}

TEST(Countdown, ShowNowPutsTheFirstEntryWithTheExactPathUpAndLeavesTheCountAlone) {
    Rig rig("TTT");
    rig.list.rows = {{"C:\\a"}, {"C:\\b"}, {"C:\\a"}, {"C:\\c"}};
    rig.Load();
    rig.Ticks(10);
    const rotation::RotationDisplay before = rig.Shown();
    for (const char* missing : {"C:\\A", "C:\\z", ""}) {
        EXPECT_FALSE(rig.countdown.ShowNow(missing)) << missing;
    }
    EXPECT_TRUE(rig.countdown.ShowNow("C:\\a"));
    EXPECT_TRUE(rig.countdown.ShowNow("C:\\c"));
    EXPECT_EQ(rig.calls, (Calls{"apply 1", "apply 4"}));  // no compose of its own
    EXPECT_EQ(rig.Shown().currentlyShowing, "C:\\c");
    EXPECT_EQ(rig.Shown().upNext, before.upNext);
    EXPECT_EQ(rig.Shown().status, before.status);
    EXPECT_EQ(rig.Shown().progressValue, before.progressValue);
    rig.Ticks(290);  // the scheduled change still comes on time, with the announced image
    EXPECT_EQ(rig.composeTicks, std::vector<int>{300});
    EXPECT_EQ(rig.calls.back(), "apply 2");
}

TEST(Countdown, ChangeNowMakesTheScheduledChangeAndRestartsTheCount) {
    for (const int rotate : {1, 0}) {
        Rig rig("TTT");
        rig.rotate = rotate;
        rig.Load();
        rig.Ticks(42);
        EXPECT_TRUE(rig.countdown.ChangeNow());
        EXPECT_EQ(rig.calls, (Calls{"compose C:\\2.jpg", "apply 2"}));
        EXPECT_EQ(rig.Shown().upNext, rotate == 1 ? "C:\\3.jpg" : "");
        EXPECT_EQ(rig.Shown().status,
                  rotate == 1 ? CountingStatusText(5) : rotation::kStatusRotateDisabled);
        EXPECT_EQ(rig.Shown().progressValue, 0);
    }
}

TEST(Countdown, TheLoadShowsTheFirstImageAndAnnouncesTheNext) {
    struct Case {
        int rotate;
        std::string period, status, upNext;
    };
    // clang-format off
    const Case cases[] = {
        {1, "12",  "Your Next Wallpaper Will Show In: 12 Minute(s)",  "C:\\2.jpg"},
        {1, "",    "Your Next Wallpaper Will Show In: 0 Minute(s)",   "C:\\2.jpg"},
        {1, "2.5", "Your Next Wallpaper Will Show In: 2.5 Minute(s)", "C:\\2.jpg"},
        {0, "5",   "Automatic Rotate Disabled",                       ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        Rig rig("TT", c.period);
        rig.rotate = c.rotate;
        rig.countdown.ShowFirstImage();
        rig.countdown.AnnounceAtLoad();
        EXPECT_EQ(rig.calls, Calls{"apply 1"});
        EXPECT_EQ(rig.countdown.CurrentIndex(), 1);
        EXPECT_EQ(rig.Shown().currentlyShowing, "C:\\1.jpg");
        EXPECT_EQ(rig.Shown().status, c.status);
        EXPECT_EQ(rig.Shown().upNext, c.upNext);
    }
}

}  // namespace
}  // namespace tavrino
