#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "library/IndexFile.h"
#include "support/errors/Errors.h"

#ifdef __linux__
#include <sys/resource.h>
#include <csignal>
#endif

namespace tavrino::library {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

struct ParseCase {
    const char* name;
    std::string bytes;
    std::vector<DisplayEntry> entries;
    std::size_t badLines;
    std::size_t firstBadLine;
    std::size_t badFlags;
};

class ParseIndexTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseIndexTest, ReadsEntriesAndCountsBadLines) {
    const ParseCase& c = GetParam();
    const IndexReadResult result = ParseIndex(c.bytes);
    EXPECT_EQ(result.entries, c.entries);
    EXPECT_EQ(result.badLines, c.badLines);
    EXPECT_EQ(result.firstBadLine, c.firstBadLine);
    EXPECT_EQ(result.badFlags, c.badFlags);
    EXPECT_EQ(result.linesPastLimit, 0U);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseIndexTest,
    ::testing::Values(
        ParseCase{"TwoLines",
                  "C:\\a.jpg|True\r\nC:\\b.gif|True\r\n",
                  {{"C:\\a.jpg", "True"}, {"C:\\b.gif", "True"}},
                  0,
                  0,
                  0},
        ParseCase{"FlagsKeptAsRead",
                  "/a.jpg|0\r\n/b.jpg|False\r\n/c.jpg|-1\r\n",
                  {{"/a.jpg", "0"}, {"/b.jpg", "False"}, {"/c.jpg", "-1"}},
                  0,
                  0,
                  0},
        ParseCase{"ExtraPiecesDropped",
                  "C:\\a.jpg|True|x\r\n/b.jpg|0||\r\n",
                  {{"C:\\a.jpg", "True"}, {"/b.jpg", "0"}},
                  0,
                  0,
                  0},
        ParseCase{
            "LoneCrEndsLine", "/a.jpg|1\r/b.jpg|0\r", {{"/a.jpg", "1"}, {"/b.jpg", "0"}}, 0, 0, 0},
        ParseCase{"LastLineWithoutEnd",
                  "/a.jpg|1\r\n/b.jpg|0",
                  {{"/a.jpg", "1"}, {"/b.jpg", "0"}},
                  0,
                  0,
                  0},
        ParseCase{"LoneLfIsPartOfTheLine", "/a\nb.jpg|True\r\n", {{"/a\nb.jpg", "True"}}, 0, 0, 0},
        ParseCase{"LfLineEndsGiveOneLongLine",
                  "/a.jpg|True\n/b.jpg|True\n",
                  {{"/a.jpg", "True\n/b.jpg"}},
                  0,
                  0,
                  1},
        ParseCase{"EmptyFile", "", {}, 0, 0, 0},
        ParseCase{"EmptyLineSkipped",
                  "/a.jpg|1\r\n\r\n/b.jpg|1\r\n",
                  {{"/a.jpg", "1"}, {"/b.jpg", "1"}},
                  1,
                  2,
                  0},
        ParseCase{"EmptyPathDoesNotEndTheList",
                  "/a.jpg|True\r\n|True\r\n/c.jpg|0\r\n",
                  {{"/a.jpg", "True"}, {"/c.jpg", "0"}},
                  1,
                  2,
                  0},
        ParseCase{"LineWithoutSeparator",
                  "/a.jpg|1\r\n/b.jpg\r\n/c.jpg|1\r\n|\r\n",
                  {{"/a.jpg", "1"}, {"/c.jpg", "1"}},
                  2,
                  2,
                  0},
        ParseCase{"BadFlagsKeptAndCounted",
                  "/a.jpg|yes\r\n/b.jpg|\r\n/c.jpg|True\r\n",
                  {{"/a.jpg", "yes"}, {"/b.jpg", ""}, {"/c.jpg", "True"}},
                  0,
                  0,
                  2},
        ParseCase{"BytesThatAreNotUtf8",
                  std::string("/p/\xff\xfe\xc3(.jpg|True\r\n"),
                  {{std::string("/p/\xff\xfe\xc3(.jpg"), "True"}},
                  0,
                  0,
                  0}),
    [](const ::testing::TestParamInfo<ParseCase>& p) { return std::string(p.param.name); });

class RoundTripTest : public ::testing::TestWithParam<std::string> {};

TEST_P(RoundTripTest, SavedBytesEqualLoadedBytes) {
    TempFolder folder;
    WriteBytes(folder / kIndexFileName, GetParam());
    IndexStore store(folder.Path());
    DisplayList list;
    const IndexReadResult result = store.Load(list);
    EXPECT_FALSE(result.DroppedLines());
    store.Save(list);
    EXPECT_EQ(ReadBytes(folder / kIndexFileName), GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Files, RoundTripTest,
    ::testing::Values(std::string(""), std::string("C:\\a.jpg|True\r\nC:\\b.gif|True\r\n"),
                      std::string("C:\\a.jpg|0\r\nC:\\a.jpg|False\r\nC:\\A.JPG|tRuE\r\n"),
                      std::string("/home/u/\xff\xfe photo.jpg|True\r\n/x/\xe9t\xe9.bmp|1\r\n"),
                      std::string("/odd/line\nfeed.gif|True\r\n"),
                      std::string("/a.jpg|maybe\r\n")));

TEST(IndexFileTest, ExtraPiecesAreNotWrittenBack) {
    TempFolder folder;
    WriteBytes(folder / kIndexFileName, "C:\\a.jpg|True|x\r\n");
    IndexStore store(folder.Path());
    DisplayList list;
    store.Load(list);
    store.Save(list);
    EXPECT_EQ(ReadBytes(folder / kIndexFileName), "C:\\a.jpg|True\r\n");
}

TEST(IndexFileTest, MissingFileGivesEmptyListAndEmptyListSavesZeroBytes) {
    TempFolder folder;
    IndexStore store(folder.Path());
    DisplayList list;
    list.Assign({{"/stale.jpg", "True"}});
    const IndexReadResult result = store.Load(list);
    EXPECT_EQ(list.Count(), 0U);
    EXPECT_EQ(result.lines, 0U);
    EXPECT_FALSE(store.BackupPending());
    store.Save(list);
    EXPECT_TRUE(fs::exists(folder / kIndexFileName));
    EXPECT_EQ(fs::file_size(folder / kIndexFileName), 0U);
}

TEST(IndexFileTest, DamagedFileIsKeptAsBackupBeforeTheFirstSave) {
    TempFolder folder;
    const std::string original = "/a.jpg|1\r\nno separator\r\n\r\n|True\r\n/b.jpg|0\r\n";
    WriteBytes(folder / kIndexFileName, original);
    IndexStore store(folder.Path());
    DisplayList list;
    const IndexReadResult result = store.Load(list);
    ASSERT_EQ(list.Count(), 2U);
    EXPECT_EQ(list.ImagePath(2), "/b.jpg");
    EXPECT_EQ(result.badLines, 3U);
    EXPECT_EQ(result.firstBadLine, 2U);
    const std::string description = DescribeIndexProblems(result);
    EXPECT_NE(description.find("Line 2"), std::string::npos) << description;
    EXPECT_NE(description.find("images.idx.bak"), std::string::npos) << description;
    EXPECT_TRUE(store.BackupPending());
    // Loading alone never touches the file.
    EXPECT_EQ(ReadBytes(folder / kIndexFileName), original);
    EXPECT_FALSE(fs::exists(folder / kIndexBackupName));

    store.Save(list);
    EXPECT_EQ(ReadBytes(folder / kIndexBackupName), original);
    EXPECT_EQ(ReadBytes(folder / kIndexFileName), "/a.jpg|1\r\n/b.jpg|0\r\n");
    EXPECT_FALSE(store.BackupPending());

    // Later saves leave the backup alone.
    list.Add({"/c.jpg"});
    store.Save(list);
    EXPECT_EQ(ReadBytes(folder / kIndexBackupName), original);
}

TEST(IndexFileTest, LinesPastTheTableAreReportedAndKeptInTheBackup) {
    std::string bytes;
    for (std::size_t i = 1; i <= kMaxEntries + 3; ++i) {
        bytes += "/p/" + std::to_string(i) + ".jpg|True\r\n";
    }
    TempFolder folder;
    WriteBytes(folder / kIndexFileName, bytes);
    IndexStore store(folder.Path());
    DisplayList list;
    const IndexReadResult result = store.Load(list);
    EXPECT_EQ(list.Count(), kMaxEntries);
    EXPECT_EQ(list.ImagePath(kMaxEntries), "/p/50000.jpg");
    EXPECT_EQ(result.linesPastLimit, 3U);
    EXPECT_EQ(result.firstLinePastLimit, kMaxEntries + 1);
    EXPECT_NE(DescribeIndexProblems(result).find("line 50001"), std::string::npos);
    store.Save(list);
    EXPECT_EQ(ReadBytes(folder / kIndexBackupName), bytes);
}

TEST(IndexFileTest, BadFlagIsDescribedOnce) {
    const IndexReadResult result = ParseIndex("/a.jpg|1\r\n/b.jpg|yes\r\n/c.jpg|no\r\n");
    EXPECT_FALSE(result.DroppedLines());
    EXPECT_EQ(result.firstBadFlagRow, 2U);
    const std::string description = DescribeIndexProblems(result);
    EXPECT_NE(description.find("entry 2"), std::string::npos) << description;
    EXPECT_EQ(description.find(".bak"), std::string::npos) << description;
    DisplayList list;
    list.Assign(result.entries);
    EXPECT_TRUE(list.IsFlagSet(1));
    EXPECT_FALSE(list.IsFlagSet(2));
    EXPECT_FALSE(list.IsFlagSet(3));
}

TEST(IndexFileTest, SoundFileHasNothingToDescribe) {
    EXPECT_EQ(DescribeIndexProblems(ParseIndex("/a.jpg|True\r\n")), "");
}

TEST(IndexFileTest, InterruptedSaveLeavesOldFileWholeAndNoTemporaryFile) {
    TempFolder folder;
    const std::string original = "/a.jpg|True\r\n/b.jpg|0\r\n";
    WriteBytes(folder / kIndexFileName, original);
    IndexStore store(folder.Path());
    DisplayList list;
    store.Load(list);
    list.Add({"/c.jpg"});
    store.beforeRename = [] { throw std::runtime_error("power cut"); };
    EXPECT_THROW(store.Save(list), std::runtime_error);
    EXPECT_EQ(ReadBytes(folder / kIndexFileName), original);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.Path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{kIndexFileName});
}

TEST(IndexFileTest, SaveOverAFolderFailsAndLeavesItAlone) {
    TempFolder folder;
    fs::create_directory(folder / kIndexFileName);
    WriteBytes(folder / kIndexFileName / "keep.txt", "x");
    IndexStore store(folder.Path());
    DisplayList list;
    store.Load(list);  // not a file: counts as missing
    EXPECT_EQ(list.Count(), 0U);
    list.Add({"/a.jpg"});
    EXPECT_THROW(store.Save(list), fs::filesystem_error);
    EXPECT_EQ(ReadBytes(folder / kIndexFileName / "keep.txt"), "x");
}

TEST(IndexFileTest, SaveIntoMissingFolderReportsPathError) {
    TempFolder folder;
    IndexStore store(folder / "gone");
    DisplayList list;
    list.Add({"/a.jpg"});
    try {
        store.Save(list);
        FAIL() << "saving into a missing folder succeeded";
    } catch (...) {
        const ErrorInfo info = DescribeException(std::current_exception());
        EXPECT_EQ(info.number, errnum::FileNotFound) << info.description;
    }
}

#ifdef __linux__
// A full disk: the file size limit makes the write fail the same way (EFBIG), also for root.
TEST(IndexFileTest, DiskFullDuringSaveLeavesOldFileWhole) {
    TempFolder folder;
    const std::string original = "/a.jpg|True\r\n";
    WriteBytes(folder / kIndexFileName, original);
    IndexStore store(folder.Path());
    DisplayList list;
    store.Load(list);
    std::vector<std::string> many;
    for (int i = 0; i < 2000; ++i) {
        many.push_back("/pictures/holiday/" + std::to_string(i) + ".jpg");
    }
    list.Add(many);

    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    try {
        store.Save(list);
    } catch (const fs::filesystem_error&) {
        threw = true;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(threw);
    EXPECT_EQ(ReadBytes(folder / kIndexFileName), original);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder.Path())) {
        ++files;
    }
    EXPECT_EQ(files, 1U);
}
#endif

TEST(IndexFileTest, SerializeWritesOnlyUsedRows) {
    DisplayList list;
    list.Assign({{"/a.jpg", "True"}, {"/b.jpg", "0"}});
    list.Remove({true, false});
    EXPECT_EQ(SerializeIndex(list), "/b.jpg|0\r\n");
}

}  // namespace
}  // namespace tavrino::library
