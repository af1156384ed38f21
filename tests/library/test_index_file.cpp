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
using test::WriteBytes;

TEST(IndexFile, LinesEndAtCrLfOrALoneCrAndBadLinesAreCounted) {
    struct Case {
        std::string bytes;
        std::vector<DisplayEntry> entries;
        std::size_t badLines, firstBadLine, badFlags;
    };
    // clang-format off
    const Case cases[] = {
        {"C:\\a.jpg|True\r\n/b.gif|-1\r\n",   {{"C:\\a.jpg", "True"}, {"/b.gif", "-1"}}, 0, 0, 0},
        {"C:\\a.jpg|True|x\r\n/b.jpg|0||\r\n", {{"C:\\a.jpg", "True"}, {"/b.jpg", "0"}}, 0, 0, 0},
        {"/a.jpg|1\r/b.jpg|0",                {{"/a.jpg", "1"}, {"/b.jpg", "0"}},        0, 0, 0},
        {"/a\nb.jpg|True\r\n",                {{"/a\nb.jpg", "True"}},                   0, 0, 0},
        {"/a.jpg|True\n/b.jpg|True\n",        {{"/a.jpg", "True\n/b.jpg"}},              0, 0, 1},
        {"",                                  {},                                        0, 0, 0},
        {"/a.jpg|1\r\n\r\n|True\r\n/c.jpg|0", {{"/a.jpg", "1"}, {"/c.jpg", "0"}},        2, 2, 0},
        {"/a.jpg|1\r\n/b.jpg\r\n|\r\n",       {{"/a.jpg", "1"}},                         2, 2, 0},
        {"/a.jpg|yes\r\n/b.jpg|\r\n",         {{"/a.jpg", "yes"}, {"/b.jpg", ""}},       0, 0, 2},
        {"/p/\xff\xfe(.jpg|True\r\n",         {{"/p/\xff\xfe(.jpg", "True"}},            0, 0, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const IndexReadResult result = ParseIndex(c.bytes);
        EXPECT_EQ(result.entries, c.entries);
        EXPECT_EQ(result.badLines, c.badLines);
        EXPECT_EQ(result.firstBadLine, c.firstBadLine);
        EXPECT_EQ(result.badFlags, c.badFlags);
    }
}

TEST(IndexFile, ASoundFileIsWrittenBackByteForByte) {
    for (const std::string bytes :
         {"", "C:\\a.jpg|0\r\nC:\\a.jpg|False\r\nC:\\A.JPG|tRuE\r\n",
          "/home/u/\xff\xfe photo.jpg|True\r\n/odd/line\nfeed.gif|maybe\r\n"}) {
        test::TempFolder folder;
        WriteBytes(folder / kIndexFileName, bytes);
        IndexStore store(folder.Path());
        DisplayList list;
        EXPECT_EQ(DescribeIndexProblems(store.Load(list)).find("images.idx.bak"),
                  std::string::npos);
        store.Save(list);
        EXPECT_EQ(ReadBytes(folder / kIndexFileName), bytes);
        EXPECT_FALSE(fs::exists(folder / kIndexBackupName));
    }
    DisplayList list;
    list.Assign({{"/a.jpg", "True"}, {"/b.jpg", "0"}});
    list.Remove({true});
    EXPECT_EQ(SerializeIndex(list), "/b.jpg|0\r\n");
}

TEST(IndexFile, AFileThatLosesLinesIsKeptAsABackupAtTheFirstSave) {
    std::string tooMany;
    for (std::size_t i = 1; i <= kMaxEntries + 3; ++i) {
        tooMany += "/p/" + std::to_string(i) + ".jpg|True\r\n";
    }
    struct Case {
        std::string bytes, described;
        std::size_t count;
    };
    const Case cases[] = {{"/a.jpg|1\r\nno separator\r\n/b.jpg|0\r\n", "Line 2", 2},
                          {tooMany, "line 50001", kMaxEntries}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.described);
        test::TempFolder folder;
        WriteBytes(folder / kIndexFileName, c.bytes);
        IndexStore store(folder.Path());
        DisplayList list;
        const std::string description = DescribeIndexProblems(store.Load(list));
        EXPECT_NE(description.find(c.described), std::string::npos) << description;
        EXPECT_NE(description.find("images.idx.bak"), std::string::npos) << description;
        EXPECT_EQ(list.Count(), c.count);
        EXPECT_EQ(ReadBytes(folder / kIndexFileName), c.bytes) << "loading never writes";
        store.Save(list);
        EXPECT_EQ(ReadBytes(folder / kIndexBackupName), c.bytes);
        EXPECT_EQ(ReadBytes(folder / kIndexFileName), SerializeIndex(list));
        list.Add({"/c.jpg"});
        store.Save(list);
        EXPECT_EQ(ReadBytes(folder / kIndexBackupName), c.bytes) << "later saves leave it";
    }
}

TEST(IndexFile, AFlagThatIsNoTruthValueIsDescribedButNeedsNoBackup) {
    const std::string description =
        DescribeIndexProblems(ParseIndex("/a.jpg|1\r\n/b.jpg|yes\r\n/c.jpg|no\r\n"));
    EXPECT_NE(description.find("entry 2"), std::string::npos) << description;
    EXPECT_EQ(description.find(".bak"), std::string::npos) << description;
    EXPECT_EQ(DescribeIndexProblems(ParseIndex("/a.jpg|True\r\n")), "");
}

TEST(IndexFile, AMissingFileIsAnEmptyListAndAnEmptyListIsAnEmptyFile) {
    test::TempFolder folder;
    IndexStore store(folder.Path());
    DisplayList list;
    list.Assign({{"/stale.jpg", "True"}});
    store.Load(list);
    EXPECT_EQ(list.Count(), 0U);
    store.Save(list);
    EXPECT_EQ(ReadBytes(folder / kIndexFileName), "");
}

// Every failing save leaves the old file whole and no temporary file behind.
TEST(IndexFile, AFailedSaveLeavesTheOldFileWhole) {
    const std::string original = "/a.jpg|True\r\n";
    test::TempFolder folder;
    WriteBytes(folder / kIndexFileName, original);
    IndexStore store(folder.Path());
    DisplayList list;
    store.Load(list);
    for (int i = 0; i < 2000; ++i) {
        list.Add({"/pictures/holiday/" + std::to_string(i) + ".jpg"});
    }
    const auto expectOnlyTheOldFile = [&] {
        EXPECT_EQ(ReadBytes(folder / kIndexFileName), original);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()),
                  1);
    };
    store.beforeRename = [] { throw std::runtime_error("power cut"); };
    EXPECT_THROW(store.Save(list), std::runtime_error);
    expectOnlyTheOldFile();
    store.beforeRename = nullptr;
#ifdef __linux__
    // A full disk: the file size limit makes the write fail the same way (EFBIG), also for root.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(store.Save(list), fs::filesystem_error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    expectOnlyTheOldFile();
#endif
}

TEST(IndexFile, SavingWhereNoFileCanBeIsAnError) {
    test::TempFolder folder;
    fs::create_directory(folder / kIndexFileName);
    IndexStore overFolder(folder.Path());
    DisplayList list;
    overFolder.Load(list);  // not a file: counts as missing
    list.Add({"/a.jpg"});
    EXPECT_THROW(overFolder.Save(list), fs::filesystem_error);
    EXPECT_TRUE(fs::is_directory(folder / kIndexFileName));
    try {
        IndexStore(folder / "gone").Save(list);
        FAIL() << "saving into a missing folder succeeded";
    } catch (...) {
        EXPECT_EQ(DescribeException(std::current_exception()).number, errnum::FileNotFound);
    }
}

}  // namespace
}  // namespace tavrino::library
