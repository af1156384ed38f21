#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "FakeList.h"
#include "common/TestSupport.h"
#include "rotation/NextImage.h"

namespace tavrino {
namespace {

using rotation::ChooseNextImage;
using rotation::kRandomOrderState;

struct Case {
    const char* flags;  // see ListOf
    const char* marks;  // see FakeMarks
    int currentIndex;
    int randomState;
    std::set<int> results;  // every result of many calls, together
};

TEST(ChooseNextImage, TakesTheNextSelectedRowOrACheckedItemAtRandom) {
    // clang-format off
    const Case cases[] = {
        // Down the list: the next selected row after the current one, wrapping to row 1.
        {"TTT",  "xxx",  3,  0, {1}},
        {"TTT",  "xxx",  1,  0, {2}},
        {"TTT",  "xxx",  0,  0, {1}},
        {"TFT",  "xxx",  1,  0, {3}},
        {"FTF",  "xxx",  2,  0, {2}},
        {"TT",   "xx",   7,  0, {1}},   // a stale index after a removal wraps
        {"FT",   "xx",   -5, 0, {2}},
        {"FFF",  "xxx",  0,  0, {0}},
        {"",     "",     0,  0, {0}},
        {"F T",  "--x",  0,  0, {0}},   // rows past the first empty path are never looked at
        {"TTT",  "x--",  1,  2, {2}},   // only the checked state 1 selects the random order
        {"TTT",  "x--",  1,  -1, {2}},
        // At random: only checked items, whatever their flags, once any row is selected.
        {"T",    "x",    0,  1, {1}},
        {"TTT",  "-x-",  0,  1, {2}},
        {"TT",   "--",   0,  1, {0}},
        {"TT",   "",     0,  1, {0}},
        {"FF",   "xx",   0,  1, {0}},
        {"TF",   "-x",   0,  1, {2}},
        {"TT",   "xxxx", 0,  1, {1, 2}}, // items past the list are ignored
        {"F T",  "--x",  0,  1, {0}},
        {"TTTT", "x-xx", 2,  1, {1, 3, 4}},
        // A failure while reading the list is reported and gives 0.
        {"TT!",  "xxx",  0,  0, {0}},
        {"TT!",  "xxx",  0,  1, {0}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.flags) + " " + c.marks + " from " +
                     std::to_string(c.currentIndex) + " state " + std::to_string(c.randomState));
        const test::FakeList list = test::ListOf(c.flags);
        const test::FakeMarks marks(c.marks);
        rotation::RandomEngine engine(2024);
        test::RecordingReporter reporter;
        std::set<int> seen;
        for (int call = 0; call < 200; ++call) {
            seen.insert(
                ChooseNextImage(list, c.currentIndex, c.randomState, marks, engine, reporter));
        }
        EXPECT_EQ(seen, c.results);
        const bool fails = std::string(c.flags).find('!') != std::string::npos;
        EXPECT_EQ(reporter.reports.size(), fails ? 200U : 0U);
        if (fails) {
            EXPECT_EQ(reporter.reports[0].location, loc::ChooseNextImage);
        }
    }
}

TEST(ChooseNextImage, EveryCheckedItemComesUpEquallyOften) {
    // Seven items, five checked; the last checked item is also the last item, where a draw
    // rounded to the nearest item would land only half as often.
    const test::FakeList list = test::ListOf("TTTTTTT");
    const test::FakeMarks marks("xx-xx-x");
    rotation::RandomEngine engine(20240611);
    test::RecordingReporter reporter;
    std::map<int, int> counts;
    constexpr int kDraws = 50000;
    for (int i = 0; i < kDraws; ++i) {
        ++counts[ChooseNextImage(list, 0, kRandomOrderState, marks, engine, reporter)];
    }
    ASSERT_EQ(counts.size(), 5U) << "an unchecked item or 0 came up";
    double chiSquare = 0;
    for (const auto& [item, observed] : counts) {
        const double expected = kDraws / 5.0;
        chiSquare += (observed - expected) * (observed - expected) / expected;
    }
    EXPECT_LT(chiSquare, 18.47);  // 4 degrees of freedom, 0.1 % critical value
}

}  // namespace
}  // namespace tavrino
