#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeList.h"
#include "common/TestSupport.h"
#include "library/DisplayList.h"
#include "rotation/DisplayListView.h"
#include "rotation/NextImage.h"

namespace tavrino {
namespace {

using library::DisplayEntry;
using rotation::DisplayListView;

library::DisplayList TableOf(std::vector<DisplayEntry> entries) {
    library::DisplayList table;
    table.Assign(std::move(entries));
    return table;
}

TEST(DisplayListViewTest, ShowsTheUsedRowsOfTheTable) {
    const library::DisplayList table =
        TableOf({{"C:\\a.jpg", "True"}, {"C:\\b.gif", "0"}, {"C:\\c.bmp", "-1"}});
    const DisplayListView view(table);
    ASSERT_EQ(view.Count(), 3);
    EXPECT_EQ(view.Path(1), "C:\\a.jpg");
    EXPECT_EQ(view.Path(3), "C:\\c.bmp");
    EXPECT_TRUE(view.Flag(1));
    EXPECT_FALSE(view.Flag(2));
    EXPECT_TRUE(view.Flag(3));
}

struct ChoiceCase {
    const char* name;
    std::vector<DisplayEntry> rows;
    int currentIndex;
    int expected;
    int reportedAt;  // 0 when nothing is reported
};

class LibraryChoiceTest : public testing::TestWithParam<ChoiceCase> {};

TEST_P(LibraryChoiceTest, ChoosesOverTheLibraryTable) {
    const ChoiceCase& c = GetParam();
    const library::DisplayList table = TableOf(c.rows);
    const DisplayListView view(table);
    test::FakeMarks marks(std::vector<bool>(c.rows.size(), true));
    rotation::RandomEngine engine(4);
    test::RecordingReporter reporter;
    EXPECT_EQ(rotation::ChooseNextImage(view, c.currentIndex, 0, marks, engine, reporter),
              c.expected);
    if (c.reportedAt == 0) {
        EXPECT_TRUE(reporter.reports.empty());
    } else {
        ASSERT_EQ(reporter.reports.size(), 1U);
        EXPECT_EQ(reporter.reports[0].location, c.reportedAt);
        EXPECT_EQ(reporter.reports[0].number, errnum::TypeMismatch);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tables, LibraryChoiceTest,
    testing::Values(ChoiceCase{"Wraps", {{"C:\\a.jpg", "True"}, {"C:\\b.jpg", "TRUE"}}, 2, 1, 0},
                    ChoiceCase{"SkipsFalse",
                               {{"C:\\a.jpg", "True"}, {"C:\\b.jpg", "false"}, {"C:\\c.jpg", "1"}},
                               1,
                               3,
                               0},
                    // The library reads a damaged flag as false; the choice must report it instead.
                    ChoiceCase{"DamagedFlagReported",
                               {{"C:\\a.jpg", "True"}, {"C:\\b.jpg", "maybe"}},
                               0,
                               0,
                               loc::ChooseNextImage},
                    ChoiceCase{
                        "EmptyFlagReported", {{"C:\\a.jpg", ""}}, 0, 0, loc::ChooseNextImage},
                    ChoiceCase{"EmptyTable", {}, 0, 0, 0}),
    test::CaseName());

}  // namespace
}  // namespace tavrino
