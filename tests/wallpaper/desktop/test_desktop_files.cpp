// The per-change file names handed to desktops that cache the wallpaper by name.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "common/TestSupport.h"
#include "wallpaper/desktop/ChangeFileNames.h"

namespace fs = std::filesystem;

namespace tavrino {
namespace {

class ChangeFileNamesTest : public ::testing::Test {
protected:
    // Replaced the way the composer replaces it: a new file renamed over the old one.
    void Compose(const std::string& text) const {
        test::WriteBytes(folder_ / "new.tmp", text);
        fs::rename(folder_ / "new.tmp", composed_);
    }
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_.Path())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    test::TempFolder folder_;
    fs::path composed_ = folder_ / "TavrinoWallpaperManager.bmp";
};

TEST_F(ChangeFileNamesTest, EachChangeGetsANewNameAndThePreviousGoesOnlyAfterSuccess) {
    const std::set<std::string> others = {"TavrinoWallpaperManager-x.bmp",
                                          "TavrinoWallpaperManager-12.png", "images.idx",
                                          "TavrinoWallpaperManager-.bmp", "Other-12.bmp"};
    for (const std::string& name : others) {
        test::WriteBytes(folder_ / name, "keep");
    }
    test::WriteBytes(folder_ / "TavrinoWallpaperManager-17.bmp", "left by an earlier run");
    Compose("first picture");
    ChangeFileNames names(composed_);
    const fs::path first = names.Prepare();
    names.Commit(first);
    EXPECT_EQ(test::ReadBytes(first), "first picture");

    Compose("second picture");
    const fs::path second = names.Prepare();
    EXPECT_NE(first, second);
    // Until the desktop has taken the new one, the one it shows must stay.
    EXPECT_EQ(test::ReadBytes(first), "first picture");
    EXPECT_EQ(test::ReadBytes(second), "second picture");
    names.Discard(second);  // refused: the desktop still shows the first
    std::set<std::string> expected = others;
    expected.insert({composed_.filename().string(), first.filename().string()});
    EXPECT_EQ(Files(), expected);

    const fs::path third = names.Prepare();
    names.Commit(third);
    expected.erase(first.filename().string());
    expected.insert(third.filename().string());
    EXPECT_EQ(Files(), expected);
}

TEST_F(ChangeFileNamesTest, NamesAreDistinctWithinAMillisecondAndAcrossRuns) {
    Compose("picture");
    ChangeFileNames names(composed_);
    std::set<fs::path> seen;
    for (int i = 0; i < 50; ++i) {
        EXPECT_TRUE(seen.insert(names.Prepare()).second);
    }
    EXPECT_TRUE(seen.insert(ChangeFileNames(composed_).Prepare()).second);
    fs::remove(composed_);
    EXPECT_THROW((void)names.Prepare(), fs::filesystem_error) << "never an empty name";
    // clang-format off
    const std::pair<const char*, bool> cases[] = {
        {"/d/TavrinoWallpaperManager-1.bmp", true}, {"TavrinoWallpaperManager-1733490000123.bmp", true},
        {"/d/TavrinoWallpaperManager.bmp", false}, {"/d/TavrinoWallpaperManager-1a.bmp", false},
        {"/d/TavrinoWallpaperManager-1.bmp.tmp", false}, {"/d/xTavrinoWallpaperManager-1.bmp", false},
    };
    // clang-format on
    for (const auto& [name, own] : cases) {
        EXPECT_EQ(names.IsChangeFileName(name), own) << name;
    }
}

}  // namespace
}  // namespace tavrino
