// The rotation's rules without widgets: the number readers, the next image, the countdown.
#include <gtest/gtest.h>
#include <climits>
#include <cmath>
#include <limits>
#include <set>

#include "TableList.h"
#include "common/TestSupport.h"
#include "rotation/Countdown.h"
#include "rotation/NumericValue.h"
#include "settings/Options.h"

namespace tavrino {
namespace {

using rotation::CountingStatusText;
using Calls = std::vector<std::string>;

// The typed period is read forgivingly (the number a text begins with, blanks skipped, clamped);
// stored settings strictly (a whole number or TypeMismatch / Overflow).
TEST(NumberReaders, ForgivingReadsTheNumberATextBeginsWithStrictOnlyAWholeNumber) {
    constexpr double kMax = std::numeric_limits<double>::max();
    constexpr double kBad = std::numeric_limits<double>::quiet_NaN();    // TypeMismatch
    constexpr double kTooBig = std::numeric_limits<double>::infinity();  // Overflow
    struct Case {
        std::string text;
        double forgiving, strict;
    };
    // clang-format off
    const Case cases[] = {
        {"007", 7, 7},        {"", 0, kBad},         {"abc", 0, kBad},       {"e5", 0, kBad},
        {"2abc", 2, kBad},    {"1,5", 1, kBad},      {"1.5.3", 1.5, kBad},   {"-3", -3, -3},
        {"+4", 4, 4},         {".5", 0.5, 0.5},      {"1E-2", 0.01, 0.01},   {"1e+", 1, kBad},
        {"\t1\t2", 12, kBad}, {" 12\t", 12, 12},     {"1 2", 12, kBad},      {"- 5", -5, kBad},
        {"\n7", 7, kBad},
        {"1e999", kMax, kTooBig}, {"-1e999", -kMax, kTooBig}, {"1e-999", 0, kTooBig},
        {std::string(400, '9'), kMax, kTooBig}, {"1" + std::string(399, '0') + "e-390", 1e9, 1e9},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.text.substr(0, 40) + "\"");
        EXPECT_DOUBLE_EQ(NumericValue(c.text), c.forgiving);
        double strict = 0;
        try {
            strict = ParseStoredNumber(c.text);
        } catch (const Error& error) {
            strict = error.Number() == errnum::Overflow ? kTooBig : kBad;
        }
        EXPECT_TRUE(strict == c.strict || (std::isnan(strict) && std::isnan(c.strict))) << strict;
    }
}

TEST(ChooseNextImage, TakesTheNextSelectedRowOrACheckedItemAtRandom) {
    struct Case {
        const char *flags, *marks;  // see TableList and FakeMarks
        int currentIndex, randomState;
        std::set<int> results;  // of many calls, together
    };
    // clang-format off
    const Case cases[] = {
        {"TTT", "xxx", 3, 0, {1}},  {"TTT", "xxx", 0, 0, {1}},  {"TFT", "xxx", 1, 0, {3}},
        {"FTF", "xxx", 2, 0, {2}},  {"TT", "xx", 7, 0, {1}},    {"FT", "xx", -5, 0, {2}},   // stale indexes wrap
        {"FFF", "xxx", 0, 0, {0}},  {"", "", 0, 0, {0}},
        {"TTT", "x--", 1, 2, {2}},  // only the checked state 1 selects the random order
        {"TTT", "-x-", 0, 1, {2}},  {"TT", "--", 0, 1, {0}},    {"FF", "xx", 0, 1, {0}},
        {"TF", "-x", 0, 1, {2}},    {"TT", "xxxx", 0, 1, {1, 2}},
        {"TTTT", "x-xx", 2, 1, {1, 3, 4}},
        {"TT!", "xxx", 0, 0, {0}},  {"TT!", "xxx", 0, 1, {0}},  // reported, and 0
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.flags) + " " + c.marks + " from " +
                     std::to_string(c.currentIndex) + " state " + std::to_string(c.randomState));
        const test::TableList list(c.flags);
        const test::FakeMarks marks(c.marks);
        rotation::RandomEngine engine(2024);
        test::RecordingReporter reporter;
        std::set<int> seen;
        for (int call = 0; call < 200; ++call) {
            seen.insert(rotation::ChooseNextImage(list.view, c.currentIndex, c.randomState, marks,
                                                  engine, reporter));
        }
        EXPECT_EQ(seen, c.results);
        const bool fails = std::string(c.flags).find('!') != std::string::npos;
        EXPECT_EQ(reporter.Locations(), std::vector<int>(fails ? 200 : 0, loc::ChooseNextImage));
    }
}

TEST(ChooseNextImage, EveryCheckedItemComesUpEquallyOften) {
    // The last checked item is the last item, where a draw rounded to the nearest item would
    // land only half as often.
    const test::TableList list("TTTTTTT");
    const test::FakeMarks marks("xx-xx-x");
    rotation::RandomEngine engine(20240611);
    test::RecordingReporter reporter;
    std::map<int, int> counts;
    constexpr int kDraws = 50000;
    for (int i = 0; i < kDraws; ++i) {
        ++counts[ChooseNextImage(list.view, 0, rotation::kRandomOrderState, marks, engine,
                                 reporter)];
    }
    ASSERT_EQ(counts.size(), 5U) << "an unchecked item or 0 came up";
    double chiSquare = 0;
    for (const auto& [item, observed] : counts) {
        chiSquare += (observed - kDraws / 5.0) * (observed - kDraws / 5.0) / (kDraws / 5.0);
    }
    EXPECT_LT(chiSquare, 18.47);  // 4 degrees of freedom, 0.1 % critical value
}

// A countdown over plain variables, recording "compose <path>" and "apply <CurrentIndex>".
struct Rig {
    explicit Rig(const std::string& flags, std::string minutes = "5")
        : list(flags), marks(std::string(flags.size(), 'x')), period(std::move(minutes)) {
        countdown.ShowFirstImage();  // the main window's load; the calls it made are forgotten
        countdown.AnnounceAtLoad();
        calls.clear();
    }
    // Ticks n times, or with stopAtChange until the first change; returns the ticks made.
    int Ticks(int n, bool stopAtChange = false) {
        int i = 0;
        for (const std::size_t before = calls.size();
             i < n && !(stopAtChange && calls.size() != before); ++i) {
            countdown.Tick();
        }
        return i;
    }
    [[nodiscard]] const rotation::RotationDisplay& Shown() const { return countdown.Display(); }

    test::TableList list;
    test::FakeMarks marks;
    rotation::RandomEngine engine{99};
    test::RecordingReporter reporter;
    std::string period;
    Calls calls;
    std::function<void()> duringApply = [] {};
    rotation::Countdown countdown{
        list.view, marks, engine, reporter,
        rotation::Countdown::Hooks{
            .rotateState = [] { return 1; },
            .randomState = {},
            .periodText = [this] { return period; },
            .setPeriodText = [this](const std::string& text) { period = text; },
            .composeWallpaper =
                [this](const std::string& path) { calls.push_back("compose " + path); },
            .applyWallpaper =
                [this] {
                    calls.push_back("apply " + std::to_string(countdown.CurrentIndex()));
                    duringApply();
                },
            .displayChanged = {}}};
};

TEST(Countdown, FiveMinutesCountDownInRoundedMinutesAndChangeAtTheThreeHundredthTick) {
    Rig rig("TTT");
    ASSERT_EQ(rig.Shown().upNext, "C:\\2.jpg");
    int ticks = 0;
    for (const auto& [tick, minutes] : std::vector<std::pair<int, long long>>{
             {1, 5}, {30, 5}, {31, 4}, {270, 1}, {271, 0}, {299, 0}}) {
        ticks += rig.Ticks(tick - ticks);
        EXPECT_EQ(rig.Shown().status, CountingStatusText(minutes)) << tick;
        EXPECT_EQ(rig.Shown().progressValue, tick);
        EXPECT_EQ(rig.Shown().progressMaximum, 300);
    }
    EXPECT_TRUE(rig.calls.empty()) << "changed before the period passed";
    rig.Ticks(1);
    EXPECT_EQ(rig.calls, (Calls{"compose C:\\2.jpg", "apply 2"}));
    EXPECT_EQ(rig.Shown().currentlyShowing + rig.Shown().upNext, "C:\\2.jpgC:\\3.jpg");
    EXPECT_EQ(rig.Shown().status, "Your Next Wallpaper Will Show In: 5 Minute(s)");
    EXPECT_EQ(rig.Shown().progressValue, 0);
}

TEST(Countdown, ThePeriodBoxIsReadAtEveryTickAndMendedWhenNotPositive) {
    struct Case {
        std::string text, textAfterFirstTick;
        long long minutesAfterFirstTick;
        int maximum;  // of the progress bar, also the tick of the change
    };
    // clang-format off
    const Case cases[] = {
        {"", "1", 1, 60}, {"abc", "1", 1, 60}, {"-3", "1", 1, 60}, {"2abc", "2abc", 2, 120}, {"0.5", "0.5", 0, 30},
        {"99999999999999", "99999999999999", (INT_MAX - 1LL + 30) / 60, INT_MAX},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Rig rig("TT", c.text);
        rig.Ticks(1);
        EXPECT_EQ(rig.period, c.textAfterFirstTick);
        EXPECT_EQ(rig.Shown().status, CountingStatusText(c.minutesAfterFirstTick));
        EXPECT_EQ(rig.Shown().progressMaximum, c.maximum);
        if (c.maximum == INT_MAX) {
            rig.Ticks(99);
            rig.period = "1";  // lowered below the count: the change comes at the next tick
        }
        EXPECT_EQ(rig.Ticks(c.maximum, true), c.maximum == INT_MAX ? 1 : c.maximum - 1);
    }
}

TEST(Countdown, TheAnnouncedPathIsLookedUpAtTheChange) {
    // clang-format off
    const std::tuple<std::vector<library::DisplayEntry>, std::string, int> cases[] = {  // rows then, showing, row
        {{{"C:\\1.jpg", "1"}, {"C:\\2.jpg", "1"}, {"C:\\3.jpg", "1"}}, "C:\\2.jpg", 2},
        {{{"C:\\1.jpg", "1"}, {"C:\\3.jpg", "1"}},                     "C:\\3.jpg", 2},  // announced removed
        {{{"C:\\2.jpg", "1"}, {"C:\\3.jpg", "1"}},                     "C:\\2.jpg", 1},  // moved up
        {{{"C:\\1.jpg", "1"}, {"C:\\2.jpg", "0"}, {"C:\\3.jpg", "1"}}, "C:\\2.jpg", 2},  // flag now false
        {{{"C:\\1.jpg", "1"}, {"C:\\2.JPG", "1"}, {"C:\\3.jpg", "1"}}, "C:\\2.JPG", 2},  // other letter case
        {{{"C:\\x", "maybe"}},                                         "",          0},  // nothing selected
    };
    // clang-format on
    for (const auto& [rowsAtChange, showing, row] : cases) {
        SCOPED_TRACE(showing);
        Rig rig("TTT", "1");  // showing row 1, announcing C:\2.jpg
        rig.list.table.Assign(rowsAtChange);
        rig.Ticks(60);
        EXPECT_EQ(rig.Shown().currentlyShowing, showing);
        EXPECT_EQ(rig.calls, (Calls{"compose " + showing, "apply " + std::to_string(row)}));
    }
}

TEST(Countdown, OneChangeRunsAtATimeAndAFailureInsideItIsReported) {
    Rig rig("TTT", "1");
    rig.Ticks(59);
    bool nestedShow = true, nestedChange = true;
    int applies = 0;
    rig.duringApply = [&] {
        if (applies++ > 0) {
            throw Error(errnum::FileNotFound);
        }
        rig.countdown.Tick();  // a message box inside the wallpaper code lets the due tick in
        nestedShow = rig.countdown.ShowNow("C:\\1.jpg");
        nestedChange = rig.countdown.ChangeNow();
    };
    EXPECT_TRUE(rig.countdown.ShowNow("C:\\3.jpg"));  // shows row 3 at once, without a compose
    EXPECT_FALSE(nestedShow || nestedChange);
    EXPECT_EQ(rig.calls, Calls{"apply 3"});
    EXPECT_EQ(rig.countdown.ElapsedSeconds(), 59);
    rig.Ticks(1);  // the scheduled change still comes on time, with the announced image
    EXPECT_EQ(rig.calls, (Calls{"apply 3", "compose C:\\2.jpg", "apply 2"}));
    EXPECT_EQ(rig.reporter.Locations(), std::vector<int>{loc::TmrShowNextTick});
    EXPECT_EQ(rig.Shown().currentlyShowing, "C:\\2.jpg");
    rig.Ticks(1);
    EXPECT_EQ(rig.countdown.ElapsedSeconds(), 1) << "the count goes on";
}

}  // namespace
}  // namespace tavrino
