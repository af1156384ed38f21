#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "library/FolderListing.h"
#include "library/IndexFile.h"

namespace tavrino::library {
namespace {

namespace fs = std::filesystem;
using test::WriteBytes;

TEST(FolderListing, ImageNamesEndInJpgJpegGifOrBmpInAnyCase) {
    // clang-format off
    for (const char* name : {"a.JPG", "b.jpeg", "c.Gif", "d.bmp", "photojpg", "x.JpEg", "xjpeg"}) {
        EXPECT_TRUE(IsImageFileName(name)) << name;
    }
    for (const char* name : {"e.png", "ajpg", ".bmp", "jpeg", "bmp", "", "a.jpg.txt", "a.jpe"}) {
        EXPECT_FALSE(IsImageFileName(name)) << name;
    }
    // clang-format on
    const std::string sep(1, kPathSeparator);
    EXPECT_EQ(JoinFolderAndName(sep, "a.jpg"), sep + "a.jpg");
    EXPECT_EQ(JoinFolderAndName(sep + "p", "a.jpg"), sep + "p" + sep + "a.jpg");
    EXPECT_EQ(JoinFolderAndName(sep + "p" + sep, "a.jpg"), sep + "p" + sep + "a.jpg");
}

TEST(FolderListing, ListsTheVisibleImageFilesByTheirOwnBytes) {
    test::TempFolder folder;
    for (const char* name : {"a.JPG", "b.jpeg", "c.Gif", "d.bmp", "e.png", "photojpg", ".x.jpg"}) {
        WriteBytes(folder / name, "data");
    }
    fs::create_directory(folder / "g.jpg");
    std::vector<std::string> expected{"a.JPG", "b.jpeg", "c.Gif", "d.bmp", "photojpg"};
#ifndef _WIN32
    const std::string notUtf8 = "holiday \xff\xfe\xc3(.jpg";
    WriteBytes(folder.Path() / fs::path(notUtf8), "data");
    fs::create_symlink(folder / "a.JPG", folder / "link.jpg");
    fs::create_symlink(folder / "missing.jpg", folder / "broken.jpg");
    expected.insert(expected.end(), {notUtf8, "link.jpg"});
#endif
    std::vector<std::string> names = ListFolderImages(folder.Path());
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    for (const std::string& name : names) {
        EXPECT_TRUE(fs::exists(ToFsPath(JoinFolderAndName(FromFsPath(folder.Path()), name))));
    }
    EXPECT_THROW(ListFolderImages(folder / "vanished"), fs::filesystem_error);
}

}  // namespace
}  // namespace tavrino::library
