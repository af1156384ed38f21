// The display list, its file images.idx and the folder listing, without widgets.
#include <gtest/gtest.h>
#include <stdexcept>
#include <tuple>

#include "common/TestSupport.h"
#include "library/DisplayList.h"
#include "library/FolderListing.h"
#include "library/IndexFile.h"

namespace tavrino::library {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::WriteBytes;
using Entries = std::vector<DisplayEntry>;

TEST(DisplayList, AFlagReadsAsATruthValueAndOneThatDoesNotCountsAsFalse) {
    // clang-format off
    const std::pair<const char*, std::optional<bool>> cases[] = {
        {"True", true}, {"tRUE", true}, {"FALSE", false}, {"0", false}, {"-1", true}, {"+2", true},
        {"0.0", false}, {".5", true}, {"2.", true}, {"1e3", true}, {"0E-2", false}, {" 1 ", true},
        {"\t0", false}, {"", std::nullopt}, {"yes", std::nullopt}, {"Truex", std::nullopt},
        {" True", std::nullopt}, {"1x", std::nullopt}, {".", std::nullopt}, {"-", std::nullopt},
        {"1e", std::nullopt}, {"1 2", std::nullopt}, {"inf", std::nullopt}, {"nan", std::nullopt},
        {"0x1", std::nullopt},
    };
    // clang-format on
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ReadDisplayFlag(text), value);
        DisplayList list;  // the path the main window reads flags through
        list.Assign({{"/a.jpg", text}});
        EXPECT_EQ(list.IsFlagSet(1), value.value_or(false));
    }
}

TEST(DisplayList, HoldsFiftyThousandRowsAndAddsUntilFull) {
    DisplayList list;
    EXPECT_EQ(list.ImagePath(50000) + list.DisplayFlag(50000), "0");
    EXPECT_THROW((void)list.ImagePath(50001), std::out_of_range);
    Entries entries(kMaxEntries + 5, DisplayEntry{"/p/x.jpg", "1"});
    entries[3].ImagePath.clear();
    list.Assign(entries);
    EXPECT_EQ(list.Count(), 50000U);
    entries.clear();
    for (std::size_t i = 0; i < kMaxEntries - 2; ++i) {
        entries.push_back({"/p/" + std::to_string(i) + ".jpg", "True"});
    }
    list.Assign(entries);
    const AddResult result = list.Add({"/p/n1.jpg", "/p/0.jpg", "/p/n2.jpg", "/p/n3.jpg", ""});
    EXPECT_EQ(std::tuple(result.added, result.alreadyPresent, result.rejectedFull),
              std::tuple(2U, 1U, 1U));
    EXPECT_TRUE(list.Full());
    EXPECT_EQ(list.ImagePath(50000) + list.DisplayFlag(50000), "/p/n2.jpgTrue");
}

TEST(DisplayList, AddSkipsPresentPathsAndRemovalGivesKeptRowsTheFirstRowWithTheirPath) {
    DisplayList list;
    list.Assign({{"/a", "1"}, {"/b", "0"}, {"/a", "False"}, {"/c", "x"}});
    EXPECT_EQ(list.Remove({false, true}), 1U);  // rows past the marks are kept
    EXPECT_EQ(list.Entries(), (Entries{{"/a", "1"}, {"/a", "1"}, {"/c", "x"}}));
    EXPECT_EQ(list.ImagePath(3) + list.ImagePath(4), "/c");
    const AddResult added = list.Add({"/A", "/a", "/d", "/d", "", "/c"});
    EXPECT_EQ(std::tuple(added.added, added.alreadyPresent), std::tuple(2U, 3U));
    EXPECT_EQ(list.Entries(),
              (Entries{{"/a", "1"}, {"/a", "1"}, {"/c", "x"}, {"/A", "True"}, {"/d", "True"}}));
    list.Remove({true, false, true, false, true, false, true});
    EXPECT_EQ(list.Entries(), (Entries{{"/a", "1"}, {"/A", "True"}}));
    EXPECT_EQ(list.FindRow("/A"), 2U);
    EXPECT_THROW(list.AdoptStorage("abc|1", {{0, 3, 4, 9}}), std::out_of_range);
    EXPECT_THROW(list.AdoptStorage("abc|1", {{6, 0, 0, 0}}), std::out_of_range);
}

TEST(IndexFile, LinesEndAtCrLfOrALoneCrAndBadLinesAreCounted) {
    struct Case {
        std::string bytes;
        Entries entries;
        std::size_t badLines, firstBadLine, badFlags;
    };
    // clang-format off
    const Case cases[] = {
        {"C:\\a.jpg|True|x\r\n/b.jpg|0||\r\n", {{"C:\\a.jpg", "True"}, {"/b.jpg", "0"}}, 0, 0, 0},
        {"/a.jpg|1\r/b.jpg|0",                {{"/a.jpg", "1"}, {"/b.jpg", "0"}},        0, 0, 0},
        {"/a\nb.jpg|True\r\n",                {{"/a\nb.jpg", "True"}},                   0, 0, 0},
        {"/a.jpg|True\n/b.jpg|True\n",        {{"/a.jpg", "True\n/b.jpg"}},              0, 0, 1},
        {"/a.jpg|1\r\n\r\n|True\r\n/c.jpg|0", {{"/a.jpg", "1"}, {"/c.jpg", "0"}},        2, 2, 0},
        {"/a.jpg|1\r\n/b.jpg\r\n|\r\n",       {{"/a.jpg", "1"}},                         2, 2, 0},
        {"/a.jpg|yes\r\n/b.jpg|\r\n",         {{"/a.jpg", "yes"}, {"/b.jpg", ""}},       0, 0, 2},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const IndexReadResult result = ParseIndex(c.bytes);
        EXPECT_EQ(result.entries, c.entries);
        EXPECT_EQ(std::tuple(result.badLines, result.firstBadLine, result.badFlags),
                  std::tuple(c.badLines, c.firstBadLine, c.badFlags));
    }
    const std::string described = DescribeIndexProblems(ParseIndex("/a|1\r\n/b|yes\r\n/c|no\r\n"));
    EXPECT_NE(described.find("entry 2"), std::string::npos) << described;
    EXPECT_EQ(described.find(".bak"), std::string::npos) << "a bad flag needs no backup";
}

// A file that loses lines at loading is kept as images.idx.bak by the first save, and only then.
TEST(IndexFile, ASoundFileIsWrittenBackByteForByteAndOneThatLosesLinesIsBackedUpOnce) {
    std::string tooMany;
    for (std::size_t i = 1; i <= kMaxEntries + 3; ++i) {
        tooMany += "/p/" + std::to_string(i) + ".jpg|True\r\n";
    }
    // clang-format off
    const std::tuple<std::string, const char*, std::size_t> cases[] = {  // bytes, problem, rows
        {"", "", 0}, {"C:\\a.jpg|0\r\nC:\\a.jpg|False\r\nC:\\A.JPG|tRuE\r\n", "", 3},
        {"/home/u/\xff\xfe photo.jpg|True\r\n/odd/line\nfeed.gif|maybe\r\n", "", 2},
        {"/a.jpg|1\r\nno separator\r\n/b.jpg|0\r\n", "Line 2", 2}, {tooMany, "line 50001", kMaxEntries},
    };
    // clang-format on
    for (const auto& [bytes, problem, rows] : cases) {
        SCOPED_TRACE(bytes.substr(0, 30));
        test::TempFolder folder;
        WriteBytes(folder / kIndexFileName, bytes);
        IndexStore store(folder.Path());
        DisplayList list;
        const std::string description = DescribeIndexProblems(store.Load(list));
        const bool lost = *problem != '\0';
        EXPECT_NE(description.find(problem), std::string::npos) << description;
        EXPECT_EQ(description.find("images.idx.bak") != std::string::npos, lost) << description;
        EXPECT_EQ(list.Count(), rows);
        EXPECT_EQ(ReadBytes(folder / kIndexFileName), bytes) << "loading never writes";
        store.Save(list);
        EXPECT_EQ(ReadBytes(folder / kIndexFileName), lost ? SerializeIndex(list) : bytes);
        list.Add({"/c.jpg"});
        store.Save(list);
        const fs::path backup = folder / kIndexBackupName;
        EXPECT_EQ(fs::exists(backup) ? ReadBytes(backup) : "none", lost ? bytes : "none");
    }
}

// Every failing save leaves the old file whole and no temporary file behind.
TEST(IndexFile, AFailedSaveLeavesTheOldFileWhole) {
    const std::string original = "/a.jpg|True\r\n";
    test::TempFolder folder;
    WriteBytes(folder / kIndexFileName, original);
    IndexStore store(folder.Path());
    DisplayList list;
    store.Load(list);
    list.Add({"/b.jpg"});
    store.beforeRename = [] { throw std::runtime_error("power cut"); };
    EXPECT_THROW(store.Save(list), std::runtime_error);
    EXPECT_EQ(ReadBytes(folder / kIndexFileName), original);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1);
    try {
        IndexStore(folder / "gone").Save(list);
        FAIL() << "saving into a missing folder succeeded";
    } catch (...) {
        EXPECT_EQ(DescribeException(std::current_exception()).number, errnum::FileNotFound);
    }
}

TEST(FolderListing, ANameOfFiveOrMoreEndingInJpgJpegGifOrBmpInAnyCaseIsAnImage) {
    // clang-format off
    const std::pair<const char*, bool> cases[] = {
        {"a.JPG", true}, {"b.jpeg", true}, {"c.Gif", true}, {"d.bmp", true}, {"photojpg", true},
        {"e.png", false}, {"ajpg", false}, {".bmp", false}, {"a.jpg.txt", false}, {"a.jpe", false},
    };
    // clang-format on
    for (const auto& [name, image] : cases) {
        EXPECT_EQ(IsImageFileName(name), image) << name;
    }
}

}  // namespace
}  // namespace tavrino::library
