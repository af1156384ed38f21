#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "library/DisplayList.h"

namespace tavrino::library {
namespace {

struct FlagCase {
    const char* text;
    std::optional<bool> value;
};

class DisplayFlagTest : public ::testing::TestWithParam<FlagCase> {};

TEST_P(DisplayFlagTest, ReadsAsTruthValueOrNot) {
    const FlagCase& c = GetParam();
    EXPECT_EQ(ReadDisplayFlag(c.text), c.value) << "flag \"" << c.text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Flags, DisplayFlagTest,
    ::testing::Values(FlagCase{"True", true}, FlagCase{"true", true}, FlagCase{"tRUE", true},
                      FlagCase{"False", false}, FlagCase{"FALSE", false}, FlagCase{"0", false},
                      FlagCase{"1", true}, FlagCase{"-1", true}, FlagCase{"+2", true},
                      FlagCase{"0.0", false}, FlagCase{".5", true}, FlagCase{"2.", true},
                      FlagCase{"1e3", true}, FlagCase{"0E-2", false}, FlagCase{" 1 ", true},
                      FlagCase{"\t0", false}, FlagCase{"", std::nullopt},
                      FlagCase{"yes", std::nullopt}, FlagCase{"Truex", std::nullopt},
                      FlagCase{" True", std::nullopt}, FlagCase{"1x", std::nullopt},
                      FlagCase{".", std::nullopt}, FlagCase{"-", std::nullopt},
                      FlagCase{"e5", std::nullopt}, FlagCase{"1e", std::nullopt},
                      FlagCase{"1 2", std::nullopt}, FlagCase{"inf", std::nullopt},
                      FlagCase{"nan", std::nullopt}, FlagCase{"0x1", std::nullopt}));

// The table exactly as the user sees it described: 50 001 rows, scans that stop at the first
// empty path, removal by looking each kept item's text up from row 1. Our fast list must give
// the same rows.
class ReferenceTable {
public:
    // rows: the table's last row; the random test uses a short table to stay quick, since
    // every scan stops at the first empty path anyway.
    explicit ReferenceTable(std::size_t rows = kMaxEntries)
        : rows_(rows), path_(rows + 1), flag_(rows + 1, "0") {}

    // Returns false when the add hit the full table (the candidates before it stay).
    bool Add(const std::vector<std::string>& candidates) {
        for (const std::string& candidate : candidates) {
            bool present = false;
            std::size_t r = 1;
            for (;; ++r) {
                if (r > rows_) {
                    return false;
                }
                if (path_[r].empty()) {
                    break;
                }
                if (path_[r] == candidate) {
                    present = true;
                }
            }
            if (!present) {
                path_[r] = candidate;
                flag_[r] = "True";
            }
        }
        return true;
    }

    void Remove(const std::vector<bool>& marked) {
        std::vector<std::string> newPath(rows_ + 1);
        std::vector<std::string> newFlag(rows_ + 1, "0");
        std::size_t k = 1;
        for (std::size_t item = 1; item <= rows_ && !path_[item].empty(); ++item) {
            if (item - 1 < marked.size() && marked[item - 1]) {
                continue;
            }
            for (std::size_t r = 1; r <= rows_; ++r) {
                if (path_[r] == path_[item]) {
                    newPath[k] = path_[r];
                    newFlag[k] = flag_[r];
                    ++k;
                    break;
                }
            }
        }
        path_.swap(newPath);
        flag_.swap(newFlag);
    }

    void Load(const std::vector<DisplayEntry>& entries) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            path_[i + 1] = entries[i].ImagePath;
            flag_[i + 1] = entries[i].DisplayFlag;
        }
    }

    [[nodiscard]] std::vector<DisplayEntry> Rows() const {
        std::vector<DisplayEntry> rows;
        for (std::size_t r = 1; r <= rows_ && !path_[r].empty(); ++r) {
            rows.push_back({path_[r], flag_[r]});
        }
        return rows;
    }

private:
    std::size_t rows_;
    std::vector<std::string> path_;
    std::vector<std::string> flag_;
};

TEST(DisplayListTest, EmptyTableReadsAsFreeRows) {
    DisplayList list;
    EXPECT_EQ(list.Count(), 0U);
    for (std::size_t row : {0U, 1U, 2U, 50000U}) {
        EXPECT_EQ(list.ImagePath(row), "");
        EXPECT_EQ(list.DisplayFlag(row), "0");
        EXPECT_FALSE(list.IsFlagSet(row));
    }
    EXPECT_THROW((void)list.ImagePath(50001), std::out_of_range);
    EXPECT_THROW((void)list.DisplayFlag(50001), std::out_of_range);
}

struct AddCase {
    const char* name;
    std::vector<DisplayEntry> before;
    std::vector<std::string> candidates;
    std::vector<DisplayEntry> after;
    std::size_t added;
    std::size_t present;
};

class DisplayListAddTest : public ::testing::TestWithParam<AddCase> {};

TEST_P(DisplayListAddTest, AppendsNewPathsInOrder) {
    const AddCase& c = GetParam();
    DisplayList list;
    list.Assign(c.before);
    const AddResult result = list.Add(c.candidates);
    EXPECT_EQ(list.Entries(), c.after);
    EXPECT_EQ(result.added, c.added);
    EXPECT_EQ(result.alreadyPresent, c.present);
    EXPECT_EQ(result.rejectedFull, 0U);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DisplayListAddTest,
    ::testing::Values(
        AddCase{"IntoEmpty",
                {},
                {"/p/a.jpg", "/p/b.gif"},
                {{"/p/a.jpg", "True"}, {"/p/b.gif", "True"}},
                2,
                0},
        AddCase{"SamePathSkipped", {{"/p/a.jpg", "0"}}, {"/p/a.jpg"}, {{"/p/a.jpg", "0"}}, 0, 1},
        AddCase{"OtherLetterCaseIsAnotherEntry",
                {{"/p/a.jpg", "True"}},
                {"/p/A.jpg", "/P/a.jpg"},
                {{"/p/a.jpg", "True"}, {"/p/A.jpg", "True"}, {"/P/a.jpg", "True"}},
                2,
                0},
        AddCase{"SameCandidateTwiceInOneAdd",
                {},
                {"/p/a.jpg", "/p/a.jpg"},
                {{"/p/a.jpg", "True"}},
                1,
                1},
        AddCase{"DuplicateAlreadyInListStaysDoubled",
                {{"/p/a.jpg", "1"}, {"/p/a.jpg", "0"}},
                {"/p/a.jpg", "/p/c.bmp"},
                {{"/p/a.jpg", "1"}, {"/p/a.jpg", "0"}, {"/p/c.bmp", "True"}},
                1,
                1},
        AddCase{"EmptyCandidateIgnored", {}, {""}, {}, 0, 0}),
    [](const ::testing::TestParamInfo<AddCase>& p) { return std::string(p.param.name); });

TEST(DisplayListTest, AddToFullListKeepsWhatFitted) {
    std::vector<DisplayEntry> entries;
    for (std::size_t i = 0; i < kMaxEntries - 2; ++i) {
        entries.push_back({"/p/" + std::to_string(i) + ".jpg", "True"});
    }
    DisplayList list;
    list.Assign(entries);
    const AddResult result =
        list.Add({"/p/new1.jpg", "/p/0.jpg", "/p/new2.jpg", "/p/new3.jpg", "/p/new4.jpg"});
    EXPECT_EQ(result.added, 2U);
    EXPECT_EQ(result.alreadyPresent, 1U);
    EXPECT_EQ(result.rejectedFull, 2U);
    EXPECT_TRUE(list.Full());
    EXPECT_EQ(list.ImagePath(kMaxEntries - 1), "/p/new1.jpg");
    EXPECT_EQ(list.ImagePath(kMaxEntries), "/p/new2.jpg");
}

TEST(DisplayListTest, AssignStopsAtTableSizeAndSkipsEmptyPaths) {
    std::vector<DisplayEntry> entries(kMaxEntries + 5, DisplayEntry{"/p/x.jpg", "1"});
    entries[3].ImagePath.clear();
    DisplayList list;
    list.Assign(entries);
    EXPECT_EQ(list.Count(), kMaxEntries);
}

struct RemoveCase {
    const char* name;
    std::vector<DisplayEntry> before;
    std::vector<bool> marked;
    std::vector<DisplayEntry> after;
};

class DisplayListRemoveTest : public ::testing::TestWithParam<RemoveCase> {};

TEST_P(DisplayListRemoveTest, KeepsUnmarkedRowsInOrder) {
    const RemoveCase& c = GetParam();
    DisplayList list;
    list.Assign(c.before);
    const std::size_t removed = list.Remove(c.marked);
    EXPECT_EQ(list.Entries(), c.after);
    EXPECT_EQ(removed, c.before.size() - c.after.size());
    // Every row after the last kept one is free again.
    EXPECT_EQ(list.ImagePath(c.after.size() + 1), "");
    EXPECT_EQ(list.DisplayFlag(c.after.size() + 1), "0");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DisplayListRemoveTest,
    ::testing::Values(
        RemoveCase{"RemoveAll", {{"/a.jpg", "True"}, {"/b.jpg", "0"}}, {true, true}, {}},
        RemoveCase{"RemoveNone",
                   {{"/a.jpg", "True"}, {"/b.jpg", "0"}},
                   {false, false},
                   {{"/a.jpg", "True"}, {"/b.jpg", "0"}}},
        RemoveCase{"MarksShorterThanList",
                   {{"/a.jpg", "True"}, {"/b.jpg", "0"}, {"/c.jpg", "1"}},
                   {true},
                   {{"/b.jpg", "0"}, {"/c.jpg", "1"}}},
        RemoveCase{"MiddleRow",
                   {{"/a.jpg", "True"}, {"/b.jpg", "0"}, {"/c.jpg", "1"}},
                   {false, true, false},
                   {{"/a.jpg", "True"}, {"/c.jpg", "1"}}},
        RemoveCase{"KeptCopyTakesFirstRowsFlag",
                   {{"/a.jpg", "True"}, {"/b.jpg", "0"}, {"/a.jpg", "False"}},
                   {false, true, false},
                   {{"/a.jpg", "True"}, {"/a.jpg", "True"}}},
        RemoveCase{"FirstCopyRemovedSecondStillTakesFirstRow",
                   {{"/a.jpg", "yes"}, {"/a.jpg", "0"}},
                   {true, false},
                   {{"/a.jpg", "yes"}}}),
    [](const ::testing::TestParamInfo<RemoveCase>& p) { return std::string(p.param.name); });

// Random adds and removes on a small pool of paths (so duplicates and case variants happen)
// must leave the same rows as the plain scans.
TEST(DisplayListTest, MatchesPlainScansOnRandomWork) {
    std::mt19937 random(20261206);
    const std::vector<std::string> pool = {"/p/a.jpg", "/p/A.jpg",  "/p/b.gif", "/p/c.bmp",
                                           "/q/a.jpg", "/q/d.jpeg", "/p/e.JPG", "/p/f.gif"};
    for (int round = 0; round < 200; ++round) {
        DisplayList list;
        ReferenceTable reference(64);
        // Start from a loaded file that may already hold the same path twice.
        std::vector<DisplayEntry> loaded;
        const std::size_t loadCount = random() % 6;
        for (std::size_t i = 0; i < loadCount; ++i) {
            loaded.push_back({pool[random() % pool.size()], std::to_string(random() % 3)});
        }
        list.Assign(loaded);
        reference.Load(loaded);
        for (int step = 0; step < 8; ++step) {
            if (random() % 2 == 0) {
                std::vector<std::string> candidates;
                const std::size_t count = random() % 4;
                for (std::size_t i = 0; i < count; ++i) {
                    candidates.push_back(pool[random() % pool.size()]);
                }
                list.Add(candidates);
                reference.Add(candidates);
            } else {
                std::vector<bool> marked(list.Count());
                for (std::size_t i = 0; i < marked.size(); ++i) {
                    marked[i] = random() % 3 == 0;
                }
                list.Remove(marked);
                reference.Remove(marked);
            }
            ASSERT_EQ(list.Entries(), reference.Rows()) << "round " << round << " step " << step;
        }
    }
}

// Removing most of a big list gives the removed rows' room back; what is kept must not change,
// including copies that take the flag of a first row that went away.
TEST(DisplayListTest, RemovingMostOfABigListKeepsTheRest) {
    std::vector<DisplayEntry> entries;
    for (int i = 0; i < 2000; ++i) {
        entries.push_back(
            {"/pictures/album/photo-" + std::to_string(i) + ".jpg", i % 2 == 0 ? "True" : "0"});
    }
    entries.push_back({"/pictures/album/photo-0.jpg", "False"});  // a later copy of row 1
    DisplayList list;
    list.Assign(entries);
    ReferenceTable reference;
    reference.Load(entries);
    std::vector<bool> marked(list.Count(), true);
    for (std::size_t i = 1500; i < marked.size(); ++i) {
        marked[i] = false;
    }
    list.Remove(marked);
    reference.Remove(marked);
    ASSERT_EQ(list.Entries(), reference.Rows());
    EXPECT_EQ(list.ImagePath(list.Count()), "/pictures/album/photo-0.jpg");
    EXPECT_EQ(list.DisplayFlag(list.Count()), "True");
    list.Add({"/pictures/new.jpg", "/pictures/album/photo-1999.jpg"});
    reference.Add({"/pictures/new.jpg", "/pictures/album/photo-1999.jpg"});
    EXPECT_EQ(list.Entries(), reference.Rows());
}

TEST(DisplayListTest, StringsHandedOutMatchTheViews) {
    DisplayList list;
    list.Assign({{"/a.jpg", "True"}, {"/b.jpg", "maybe"}});
    const std::string& path = list.ImagePath(2);
    EXPECT_EQ(path, "/b.jpg");
    EXPECT_EQ(&path, &list.ImagePath(2));  // made once, then the same string
    EXPECT_EQ(list.DisplayFlag(2), "maybe");
    EXPECT_EQ(list.PathView(1), "/a.jpg");
    EXPECT_EQ(list.FlagView(3), "0");
    list.Remove({true, false});
    EXPECT_EQ(list.ImagePath(1), "/b.jpg");
    EXPECT_EQ(list.DisplayFlag(1), "maybe");
    EXPECT_EQ(list.ImagePath(2), "");
}

TEST(DisplayListTest, StorageSpansOutsideTheBytesAreRefused) {
    DisplayList list;
    EXPECT_THROW(list.AdoptStorage("abc|1", {{0, 3, 4, 9}}), std::out_of_range);
    EXPECT_THROW(list.AdoptStorage("abc|1", {{6, 0, 0, 0}}), std::out_of_range);
    list.AdoptStorage("abc|1\r\n|x", {{0, 3, 4, 1}, {7, 0, 8, 1}});
    EXPECT_EQ(list.Entries(), (std::vector<DisplayEntry>{{"abc", "1"}}));
}

TEST(DisplayListTest, FindRowGivesFirstExactMatch) {
    DisplayList list;
    list.Assign({{"/a.jpg", "1"}, {"/b.jpg", "1"}, {"/a.jpg", "0"}});
    EXPECT_EQ(list.FindRow("/a.jpg"), 1U);
    EXPECT_EQ(list.FindRow("/b.jpg"), 2U);
    EXPECT_EQ(list.FindRow("/A.jpg"), 0U);
    EXPECT_EQ(list.FindRow(""), 0U);
}

}  // namespace
}  // namespace tavrino::library
