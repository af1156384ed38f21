#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "library/DisplayList.h"

namespace tavrino::library {
namespace {

TEST(DisplayList, AFlagReadsAsATruthValueAndOneThatDoesNotCountsAsFalse) {
    struct Case {
        const char* text;
        std::optional<bool> value;
    };
    // clang-format off
    const Case cases[] = {
        {"True", true}, {"tRUE", true}, {"FALSE", false}, {"0", false}, {"1", true}, {"-1", true},
        {"+2", true}, {"0.0", false}, {".5", true}, {"2.", true}, {"1e3", true}, {"0E-2", false},
        {" 1 ", true}, {"\t0", false}, {"", std::nullopt}, {"yes", std::nullopt},
        {"Truex", std::nullopt}, {" True", std::nullopt}, {"1x", std::nullopt},
        {".", std::nullopt}, {"-", std::nullopt}, {"1e", std::nullopt}, {"1 2", std::nullopt},
        {"inf", std::nullopt}, {"nan", std::nullopt}, {"0x1", std::nullopt},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ReadDisplayFlag(c.text), c.value);
        DisplayList list;
        list.Assign({{"/a.jpg", c.text}});
        EXPECT_EQ(list.IsFlagSet(1), c.value.value_or(false));
    }
}

TEST(DisplayList, HoldsFiftyThousandRowsAndAddsUntilFull) {
    DisplayList list;
    for (const std::size_t row : {0U, 1U, 50000U}) {
        EXPECT_EQ(list.ImagePath(row), "");
        EXPECT_EQ(list.DisplayFlag(row), "0");
    }
    EXPECT_THROW((void)list.ImagePath(50001), std::out_of_range);
    std::vector<DisplayEntry> entries(kMaxEntries + 5, DisplayEntry{"/p/x.jpg", "1"});
    entries[3].ImagePath.clear();
    list.Assign(entries);
    EXPECT_EQ(list.Count(), 50000U);
    entries.clear();
    for (std::size_t i = 0; i < kMaxEntries - 2; ++i) {
        entries.push_back({"/p/" + std::to_string(i) + ".jpg", "True"});
    }
    list.Assign(entries);
    const AddResult result = list.Add({"/p/n1.jpg", "/p/0.jpg", "/p/n2.jpg", "/p/n3.jpg", ""});
    EXPECT_EQ(result.added, 2U);
    EXPECT_EQ(result.alreadyPresent, 1U);
    EXPECT_EQ(result.rejectedFull, 1U);
    EXPECT_TRUE(list.Full());
    EXPECT_EQ(list.ImagePath(50000), "/p/n2.jpg");
    EXPECT_EQ(list.DisplayFlag(50000), "True");
}

// The table as the user sees it described: scans that stop at the first empty path, an add
// that skips a path already present, a removal that looks each kept row's path up from row 1.
class PlainTable {
public:
    void Add(const std::vector<std::string>& candidates) {
        for (const std::string& candidate : candidates) {
            bool present = false;
            for (const DisplayEntry& row : rows) {
                present = present || row.ImagePath == candidate;
            }
            if (!present && !candidate.empty()) {
                rows.push_back({candidate, "True"});
            }
        }
    }
    void Remove(const std::vector<bool>& marked) {
        std::vector<DisplayEntry> kept;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (i >= marked.size() || !marked[i]) {
                for (const DisplayEntry& first : rows) {
                    if (first.ImagePath == rows[i].ImagePath) {
                        kept.push_back(first);
                        break;
                    }
                }
            }
        }
        rows = kept;
    }
    std::vector<DisplayEntry> rows;
};

TEST(DisplayList, AddsAndRemovesLikeThePlainTable) {
    std::mt19937 random(20261206);
    const std::vector<std::string> pool = {"/p/a.jpg", "/p/A.jpg", "/p/b.gif", "/q/a.jpg",
                                           "/p/e.JPG"};
    for (int round = 0; round < 200; ++round) {
        PlainTable plain;  // starts from a file that may hold the same path twice
        for (std::size_t i = random() % 6; i > 0; --i) {
            plain.rows.push_back({pool[random() % pool.size()], std::to_string(random() % 3)});
        }
        DisplayList list;
        list.Assign(plain.rows);
        for (int step = 0; step < 8; ++step) {
            if (random() % 2 == 0) {
                std::vector<std::string> candidates(random() % 4);
                for (std::string& candidate : candidates) {
                    candidate = pool[random() % pool.size()];
                }
                list.Add(candidates);
                plain.Add(candidates);
            } else {
                std::vector<bool> marked(list.Count() + random() % 2);
                for (std::size_t i = 0; i < marked.size(); ++i) {
                    marked[i] = random() % 3 == 0;
                }
                list.Remove(marked);
                plain.Remove(marked);
            }
            ASSERT_EQ(list.Entries(), plain.rows) << "round " << round << " step " << step;
            EXPECT_EQ(list.ImagePath(list.Count() + 1), "");
        }
    }
}

TEST(DisplayList, StringsHandedOutFollowTheTable) {
    DisplayList list;
    list.Assign({{"/a.jpg", "True"}, {"/b.jpg", "maybe"}});
    EXPECT_EQ(list.ImagePath(2), "/b.jpg");
    list.Remove({true, false});
    EXPECT_EQ(list.ImagePath(1), "/b.jpg");
    EXPECT_EQ(list.DisplayFlag(1), "maybe");
    EXPECT_EQ(list.ImagePath(2), "");
    EXPECT_EQ(list.FindRow("/b.jpg"), 1U);
    EXPECT_EQ(list.FindRow("/B.jpg"), 0U);
    EXPECT_THROW(list.AdoptStorage("abc|1", {{0, 3, 4, 9}}), std::out_of_range);
    EXPECT_THROW(list.AdoptStorage("abc|1", {{6, 0, 0, 0}}), std::out_of_range);
}

}  // namespace
}  // namespace tavrino::library
