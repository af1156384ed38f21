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
using rotation::kStatusNoImages;
using rotation::kStatusRotateDisabled;
using test::FakeList;
using test::FakeMarks;
using test::ListOf;
using test::RecordingReporter;

// A countdown wired to plain variables: the option boxes, the period box and the wallpaper
// calls, which it records with the tick they happened at.
class Rig {
public:
    explicit Rig(std::vector<std::string> paths, std::string periodText = "5")
        : list(ListOf(paths)),
          marks(std::vector<bool>(paths.size(), true)),
          period(std::move(periodText)),
          countdown(list, marks, engine, reporter, Hooks()) {}

    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    // The main window's load with a non-empty list and rotation on.
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

    FakeList list;
    FakeMarks marks;
    rotation::RandomEngine engine{99};
    RecordingReporter reporter;
    int rotate = 1;
    int random = 0;
    std::string period;
    std::vector<std::string> periodSets;
    std::vector<std::string> calls;     // "compose <path>" / "apply <CurrentIndex>"
    std::vector<int> composeTicks;      // tick numbers of the compose calls
    std::function<void()> duringApply;  // runs inside the apply call
    int tick = 0;
    int publishes = 0;
    rotation::Countdown countdown;

private:
    rotation::Countdown::Hooks Hooks() {
        rotation::Countdown::Hooks hooks;
        hooks.rotateState = [this] { return rotate; };
        hooks.randomState = [this] { return random; };
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
        hooks.displayChanged = [this] { ++publishes; };
        return hooks;
    }
};

// ---- The five-minute countdown ------------------------------------------------------------

struct CountStep {
    int afterTick;
    long long minutes;
    int progress;
};

TEST(CountdownTest, FiveMinutePeriodCountsDownAndChangesAtTheEnd) {
    Rig rig({"C:\\a.jpg", "C:\\b.jpg", "C:\\c.jpg"});
    rig.Load();
    ASSERT_EQ(rig.countdown.CurrentIndex(), 1);
    ASSERT_EQ(rig.Shown().upNext, "C:\\b.jpg");

    const std::vector<CountStep> steps{{1, 5, 1},     {30, 5, 30},   {31, 4, 31},
                                       {270, 1, 270}, {271, 0, 271}, {299, 0, 299}};
    for (const CountStep& step : steps) {
        rig.Ticks(step.afterTick - rig.tick);
        EXPECT_EQ(rig.Shown().status, CountingStatusText(step.minutes))
            << "tick " << step.afterTick;
        EXPECT_EQ(rig.Shown().progressValue, step.progress) << "tick " << step.afterTick;
        EXPECT_EQ(rig.Shown().progressMaximum, 300);
        EXPECT_EQ(rig.countdown.State(), CountdownState::Counting);
    }
    EXPECT_TRUE(rig.calls.empty()) << "changed before the period passed";

    rig.Ticks(1);  // the 300th
    EXPECT_EQ(rig.calls, (std::vector<std::string>{"compose C:\\b.jpg", "apply 2"}));
    EXPECT_EQ(rig.Shown().currentlyShowing, "C:\\b.jpg");
    EXPECT_EQ(rig.countdown.CurrentIndex(), 2);
    EXPECT_EQ(rig.Shown().upNext, "C:\\c.jpg");
    EXPECT_EQ(rig.Shown().status, "Your Next Wallpaper Will Show In: 5 Minute(s)");
    EXPECT_EQ(rig.Shown().progressValue, 0);
    EXPECT_EQ(rig.Shown().progressMaximum, 300);
    EXPECT_EQ(rig.countdown.ElapsedSeconds(), 0);
    EXPECT_TRUE(rig.reporter.reports.empty());
}

TEST(CountdownTest, OneMinutePeriodChangesEverySixtiethTickGoingRoundTheList) {
    Rig rig({"C:\\a.jpg", "C:\\b.jpg", "C:\\c.jpg"}, "1");
    rig.Load();
    rig.Ticks(180);
    EXPECT_EQ(rig.composeTicks, (std::vector<int>{60, 120, 180}));
    EXPECT_EQ(rig.calls,
              (std::vector<std::string>{"compose C:\\b.jpg", "apply 2", "compose C:\\c.jpg",
                                        "apply 3", "compose C:\\a.jpg", "apply 1"}));
}

// ---- The period box -----------------------------------------------------------------------

struct PeriodCase {
    const char* name;
    std::string text;
    std::string textAfterFirstTick;
    int changeTick;  // first tick that changes the wallpaper
    long long minutesAfterFirstTick;
};

class PeriodTextTest : public testing::TestWithParam<PeriodCase> {};

TEST_P(PeriodTextTest, PeriodIsReadFromTheBoxAtEveryTick) {
    const PeriodCase& c = GetParam();
    Rig rig({"C:\\a.jpg", "C:\\b.jpg"}, c.text);
    rig.Load();
    rig.Ticks(1);
    EXPECT_EQ(rig.period, c.textAfterFirstTick);
    if (c.changeTick > 1) {
        EXPECT_EQ(rig.Shown().status, CountingStatusText(c.minutesAfterFirstTick));
    }
    rig.Ticks(c.changeTick - 1);
    ASSERT_FALSE(rig.composeTicks.empty());
    EXPECT_EQ(rig.composeTicks.front(), c.changeTick);
}

INSTANTIATE_TEST_SUITE_P(Texts, PeriodTextTest,
                         testing::Values(PeriodCase{"Empty", "", "1", 60, 1},
                                         PeriodCase{"Zero", "0", "1", 60, 1},
                                         PeriodCase{"NotANumber", "abc", "1", 60, 1},
                                         PeriodCase{"PastedTwoAbc", "2abc", "2abc", 120, 2},
                                         PeriodCase{"Negative", "-3", "1", 60, 1},
                                         PeriodCase{"HalfAMinute", "0.5", "0.5", 30, 0},
                                         PeriodCase{"TwoMinutes", "2", "2", 120, 2}),
                         test::CaseName());

TEST(CountdownTest, ValidPeriodIsNeverRewritten) {
    Rig rig({"C:\\a.jpg"}, "3");
    rig.Load();
    rig.Ticks(200);
    EXPECT_TRUE(rig.periodSets.empty());
}

TEST(CountdownTest, LoweringThePeriodBelowTheCountChangesAtTheNextTick) {
    Rig rig({"C:\\a.jpg", "C:\\b.jpg"});
    rig.Load();
    rig.Ticks(100);
    rig.period = "1";
    rig.Ticks(1);
    EXPECT_EQ(rig.composeTicks, std::vector<int>{101});
    EXPECT_EQ(rig.countdown.ElapsedSeconds(), 0);
    EXPECT_EQ(rig.Shown().status, CountingStatusText(1));
    EXPECT_EQ(rig.Shown().progressMaximum, 60);
}

TEST(CountdownTest, HugePeriodIsHeldWithinTheCounter) {
    Rig rig({"C:\\a.jpg"}, "99999999999999");
    rig.Load();
    rig.Ticks(2);
    EXPECT_EQ(rig.Shown().progressMaximum, INT_MAX);
    EXPECT_EQ(rig.Shown().progressValue, 2);
    EXPECT_EQ(rig.Shown().status, CountingStatusText((INT_MAX - 2LL + 30) / 60));
    EXPECT_TRUE(rig.calls.empty());
}

// ---- Off and empty --------------------------------------------------------------------------

TEST(CountdownTest, RotationOffFreezesTheCountAndDropsTheAnnouncement) {
    Rig rig({"C:\\a.jpg", "C:\\b.jpg", "C:\\c.jpg"});
    rig.Load();
    rig.Ticks(10);
    const int maximum = rig.Shown().progressMaximum;

    rig.rotate = 0;
    rig.Ticks(50);
    EXPECT_EQ(rig.countdown.State(), CountdownState::Off);
    EXPECT_EQ(rig.countdown.ElapsedSeconds(), 10);
    EXPECT_EQ(rig.Shown().status, kStatusRotateDisabled);
    EXPECT_EQ(rig.Shown().upNext, "");
    EXPECT_EQ(rig.Shown().progressValue, 0);
    EXPECT_EQ(rig.Shown().progressMaximum, maximum);
    EXPECT_EQ(rig.Shown().currentlyShowing, "C:\\a.jpg");

    rig.rotate = 1;
    rig.Ticks(1);
    EXPECT_EQ(rig.countdown.ElapsedSeconds(), 11);
    EXPECT_EQ(rig.Shown().status, CountingStatusText(5));  // 289 s is 4.8 minutes
    // The announcement went while off, so the change makes a fresh choice after row 1.
    rig.Ticks(288);
    EXPECT_TRUE(rig.calls.empty());
    rig.Ticks(1);  // the count reaches 300
    EXPECT_EQ(rig.calls, (std::vector<std::string>{"compose C:\\b.jpg", "apply 2"}));
    EXPECT_EQ(rig.Shown().upNext, "C:\\c.jpg");
}

TEST(CountdownTest, GreyedRotateBoxIsNotOn) {
    Rig rig({"C:\\a.jpg"});
    rig.Load();
    rig.rotate = 2;
    rig.Ticks(3);
    EXPECT_EQ(rig.countdown.State(), CountdownState::Off);
    EXPECT_EQ(rig.countdown.ElapsedSeconds(), 0);
}

TEST(CountdownTest, EmptyListClearsTheLabelsAndFreezesTheCount) {
    Rig rig({"C:\\a.jpg", "C:\\b.jpg"});
    rig.Load();
    rig.Ticks(7);
    rig.list.rows.clear();
    rig.Ticks(20);
    EXPECT_EQ(rig.countdown.State(), CountdownState::Empty);
    EXPECT_EQ(rig.Shown().status, kStatusNoImages);
    EXPECT_EQ(rig.Shown().currentlyShowing, "");
    EXPECT_EQ(rig.Shown().upNext, "");
    EXPECT_EQ(rig.Shown().progressMaximum, 1);
    EXPECT_EQ(rig.Shown().progressValue, 0);
    EXPECT_EQ(rig.countdown.ElapsedSeconds(), 7);
    EXPECT_EQ(rig.countdown.CurrentIndex(), 1);
    EXPECT_TRUE(rig.calls.empty());
}

TEST(CountdownTest, EmptyListFromTheStart) {
    Rig rig({});
    rig.countdown.ShowFirstImage();
    rig.countdown.AnnounceAtLoad();
    EXPECT_EQ(rig.countdown.CurrentIndex(), 0);
    EXPECT_TRUE(rig.calls.empty()) << "the wallpaper is not touched with an empty list";
    rig.Ticks(400);
    EXPECT_EQ(rig.Shown().status, kStatusNoImages);
    EXPECT_TRUE(rig.calls.empty());
}

// ---- Which row a due change goes to ---------------------------------------------------------

struct DueCase {
    const char* name;
    std::vector<test::Row> rowsAtChange;  // the list as edited after the load
    std::string expectedShowing;
    int expectedIndex;
};

class DueChangeTest : public testing::TestWithParam<DueCase> {};

TEST_P(DueChangeTest, AnnouncedPathIsLookedUpAtTheChange) {
    const DueCase& c = GetParam();
    Rig rig({"C:\\a.jpg", "C:\\b.jpg", "C:\\c.jpg"}, "1");
    rig.Load();  // showing row 1, announcing C:\b.jpg
    rig.list.rows = c.rowsAtChange;
    rig.marks.checks.assign(c.rowsAtChange.size(), true);
    rig.Ticks(60);
    EXPECT_EQ(rig.Shown().currentlyShowing, c.expectedShowing);
    EXPECT_EQ(rig.countdown.CurrentIndex(), c.expectedIndex);
    ASSERT_FALSE(rig.calls.empty());
    EXPECT_EQ(rig.calls.front(), "compose " + c.expectedShowing);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, DueChangeTest,
    testing::Values(
        DueCase{"Unchanged", {{"C:\\a.jpg"}, {"C:\\b.jpg"}, {"C:\\c.jpg"}}, "C:\\b.jpg", 2},
        // Removed: a fresh choice after the current row 1, which now holds C:\c.jpg after it.
        DueCase{"AnnouncedRemoved", {{"C:\\a.jpg"}, {"C:\\c.jpg"}}, "C:\\c.jpg", 2},
        DueCase{"AnnouncedMovedUp", {{"C:\\b.jpg"}, {"C:\\c.jpg"}}, "C:\\b.jpg", 1},
        // The announcement stands whatever its flag became.
        DueCase{"AnnouncedFlagCleared",
                {{"C:\\a.jpg"}, {"C:\\b.jpg", "False"}, {"C:\\c.jpg"}},
                "C:\\b.jpg",
                2},
        DueCase{"OtherLetterCaseIsAnotherPath",
                {{"C:\\a.jpg"}, {"C:\\B.JPG"}, {"C:\\c.jpg"}},
                "C:\\B.JPG",
                2},
        // Nothing selected at all: the change goes to row 0.
        DueCase{"NothingSelected", {{"C:\\x.jpg", "False"}}, "", 0}),
    test::CaseName());

TEST(CountdownTest, ChangeToNothingClearsTheLabelsAndStillRuns) {
    Rig rig({"C:\\a.jpg", "C:\\b.jpg"}, "1");
    rig.Load();
    for (test::Row& row : rig.list.rows) {
        row.flag = "False";
    }
    rig.list.rows[1].path = "C:\\gone.jpg";  // the announcement is no longer in the list
    rig.Ticks(60);
    EXPECT_EQ(rig.calls, (std::vector<std::string>{"compose ", "apply 0"}));
    EXPECT_EQ(rig.Shown().upNext, "");
    EXPECT_EQ(rig.Shown().currentlyShowing, "");
    EXPECT_EQ(rig.Shown().status, CountingStatusText(1));
}

TEST(CountdownTest, RandomOrderAnnouncesACheckedEntry) {
    Rig rig({"C:\\a.jpg", "C:\\b.jpg", "C:\\c.jpg"}, "1");
    rig.random = rotation::kRandomOrderState;
    rig.marks.checks = {false, false, true};
    rig.Load();
    EXPECT_EQ(rig.countdown.CurrentIndex(), 3);
    EXPECT_EQ(rig.Shown().upNext, "C:\\c.jpg");
    rig.Ticks(60);
    EXPECT_EQ(rig.calls, (std::vector<std::string>{"compose C:\\c.jpg", "apply 3"}));
}

// ---- Failures and re-entry ----------------------------------------------------------------

TEST(CountdownTest, FailureInsideAChangeIsReportedAndTheCountGoesOn) {
    Rig rig({"C:\\a.jpg", "C:\\b.jpg"}, "1");
    rig.Load();
    int failures = 0;
    // A throwing apply stands for any unexpected failure inside the change.
    rig.duringApply = [&] {
        ++failures;
        throw Error(errnum::FileNotFound);
    };
    rig.Ticks(60);
    ASSERT_EQ(rig.reporter.reports.size(), 1U);
    EXPECT_EQ(rig.reporter.reports[0].location, loc::TmrShowNextTick);
    EXPECT_EQ(rig.reporter.reports[0].number, errnum::FileNotFound);
    // Labels and index were set before the failure and stay.
    EXPECT_EQ(rig.countdown.CurrentIndex(), 2);
    EXPECT_EQ(rig.Shown().currentlyShowing, "C:\\b.jpg");
    EXPECT_FALSE(rig.countdown.Changing());
    rig.Ticks(1);
    EXPECT_EQ(rig.countdown.ElapsedSeconds(), 1);
    EXPECT_EQ(failures, 1);
}

TEST(CountdownTest, TickArrivingDuringAChangeIsSkipped) {
    Rig rig({"C:\\a.jpg", "C:\\b.jpg", "C:\\c.jpg"}, "1");
    rig.Load();
    int nested = 0;
    rig.duringApply = [&] {
        // A message box inside the wallpaper code lets timer ticks run.
        for (int i = 0; i < 120; ++i) {
            rig.countdown.Tick();
            ++nested;
        }
    };
    rig.Ticks(60);
    EXPECT_EQ(nested, 120);
    EXPECT_EQ(rig.composeTicks, std::vector<int>{60});
    EXPECT_EQ(rig.countdown.ElapsedSeconds(), 0);
    EXPECT_EQ(rig.Shown().upNext, "C:\\c.jpg");
}

TEST(CountdownTest, ShowNowIsOneChangeAtATimeToo) {
    Rig rig({"C:\\a.jpg", "C:\\b.jpg", "C:\\c.jpg"}, "1");
    rig.Load();
    rig.Ticks(59);
    bool nestedShow = true;
    bool nestedChange = true;
    bool once = true;
    rig.duringApply = [&] {
        if (!std::exchange(once, false)) {
            return;
        }
        rig.countdown.Tick();  // would be the due tick
        nestedShow = rig.countdown.ShowNow("C:\\a.jpg");
        nestedChange = rig.countdown.ChangeNow();
    };
    EXPECT_TRUE(rig.countdown.ShowNow("C:\\c.jpg"));
    EXPECT_FALSE(nestedShow);
    EXPECT_FALSE(nestedChange);
    EXPECT_EQ(rig.calls, std::vector<std::string>{"apply 3"});
    EXPECT_EQ(rig.countdown.ElapsedSeconds(), 59);
    rig.Ticks(1);  // the due tick, once nothing else is running
    EXPECT_EQ(rig.calls.back(), "apply 2");
}

// ---- Show now and change now -----------------------------------------------------------------

TEST(CountdownTest, ShowNowLeavesTheCountdownAndTheAnnouncementAlone) {
    Rig rig({"C:\\a.jpg", "C:\\b.jpg", "C:\\c.jpg"});
    rig.Load();
    rig.Ticks(10);
    const rotation::RotationDisplay before = rig.Shown();

    EXPECT_TRUE(rig.countdown.ShowNow("C:\\c.jpg"));
    EXPECT_EQ(rig.calls, std::vector<std::string>{"apply 3"});  // no compose of its own
    EXPECT_EQ(rig.countdown.CurrentIndex(), 3);
    EXPECT_EQ(rig.Shown().currentlyShowing, "C:\\c.jpg");
    EXPECT_EQ(rig.Shown().upNext, before.upNext);
    EXPECT_EQ(rig.Shown().status, before.status);
    EXPECT_EQ(rig.Shown().progressValue, before.progressValue);
    EXPECT_EQ(rig.Shown().progressMaximum, before.progressMaximum);
    EXPECT_EQ(rig.countdown.ElapsedSeconds(), 10);

    // The scheduled change still comes on time, with the image announced before.
    rig.Ticks(290);
    EXPECT_EQ(rig.calls.back(), "apply 2");
    EXPECT_EQ(rig.composeTicks, std::vector<int>{300});
}

struct ShowNowCase {
    const char* name;
    std::vector<std::string> paths;
    std::string itemText;
    bool shown;
    int index;
};

class ShowNowTest : public testing::TestWithParam<ShowNowCase> {};

TEST_P(ShowNowTest, FindsTheItemByItsExactPath) {
    const ShowNowCase& c = GetParam();
    Rig rig(c.paths);
    rig.countdown.SetCurrentIndex(0);
    EXPECT_EQ(rig.countdown.ShowNow(c.itemText), c.shown);
    EXPECT_EQ(rig.countdown.CurrentIndex(), c.index);
    EXPECT_EQ(rig.calls.size(), c.shown ? 1U : 0U);
}

INSTANTIATE_TEST_SUITE_P(
    Items, ShowNowTest,
    testing::Values(ShowNowCase{"Found", {"C:\\a.jpg", "C:\\b.jpg"}, "C:\\b.jpg", true, 2},
                    ShowNowCase{
                        "FirstOfTwoCopies", {"C:\\a.jpg", "C:\\a.jpg"}, "C:\\a.jpg", true, 1},
                    ShowNowCase{"CaseDiffers", {"C:\\a.jpg"}, "C:\\A.jpg", false, 0},
                    ShowNowCase{"NotInList", {"C:\\a.jpg"}, "C:\\z.jpg", false, 0},
                    ShowNowCase{"EmptyList", {}, "C:\\a.jpg", false, 0},
                    ShowNowCase{"EmptyText", {"C:\\a.jpg"}, "", false, 0}),
    test::CaseName());

TEST(CountdownTest, ChangeNowMakesTheScheduledChangeAndRestartsTheCount) {
    Rig rig({"C:\\a.jpg", "C:\\b.jpg", "C:\\c.jpg"});
    rig.Load();
    rig.Ticks(42);
    EXPECT_TRUE(rig.countdown.ChangeNow());
    EXPECT_EQ(rig.calls, (std::vector<std::string>{"compose C:\\b.jpg", "apply 2"}));
    EXPECT_EQ(rig.countdown.ElapsedSeconds(), 0);
    EXPECT_EQ(rig.Shown().upNext, "C:\\c.jpg");
    EXPECT_EQ(rig.Shown().status, CountingStatusText(5));
}

TEST(CountdownTest, ChangeNowWhileRotationIsOffShowsNothingScheduled) {
    Rig rig({"C:\\a.jpg", "C:\\b.jpg"});
    rig.rotate = 0;
    rig.Load();
    rig.Ticks(3);
    EXPECT_TRUE(rig.countdown.ChangeNow());
    EXPECT_EQ(rig.countdown.CurrentIndex(), 2);
    EXPECT_EQ(rig.Shown().upNext, "");
    EXPECT_EQ(rig.Shown().status, kStatusRotateDisabled);
    EXPECT_EQ(rig.Shown().progressValue, 0);
}

TEST(CountdownTest, ChangeNowWithAnEmptyListDoesNothing) {
    Rig rig({});
    EXPECT_FALSE(rig.countdown.ChangeNow());
    EXPECT_TRUE(rig.calls.empty());
}

// ---- The load -------------------------------------------------------------------------------

struct LoadCase {
    const char* name;
    int rotate;
    std::string period;
    std::string status;
    std::string upNext;
};

class LoadTest : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadTest, ShowsTheFirstImageAndAnnouncesTheNext) {
    const LoadCase& c = GetParam();
    Rig rig({"C:\\a.jpg", "C:\\b.jpg"}, c.period);
    rig.rotate = c.rotate;
    rig.countdown.ShowFirstImage();
    EXPECT_EQ(rig.countdown.CurrentIndex(), 1);
    EXPECT_EQ(rig.Shown().currentlyShowing, "C:\\a.jpg");
    EXPECT_EQ(rig.calls, std::vector<std::string>{"apply 1"});
    rig.countdown.AnnounceAtLoad();
    EXPECT_EQ(rig.Shown().status, c.status);
    EXPECT_EQ(rig.Shown().upNext, c.upNext);
    EXPECT_EQ(rig.countdown.CurrentIndex(), 1) << "the announcement does not move the index";
    EXPECT_EQ(rig.calls.size(), 1U);
    EXPECT_GT(rig.publishes, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Options, LoadTest,
    testing::Values(
        LoadCase{"Twelve", 1, "12", "Your Next Wallpaper Will Show In: 12 Minute(s)", "C:\\b.jpg"},
        LoadCase{"EmptyText", 1, "", "Your Next Wallpaper Will Show In: 0 Minute(s)", "C:\\b.jpg"},
        LoadCase{"Fraction", 1, "2.5", "Your Next Wallpaper Will Show In: 2.5 Minute(s)",
                 "C:\\b.jpg"},
        LoadCase{"RotationOff", 0, "5", "Automatic Rotate Disabled", ""}),
    test::CaseName());

// ---- Helpers ---------------------------------------------------------------------------------

struct MinutesCase {
    double period;
    int elapsed;
    long long minutes;
};

class MinutesLeftTest : public testing::TestWithParam<MinutesCase> {};

TEST_P(MinutesLeftTest, RoundsHalvesAwayFromZero) {
    EXPECT_EQ(rotation::MinutesLeft(GetParam().period, GetParam().elapsed), GetParam().minutes);
}

INSTANTIATE_TEST_SUITE_P(Values, MinutesLeftTest,
                         testing::Values(MinutesCase{300, 30, 5}, MinutesCase{300, 31, 4},
                                         MinutesCase{300, 270, 1}, MinutesCase{300, 271, 0},
                                         MinutesCase{90, 0, 2}, MinutesCase{150, 0, 3},
                                         MinutesCase{60, 90, -1}, MinutesCase{60, 150, -2}));

TEST(PeriodSecondsTest, NoPositivePeriodCountsAsOneMinute) {
    EXPECT_DOUBLE_EQ(rotation::PeriodSeconds(0.0), 60.0);
    EXPECT_DOUBLE_EQ(rotation::PeriodSeconds(-4.0), 60.0);
    EXPECT_DOUBLE_EQ(rotation::PeriodSeconds(2.5), 150.0);
    EXPECT_DOUBLE_EQ(rotation::PeriodSeconds(1e300), rotation::kLongestPeriodSeconds);
    EXPECT_EQ(rotation::ProgressMaximum(0.06), 1);
    EXPECT_EQ(rotation::ProgressMaximum(299.5), 300);
}

}  // namespace
}  // namespace tavrino
