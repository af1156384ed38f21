// The per-change file names handed to desktops that cache the wallpaper by name.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>

#include "wallpaper/desktop/ChangeFileNames.h"

namespace fs = std::filesystem;

namespace tavrino {
namespace {

class ChangeFileNamesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        folder_ = fs::temp_directory_path() / ("tavrino-change-names-" + std::to_string(random()));
        fs::create_directories(folder_);
        composed_ = folder_ / "TavrinoWallpaperManager.bmp";
        Write(composed_, "first picture");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    static void Write(const fs::path& file, const std::string& text) {
        // Replaced the way the composer replaces it: a new file renamed over the old one.
        const fs::path temporary = file.string() + ".tmp";
        std::ofstream(temporary, std::ios::binary) << text;
        fs::rename(temporary, file);
    }
    static std::string Read(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    fs::path folder_;
    fs::path composed_;
};

TEST_F(ChangeFileNamesTest, EachChangeGetsANewNameAndThePreviousGoesAfterSuccess) {
    ChangeFileNames names(composed_);
    const fs::path first = names.Prepare();
    names.Commit(first);
    EXPECT_EQ(Read(first), "first picture");

    Write(composed_, "second picture");
    const fs::path second = names.Prepare();
    EXPECT_NE(first, second);
    // Until the desktop has taken the new one, the old one it shows must stay.
    EXPECT_TRUE(fs::exists(first));
    EXPECT_EQ(Read(first), "first picture");
    EXPECT_EQ(Read(second), "second picture");
    names.Commit(second);
    EXPECT_EQ(Files(),
              (std::set<std::string>{"TavrinoWallpaperManager.bmp", second.filename().string()}));
    EXPECT_EQ(Read(composed_), "second picture");
}

TEST_F(ChangeFileNamesTest, ARefusedChangeKeepsTheNameTheDesktopStillShows) {
    ChangeFileNames names(composed_);
    const fs::path shown = names.Prepare();
    names.Commit(shown);
    const fs::path refused = names.Prepare();
    names.Discard(refused);
    EXPECT_EQ(Files(),
              (std::set<std::string>{"TavrinoWallpaperManager.bmp", shown.filename().string()}));
}

TEST_F(ChangeFileNamesTest, LeftoversOfAnEarlierRunGoButOtherFilesStay) {
    for (const char* name :
         {"TavrinoWallpaperManager-17.bmp", "TavrinoWallpaperManager-99999999999999.bmp"}) {
        Write(folder_ / name, "old");
    }
    for (const char* name : {"TavrinoWallpaperManager-x.bmp", "TavrinoWallpaperManager-12.png",
                             "images.idx", "TavrinoWallpaperManager-.bmp", "Other-12.bmp"}) {
        Write(folder_ / name, "keep");
    }
    ChangeFileNames names(composed_);
    const fs::path fresh = names.Prepare();
    names.Commit(fresh);
    EXPECT_EQ(Files(), (std::set<std::string>{
                           "TavrinoWallpaperManager.bmp", fresh.filename().string(),
                           "TavrinoWallpaperManager-x.bmp", "TavrinoWallpaperManager-12.png",
                           "images.idx", "TavrinoWallpaperManager-.bmp", "Other-12.bmp"}));
}

TEST_F(ChangeFileNamesTest, ManyChangesInOneMillisecondStillGetDistinctNames) {
    ChangeFileNames names(composed_);
    std::set<fs::path> seen;
    for (int i = 0; i < 50; ++i) {
        EXPECT_TRUE(seen.insert(names.Prepare()).second);
    }
    // A second object (a restarted program) does not reuse a name that exists.
    ChangeFileNames again(composed_);
    EXPECT_TRUE(seen.insert(again.Prepare()).second);
}

TEST_F(ChangeFileNamesTest, AMissingComposedFileIsAnErrorNotAnEmptyName) {
    fs::remove(composed_);
    ChangeFileNames names(composed_);
    EXPECT_THROW((void)names.Prepare(), fs::filesystem_error);
    EXPECT_TRUE(Files().empty());
}

TEST(ChangeFileNamesNames, RecognisesOnlyItsOwnPattern) {
    const ChangeFileNames names(fs::path("/d/TavrinoWallpaperManager.bmp"));
    EXPECT_TRUE(names.IsChangeFileName("/d/TavrinoWallpaperManager-1.bmp"));
    EXPECT_TRUE(names.IsChangeFileName("TavrinoWallpaperManager-1733490000123.bmp"));
    EXPECT_FALSE(names.IsChangeFileName("/d/TavrinoWallpaperManager.bmp"));
    EXPECT_FALSE(names.IsChangeFileName("/d/TavrinoWallpaperManager-1a.bmp"));
    EXPECT_FALSE(names.IsChangeFileName("/d/TavrinoWallpaperManager-1.bmp.tmp"));
    EXPECT_FALSE(names.IsChangeFileName("/d/xTavrinoWallpaperManager-1.bmp"));
}

}  // namespace
}  // namespace tavrino
