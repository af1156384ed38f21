// ApplyWallpaper over the real registry class and file store: style values, registry messages,
// the existence check, what reaches the desktop; and how the desktops' tools are run.
#include <gtest/gtest.h>

#include <QFile>
#include <filesystem>
#include <functional>
#include <optional>

#include "common/TestSupport.h"
#include "settings/Options.h"
#include "settings/RegistryFileStore.h"
#include "settings/clsRegEdit.h"
#include "support/MessageBox.h"
#include "support/errors/ErrorCodes.h"
#include "wallpaper/desktop/ApplyWallpaper.h"
#include "wallpaper/desktop/DesktopProcess.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {
namespace {

using Value = std::optional<std::string>;  // the stored bytes; nothing for a missing value
constexpr const char* kDesktopKey = "Control Panel\\desktop";
const std::string kTileMessage = "Problem Setting Registry (TileWallPaper)";
const std::string kStyleMessage = "Problem Setting Registry (WallpaperStyle Centered)";

// Records what the desktop was asked to do; can refuse like a real desktop.
class RecordingDesktop final : public DesktopSetter {
public:
    [[nodiscard]] std::string Name() const override { return "recording"; }
    void SetBackground(const std::string& bitmapPath, Placement placement) override {
        calls.emplace_back(bitmapPath, placement);
        if (refuse) {
            throw Error(errnum::DesktopRefused, "gsettings set failed: No such schema");
        }
    }
    std::vector<std::pair<std::string, Placement>> calls;
    bool refuse = false;
};

class ApplyWallpaperTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteBytes(image_, "picture");
        // Each message says how many error reports came before it.
        SetMessageInterceptor([this](const ShownMessage& m) {
            messages_.push_back(std::to_string(reporter_.reports.size()) + ":" +
                                m.text.toStdString() + (m.icon == MessageIcon::None ? "" : "!"));
        });
    }
    void TearDown() override { SetMessageInterceptor({}); }

    [[nodiscard]] RegistryFileStore Store(bool readOnly = false) const {
        RegistryFileOptions options;
        options.userFile = folder_ / "registry.txt";
        options.userReadOnly = readOnly;
        return RegistryFileStore(options);
    }
    // Starts afresh: the two values as given, nothing recorded.
    void Seed(const Value& tile, const Value& style) {
        std::filesystem::remove(folder_ / "registry.txt");
        RegistryFileStore store = Store();
        RegKey key = 0;
        ASSERT_EQ(store.CreateKey(reg::CurrentUser, kDesktopKey, key), 0);
        for (const auto& [name, value] :
             {std::pair{"TileWallpaper", tile}, {"WallpaperStyle", style}}) {
            if (value) {
                store.SetValue(key, name, reg::Sz,
                               reinterpret_cast<const std::uint8_t*>(value->data()),
                               static_cast<std::uint32_t>(value->size()));
            }
        }
        store.CloseKey(key);
        messages_.clear();
        reporter_.reports.clear();
        desktop_.calls.clear();
    }
    Value Stored(const char* name) {
        RegistryFileStore store = Store();
        RegKey key = 0;
        std::uint8_t data[64] = {};
        std::uint32_t size = sizeof data;
        const bool found =
            store.OpenKey(reg::CurrentUser, kDesktopKey, 0, reg::AllButStandardRights, key) == 0 &&
            store.QueryValue(key, name, nullptr, data, &size) == 0;
        return found ? Value(std::string(reinterpret_cast<const char*>(data), size)) : std::nullopt;
    }

    // Runs ApplyWallpaper once with the given check-box states.
    void Apply(int tile, int stretch, int aspect, bool readOnly = false) {
        RegistryFileStore store = Store(readOnly);
        clsRegEdit registry(store, reporter_);
        registry.SetTopHKey(reg::CurrentUser);
        registry.SetKeyName(kDesktopKey);
        if (previousRead_) {
            registry.SetRegCurrentValue(*previousRead_);
        }
        test::MemorySettingsStore settings;
        OptionBoxes boxes(settings, reporter_);
        boxes.SetState(Option::Aspect, aspect);
        boxes.SetState(Option::Stretch, stretch);
        boxes.SetState(Option::Tile, tile);
        const auto compose = [this](const std::string& path) {
            composed_.push_back(path);
            if (composeWrites_) {
                test::WriteBytes(bitmap_, "BM composed from " + path);
            }
        };
        ApplyWallpaper(
            reporter_, boxes, registry, compose, [this] { return index_; },
            [this](std::int32_t row) { return row == 1 ? row1_ : std::string(); }, desktop_,
            bitmap_.string())();
    }

    test::TempFolder folder_;
    std::filesystem::path image_ = folder_ / "holiday.jpg";
    std::filesystem::path bitmap_ = folder_ / "TavrinoWallpaperManager.bmp";
    std::string row1_ = image_.string();
    std::int32_t index_ = 1;
    std::optional<RegValue> previousRead_;
    bool composeWrites_ = true;
    test::RecordingReporter reporter_;
    RecordingDesktop desktop_;
    std::vector<std::string> messages_;
    std::vector<std::string> composed_;
};

TEST_F(ApplyWallpaperTest, BringsTheStyleValuesInLineWithTheOptionsAndWritesNothingElse) {
    struct Case {
        const char* what;
        int tile, stretch, aspect;
        Value tileBefore, styleBefore, tileAfter, styleAfter;
        Placement placement;
    };
    const std::string nul0("0\0", 2), nul2("2\0", 2);
    // clang-format off
    const Case cases[] = {
        {"tile on flips 0 to 1, style 2 to 0",  1, 0, 1, "0", "2", "1", "0", Placement::Tiled},
        {"tile off flips 1 to 0",               0, 0, 1, "1", "0", "0", "0", Placement::Centred},
        {"stretch alone flips 0 to 2",          0, 1, 0, "0", "0", "0", "2", Placement::Stretched},
        {"stretch with aspect flips 2 to 0",    0, 1, 1, "0", "2", "0", "0", Placement::Centred},
        {"neither flips 2 to 0",                0, 0, 0, "0", "2", "0", "0", Placement::Centred},
        {"matching values stay",                0, 1, 0, "0", "2", "0", "2", Placement::Stretched},
        {"matching tile stays",                 1, 0, 0, "1", "0", "1", "0", Placement::Tiled},
        {"another style is left alone",         0, 1, 0, "0", "6", "0", "6", Placement::Centred},
        {"another tile text is left alone",     1, 0, 0, "x", "0", "x", "0", Placement::Centred},
        {"empty values are left alone",         1, 0, 0, "", "", "", "", Placement::Centred},
        {"longer texts: the first character",   0, 0, 0, "10", "22", "0", "0", Placement::Centred},
        {"NUL-terminated 0 and 2 count",        1, 0, 0, nul0, nul2, "1", "0", Placement::Tiled},
        {"tile clears stretch (exclusive)",     1, 1, 0, "0", "2", "1", "0", Placement::Tiled},
        {"tile checked with any non-zero",      2, 0, 0, "0", "0", "1", "0", Placement::Tiled},
        {"stretch counts only when exactly 1",  0, 2, 0, "0", "2", "0", "0", Placement::Centred},
        {"aspect is off only when 0",           0, 1, 2, "0", "2", "0", "0", Placement::Centred},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Seed(c.tileBefore, c.styleBefore);
        Apply(c.tile, c.stretch, c.aspect);
        EXPECT_EQ(Stored("TileWallpaper"), c.tileAfter);
        EXPECT_EQ(Stored("WallpaperStyle"), c.styleAfter);
        ASSERT_EQ(desktop_.calls.size(), 1U);
        EXPECT_EQ(desktop_.calls[0].first, bitmap_.string());
        EXPECT_STREQ(PlacementName(desktop_.calls[0].second), PlacementName(c.placement));
        // Values in line are not written again: a read-only store has nothing to refuse.
        Apply(c.tile, c.stretch, c.aspect, true);
        EXPECT_TRUE(messages_.empty() && reporter_.reports.empty());
    }
    EXPECT_EQ(composed_.size(), 2 * std::size(cases));
}

TEST_F(ApplyWallpaperTest, RegistryProblemsAreReportedThenWordedAndTheWallpaperIsStillSet) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
        int tile;
        bool readOnly;
        std::vector<std::string> messages, reports;
        Value tileAfter;
        Placement placement;
    };
    const std::string kMissing = "Bad Or Missing Registry Key";
    // clang-format off
    const Case cases[] = {
        // The previous read left "1" behind; it must not be taken for the missing value.
        {"tile missing", [this] { Seed({}, "0"); previousRead_ = RegValue{std::string("1")}; }, 0, false, {"1:" + kTileMessage}, {kMissing}, {}, Placement::Centred},
        {"both missing", [this] { Seed({}, {}); }, 1, false, {"1:" + kTileMessage, "2:" + kStyleMessage}, {kMissing, kMissing}, {}, Placement::Centred},
        {"a damaged store", [this] { Seed({}, {}); test::WriteBytes(folder_ / "registry.txt", "not a registry\n"); }, 1, false, {"1:" + kTileMessage, "2:" + kStyleMessage}, {"Bad Or Missing Registry", kMissing}, {}, Placement::Centred},
        // A write that fails: only the value that needed writing complains; the options decide.
        {"a refused write", [this] { Seed("0", "0"); }, 1, true, {"1:" + kTileMessage}, {"Unable To Write Value To Registry Key"}, "0", Placement::Tiled},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        previousRead_.reset();
        c.arrange();
        Apply(c.tile, 0, 0, c.readOnly);
        EXPECT_EQ(messages_, c.messages);
        std::vector<std::string> reports;
        for (const test::Report& report : reporter_.reports) {
            EXPECT_EQ(report.location, loc::RegistryCheckError);
            reports.push_back(report.description);
        }
        EXPECT_EQ(reports, c.reports);
        EXPECT_EQ(Stored("TileWallpaper"), c.tileAfter) << "nothing written from other data";
        ASSERT_EQ(desktop_.calls.size(), 1U);
        EXPECT_EQ(desktop_.calls[0].second, c.placement);
    }
}

TEST_F(ApplyWallpaperTest, WithoutAnExistingImageNothingIsComposedOrSet) {
    test::WriteBytes(folder_ / ".secret.jpg", "picture");  // hidden files and folders do not count
    // clang-format off
    const std::pair<std::string, std::int32_t> cases[] = {
        {(folder_ / "gone.jpg").string(), 1},
        {folder_.Path().string(), 1},
        {(folder_ / ".secret.jpg").string(), 1},
        {image_.string(), 7},
    };
    // clang-format on
    for (const auto& [path, index] : cases) {
        Seed("0", "0");
        row1_ = path;
        index_ = index;
        Apply(0, 1, 0);
        EXPECT_EQ(Stored("WallpaperStyle"), "2") << "the values are still brought in line";
    }
    // Index 0: not even a registry read, which would find the store damaged.
    test::WriteBytes(folder_ / "registry.txt", "not a registry\n");
    index_ = 0;
    Apply(1, 0, 0);
    EXPECT_TRUE(composed_.empty() && desktop_.calls.empty() && messages_.empty() &&
                reporter_.reports.empty());
}

TEST_F(ApplyWallpaperTest, WhatGoesWrongAfterTheValuesIsReportedUnder13) {
    // clang-format off
    const std::tuple<const char*, bool, bool, bool, std::size_t, std::int32_t> cases[] = {
        // what, desktop refuses, compose writes, a previous bitmap, desktop calls, reported (0: none)
        {"the desktop refuses",                       true, true, false, 1, errnum::DesktopRefused},
        {"no bitmap was ever written",                false, false, false, 0, errnum::FileNotFound},
        {"a failed composition: the previous bitmap", false, false, true, 1, 0},
    };
    // clang-format on
    for (const auto& [what, refuse, composeWrites, previousBitmap, calls, number] : cases) {
        SCOPED_TRACE(what);
        Seed("0", "0");
        std::filesystem::remove(bitmap_);
        if (previousBitmap) {
            test::WriteBytes(bitmap_, "BM previous");
        }
        desktop_.refuse = refuse;
        composeWrites_ = composeWrites;
        Apply(0, 0, 0);
        EXPECT_EQ(desktop_.calls.size(), calls);
        ASSERT_EQ(reporter_.reports.size(), number == 0 ? 0U : 1U);
        if (number != 0) {
            EXPECT_EQ(reporter_.reports[0].location, loc::ApplyWallpaper);
            EXPECT_EQ(reporter_.reports[0].number, number);
        }
        EXPECT_TRUE(messages_.empty());
    }
}

// Starting the desktops' tools: missing programs, failures, hangs, the environment they see.
TEST(DesktopProcess, FailuresAreRefusalsInTheProgramsOwnWords) {
    test::TempFolder bin;
    test::WriteBytes(bin / "tavrino-probe", "#!/bin/sh\necho found-in-private-path\n");
    QFile::setPermissions(QString::fromStdString((bin / "tavrino-probe").string()),
                          QFile::ReadOwner | QFile::ExeOwner);
    const Environment env{{"PATH", bin.Path().string() + ":/usr/bin:/bin"}, {"PROBE", "a 'c'"}};
    const auto sh = [&](const char* script) {
        RunProgramChecked(env, "sh", {"-c", QLatin1String(script)});
    };
    // clang-format off
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { RunProgram(env, "tavrino-no-such-tool", {}); }, "tavrino-no-such-tool\" that sets this desktop's wallpaper is not installed"},
        {[&] { sh("echo partial; echo 'No such schema' >&2; exit 3"); }, "(exit code 3): No such schema"},
        {[&] { sh("echo refused; exit 1"); }, "refused"},
        {[&] { RunProgram(env, "sleep", {"30"}, 300); }, "no answer"},
    };
    // clang-format on
    for (const auto& [run, words] : cases) {
        try {
            run();
            ADD_FAILURE() << "no failure for " << words;
        } catch (const Error& error) {
            EXPECT_EQ(error.Number(), errnum::DesktopRefused);
            EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
        }
    }
    // Exactly the given environment and arguments, no shell between; found on the given PATH.
    EXPECT_EQ(RunProgramChecked(env, "sh",
                                {"-c", "printf '%s|%s|%s' \"$PROBE\" \"$HOME\" \"$1\"", "sh",
                                 "$(echo no) ; `no`"})
                  .output,
              "a 'c'||$(echo no) ; `no`");
    EXPECT_EQ(RunProgramChecked(env, "tavrino-probe", {}).output, "found-in-private-path\n");
}

}  // namespace
}  // namespace tavrino
