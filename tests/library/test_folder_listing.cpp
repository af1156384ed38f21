#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "library/FolderListing.h"
#include "library/IndexFile.h"

#ifdef __linux__
#include <unistd.h>
#endif

namespace tavrino::library {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;
using test::WriteBytes;

struct NameCase {
    const char* name;
    bool image;
};

class ImageNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(ImageNameTest, FollowsTheEndingRule) {
    EXPECT_EQ(IsImageFileName(GetParam().name), GetParam().image) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Names, ImageNameTest,
                         ::testing::Values(NameCase{"a.JPG", true}, NameCase{"b.jpeg", true},
                                           NameCase{"c.Gif", true}, NameCase{"d.bmp", true},
                                           NameCase{"photojpg", true}, NameCase{"x.JpEg", true},
                                           NameCase{"e.png", false}, NameCase{"f.txt", false},
                                           NameCase{"ajpg", false}, NameCase{".bmp", false},
                                           NameCase{"jpeg", false}, NameCase{"bmp", false},
                                           NameCase{"", false}, NameCase{"a.jpg.txt", false},
                                           NameCase{"a.jpe", false}, NameCase{"xjpeg", true}));

TEST(FolderListingTest, JoinPutsOneSeparator) {
    const std::string sep(1, kPathSeparator);
    EXPECT_EQ(JoinFolderAndName(sep, "a.jpg"), sep + "a.jpg");
    EXPECT_EQ(JoinFolderAndName(sep + "pics", "a.jpg"), sep + "pics" + sep + "a.jpg");
    EXPECT_EQ(JoinFolderAndName(sep + "pics" + sep, "a.jpg"), sep + "pics" + sep + "a.jpg");
#ifdef _WIN32
    EXPECT_EQ(JoinFolderAndName("C:\\", "a.jpg"), "C:\\a.jpg");
    EXPECT_EQ(JoinFolderAndName("C:\\Pictures", "b.gif"), "C:\\Pictures\\b.gif");
#endif
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FolderListingTest, ListsOnlyVisibleImageFiles) {
    TempFolder folder;
    for (const char* name : {"a.JPG", "b.jpeg", "c.Gif", "d.bmp", "e.png", "f.txt", "photojpg",
                             "ajpg", ".bmp", ".x.jpg"}) {
        WriteBytes(folder / name, "data");
    }
    fs::create_directory(folder / "g.jpg");
    WriteBytes(folder / "g.jpg" / "inner.jpg", "data");
    EXPECT_EQ(Sorted(ListFolderImages(folder.Path())),
              (std::vector<std::string>{"a.JPG", "b.jpeg", "c.Gif", "d.bmp", "photojpg"}));
}

TEST(FolderListingTest, EmptyFolderListsNothing) {
    TempFolder folder;
    EXPECT_TRUE(ListFolderImages(folder.Path()).empty());
}

#ifndef _WIN32
TEST(FolderListingTest, NameThatIsNotUtf8KeepsItsBytes) {
    TempFolder folder;
    const std::string name = "holiday \xff\xfe\xc3(.jpg";
    WriteBytes(folder.Path() / fs::path(name), "data");
    const std::vector<std::string> names = ListFolderImages(folder.Path());
    ASSERT_EQ(names.size(), 1U);
    EXPECT_EQ(names[0], name);
    EXPECT_TRUE(fs::exists(ToFsPath(JoinFolderAndName(FromFsPath(folder.Path()), names[0]))));
}

TEST(FolderListingTest, LinkToFileCountsBrokenLinkDoesNot) {
    TempFolder folder;
    fs::create_directory(folder / "real");
    WriteBytes(folder / "real" / "r.jpg", "data");
    fs::create_symlink(folder / "real" / "r.jpg", folder / "link.jpg");
    fs::create_symlink(folder / "real" / "missing.jpg", folder / "broken.jpg");
    EXPECT_EQ(ListFolderImages(folder.Path()), std::vector<std::string>{"link.jpg"});
}
#endif

TEST(FolderListingTest, MissingFolderThrows) {
    TempFolder folder;
    EXPECT_THROW(ListFolderImages(folder / "vanished"), fs::filesystem_error);
}

#ifdef __linux__
TEST(FolderListingTest, FolderWithoutPermissionThrows) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "running as root: permission bits do not stop root from listing";
    }
    TempFolder folder;
    fs::create_directory(folder / "closed");
    WriteBytes(folder / "closed" / "a.jpg", "data");
    fs::permissions(folder / "closed", fs::perms::none);
    EXPECT_THROW(ListFolderImages(folder / "closed"), fs::filesystem_error);
    fs::permissions(folder / "closed", fs::perms::owner_all);
}
#endif

}  // namespace
}  // namespace tavrino::library
