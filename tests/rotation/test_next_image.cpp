#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "FakeList.h"
#include "common/TestSupport.h"
#include "rotation/NextImage.h"

namespace tavrino {
namespace {

using rotation::ChooseNextImage;
using rotation::kRandomOrderState;
using rotation::RandomEngine;
using test::FakeList;
using test::FakeMarks;
using test::RecordingReporter;
using test::Row;

FakeList ListWithFlags(const std::vector<std::string>& flags) {
    FakeList list;
    int n = 0;
    for (const std::string& flag : flags) {
        list.rows.push_back({"C:\\img\\" + std::to_string(++n) + ".jpg", flag});
    }
    return list;
}

// ---- Order down the list ----------------------------------------------------------------

struct OrderCase {
    const char* name;
    std::vector<std::string> flags;
    int currentIndex;
    int expected;
};

class ListOrderTest : public testing::TestWithParam<OrderCase> {};

TEST_P(ListOrderTest, TakesTheNextSelectedRowAfterTheCurrentOne) {
    const OrderCase& c = GetParam();
    FakeList list = ListWithFlags(c.flags);
    FakeMarks marks(std::vector<bool>(c.flags.size(), true));
    RandomEngine engine(1);
    RecordingReporter reporter;
    EXPECT_EQ(ChooseNextImage(list, c.currentIndex, 0, marks, engine, reporter), c.expected);
    EXPECT_TRUE(reporter.reports.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ListOrderTest,
    testing::Values(OrderCase{"WrapsFromTheLastRow", {"True", "True", "True"}, 3, 1},
                    OrderCase{"GoesDown", {"True", "True", "True"}, 1, 2},
                    OrderCase{"GoesDownToTheLastRow", {"True", "True", "True"}, 2, 3},
                    OrderCase{"NothingShownYetGivesTheFirst", {"True", "True", "True"}, 0, 1},
                    OrderCase{"SkipsAFalseFlag", {"True", "False", "True"}, 1, 3},
                    OrderCase{"SkipsFalseFlagsWhileWrapping", {"False", "True", "False"}, 2, 2},
                    OrderCase{"FirstSelectedAfterNothingShown", {"False", "0", "True"}, 0, 3},
                    OrderCase{"StaleIndexAfterRemovalWraps", {"True", "True"}, 7, 1},
                    OrderCase{"NegativeIndexStartsAtTheTop", {"False", "True"}, -5, 2},
                    OrderCase{"FlagsInAnyCaseAndNumbers", {"FALSE", "true", "-1"}, 2, 3},
                    OrderCase{"NonZeroNumberIsTrue", {"0", "2", "0"}, 3, 2},
                    OrderCase{"NoSelectedRow", {"False", "0", "false"}, 0, 0},
                    OrderCase{"EmptyList", {}, 0, 0}),
    test::CaseName());

TEST(ListOrderTest, OnlyTheCheckedStateSelectsTheRandomOrder) {
    FakeList list = ListWithFlags({"True", "True", "True"});
    FakeMarks marks({true, true, true});
    RecordingReporter reporter;
    for (const int greyedOrOther : {0, 2, -1}) {
        RandomEngine engine(7);
        EXPECT_EQ(ChooseNextImage(list, 1, greyedOrOther, marks, engine, reporter), 2)
            << "state " << greyedOrOther;
    }
}

TEST(ListOrderTest, StopsAtTheFirstEmptyPath) {
    // Rows past the end of the list are free; whatever they hold is never chosen.
    FakeList list({{"C:\\a.jpg", "False"}, {"", "0"}, {"C:\\orphan.jpg", "True"}});
    FakeMarks marks({false, false, true});
    RecordingReporter reporter;
    RandomEngine engine(3);
    EXPECT_EQ(ChooseNextImage(list, 0, 0, marks, engine, reporter), 0);
    EXPECT_EQ(ChooseNextImage(list, 0, kRandomOrderState, marks, engine, reporter), 0);
}

TEST(ChooseNextImageTest, DamagedFlagIsReportedAndGivesNothing) {
    // Row 1 alone would do, but a flag anywhere that is not a truth value is an error.
    for (const std::string bad : {"maybe", "", "yes"}) {
        FakeList list = ListWithFlags({"True", "True", bad});
        FakeMarks marks({true, true, true});
        RandomEngine engine(5);
        for (const int order : {0, kRandomOrderState}) {
            RecordingReporter reporter;
            EXPECT_EQ(ChooseNextImage(list, 0, order, marks, engine, reporter), 0);
            ASSERT_EQ(reporter.reports.size(), 1U);
            EXPECT_EQ(reporter.reports[0].location, loc::ChooseNextImage);
            EXPECT_EQ(reporter.reports[0].number, errnum::TypeMismatch);
        }
    }
}

TEST(ChooseNextImageTest, NeverWritesTheListOrTheMarks) {
    FakeList list = ListWithFlags({"True", "False", "True"});
    FakeMarks marks({true, false, true});
    const std::vector<Row> rowsBefore = list.rows;
    const std::vector<bool> checksBefore = marks.checks;
    RecordingReporter reporter;
    RandomEngine engine(9);
    (void)ChooseNextImage(list, 1, 0, marks, engine, reporter);
    (void)ChooseNextImage(list, 1, kRandomOrderState, marks, engine, reporter);
    ASSERT_EQ(list.rows.size(), rowsBefore.size());
    for (std::size_t i = 0; i < rowsBefore.size(); ++i) {
        EXPECT_EQ(list.rows[i].path, rowsBefore[i].path);
        EXPECT_EQ(list.rows[i].flag, rowsBefore[i].flag);
    }
    EXPECT_EQ(marks.checks, checksBefore);
}

// ---- Random order ----------------------------------------------------------------------

struct RandomCase {
    const char* name;
    std::vector<std::string> flags;
    std::vector<bool> checks;
    std::set<int> allowed;  // every result must be one of these; {0} means always 0
};

class RandomOrderTest : public testing::TestWithParam<RandomCase> {};

TEST_P(RandomOrderTest, ChoosesOnlyCheckedEntries) {
    const RandomCase& c = GetParam();
    FakeList list = ListWithFlags(c.flags);
    FakeMarks marks(c.checks);
    RandomEngine engine(2024);
    RecordingReporter reporter;
    std::set<int> seen;
    for (int call = 0; call < 400; ++call) {
        seen.insert(ChooseNextImage(list, call % 3, kRandomOrderState, marks, engine, reporter));
    }
    EXPECT_EQ(seen, c.allowed);
    EXPECT_TRUE(reporter.reports.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Marks, RandomOrderTest,
    testing::Values(
        RandomCase{"OneItemChecked", {"True"}, {true}, {1}},
        RandomCase{"OnlyTheMiddleChecked", {"True", "True", "True"}, {false, true, false}, {2}},
        RandomCase{"NoneCheckedGivesNothing", {"True", "True"}, {false, false}, {0}},
        RandomCase{"NoItemsGivesNothing", {"True", "True"}, {}, {0}},
        RandomCase{"CheckedButNoFlagSetGivesNothing", {"False", "0"}, {true, true}, {0}},
        // The check mark decides once some row is selected for display at all.
        RandomCase{
            "CheckedWithFalseFlagWhileAnotherIsSelected", {"True", "False"}, {false, true}, {2}},
        RandomCase{
            "ItemsPastTheListAreIgnored", {"True", "True"}, {true, true, true, true}, {1, 2}},
        RandomCase{"EveryCheckedItemComesUp",
                   {"True", "True", "True", "True"},
                   {true, false, true, true},
                   {1, 3, 4}}),
    test::CaseName());

// Pearson's chi-square of observed counts against equal expected counts.
double ChiSquare(const std::vector<int>& observed) {
    double total = 0;
    for (const int o : observed) {
        total += o;
    }
    const double expected = total / static_cast<double>(observed.size());
    double sum = 0;
    for (const int o : observed) {
        sum += (o - expected) * (o - expected) / expected;
    }
    return sum;
}

TEST(RandomOrderStatistics, EveryCheckedEntryComesUpEquallyOften) {
    // Seven items, five checked; the last checked item is also the last item, where a draw
    // rounded to the nearest item would land only half as often.
    FakeList list = ListWithFlags({"True", "True", "True", "True", "True", "True", "True"});
    FakeMarks marks({true, true, false, true, true, false, true});
    const std::vector<int> checked{1, 2, 4, 5, 7};
    RandomEngine engine(20240611);
    RecordingReporter reporter;
    std::map<int, int> counts;
    constexpr int kDraws = 50000;
    for (int i = 0; i < kDraws; ++i) {
        ++counts[ChooseNextImage(list, 0, kRandomOrderState, marks, engine, reporter)];
    }
    std::vector<int> observed;
    for (const int item : checked) {
        observed.push_back(counts[item]);
    }
    EXPECT_EQ(counts.size(), checked.size()) << "an unchecked item or 0 came up";
    // 4 degrees of freedom: 18.47 is the 0.1 % critical value.
    EXPECT_LT(ChiSquare(observed), 18.47);
    for (const int o : observed) {
        EXPECT_NEAR(o, kDraws / 5, kDraws / 50);
    }
}

TEST(RandomOrderStatistics, TwoCallsInARowAreIndependent) {
    FakeList list = ListWithFlags({"True", "True", "True", "True", "True"});
    FakeMarks marks({true, true, true, true, true});
    RandomEngine engine(77);
    RecordingReporter reporter;
    std::vector<int> pairs(25, 0);
    constexpr int kPairs = 25000;
    int repeats = 0;
    for (int i = 0; i < kPairs; ++i) {
        const int first = ChooseNextImage(list, 0, kRandomOrderState, marks, engine, reporter);
        const int second = ChooseNextImage(list, 0, kRandomOrderState, marks, engine, reporter);
        ASSERT_GE(first, 1);
        ASSERT_GE(second, 1);
        ++pairs[static_cast<std::size_t>((first - 1) * 5 + (second - 1))];
        repeats += first == second ? 1 : 0;
    }
    // 24 degrees of freedom: 51.18 is the 0.1 % critical value.
    EXPECT_LT(ChiSquare(pairs), 51.18);
    EXPECT_NEAR(repeats, kPairs / 5, kPairs / 50);
}

TEST(RandomOrderStatistics, TheSharedGeneratorIsSeededOnce) {
    rotation::RandomEngine& engine = rotation::SharedRandomEngine();
    EXPECT_EQ(&engine, &rotation::SharedRandomEngine());
    // Back-to-back choices (well inside one clock tick) must not keep repeating each other.
    FakeList list = ListWithFlags(std::vector<std::string>(10, "True"));
    FakeMarks marks(std::vector<bool>(10, true));
    RecordingReporter reporter;
    int repeats = 0;
    std::set<int> seen;
    for (int i = 0; i < 200; ++i) {
        const int first = ChooseNextImage(list, 0, kRandomOrderState, marks, engine, reporter);
        const int second = ChooseNextImage(list, 0, kRandomOrderState, marks, engine, reporter);
        repeats += first == second ? 1 : 0;
        seen.insert(first);
    }
    EXPECT_LT(repeats, 60);  // about 20 expected
    EXPECT_EQ(seen.size(), 10U);
}

}  // namespace
}  // namespace tavrino
