// ApplyWallpaper against the real registry class over a file-backed store: which style values
// are written, the registry messages, the existence check, and what reaches the desktop.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "settings/Options.h"
#include "settings/RegistryFileStore.h"
#include "settings/clsRegEdit.h"
#include "support/MessageBox.h"
#include "support/errors/ErrorCodes.h"
#include "support/errors/Errors.h"
#include "wallpaper/desktop/ApplyWallpaper.h"
#include "wallpaper/desktop/DesktopSetter.h"

namespace tavrino {
namespace {

constexpr const char* kDesktopKey = "Control Panel\\desktop";
const QString kTileMessage = QStringLiteral("Problem Setting Registry (TileWallPaper)");
const QString kStyleMessage = QStringLiteral("Problem Setting Registry (WallpaperStyle Centered)");

// Counts the registry operations so "no registry access" can be checked.
class CountingRegistry final : public RegistryApi {
public:
    explicit CountingRegistry(RegistryApi& inner) : inner_(inner) {}
    std::int32_t CreateKey(RegKey root, const std::string& subKey, RegKey& key) override {
        ++calls;
        return inner_.CreateKey(root, subKey, key);
    }
    std::int32_t OpenKey(RegKey root, const std::string& subKey, std::uint32_t options,
                         std::uint32_t access, RegKey& key) override {
        ++calls;
        return inner_.OpenKey(root, subKey, options, access, key);
    }
    std::int32_t QueryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* size) override {
        ++calls;
        return inner_.QueryValue(key, valueName, type, data, size);
    }
    std::int32_t SetValue(RegKey key, const std::string& valueName, std::uint32_t type,
                          const std::uint8_t* data, std::uint32_t size) override {
        ++calls;
        ++writes;
        return inner_.SetValue(key, valueName, type, data, size);
    }
    std::int32_t CloseKey(RegKey key) override {
        ++calls;
        return inner_.CloseKey(key);
    }
    int calls = 0;
    int writes = 0;

private:
    RegistryApi& inner_;
};

// Records what the desktop was asked to do; can refuse like a real desktop.
class RecordingDesktop final : public DesktopSetter {
public:
    struct Call {
        std::string path;
        Placement placement;
    };
    [[nodiscard]] std::string Name() const override { return "recording"; }
    void SetBackground(const std::string& bitmapPath, Placement placement) override {
        calls.push_back({bitmapPath, placement});
        if (refuse) {
            throw Error(errnum::DesktopRefused,
                        "gsettings set failed (exit code 1): No such schema");
        }
    }
    std::vector<Call> calls;
    bool refuse = false;
};

struct Stored {
    std::optional<std::string> tile;  // raw bytes, nullopt for a missing value
    std::optional<std::string> style;
};

class ApplyWallpaperTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        registryFile_ = folder_.path().toStdString() + "/registry.txt";
        bitmap_ = folder_.path().toStdString() + "/TavrinoWallpaperManager.bmp";
        image_ = folder_.path().toStdString() + "/holiday.jpg";
        std::ofstream(image_) << "picture";
        rows_ = {"", image_};
        SetMessageInterceptor([this](const ShownMessage& message) {
            messages_.push_back(message);
            events_.push_back("message:" + message.text.toStdString());
        });
    }
    void TearDown() override { SetMessageInterceptor({}); }

    void Seed(const Stored& stored) {
        RegistryFileData data;
        RegistryFileKey key;
        key.path = kDesktopKey;
        if (stored.tile) {
            key.values.push_back({"TileWallpaper", reg::Sz, *stored.tile});
        }
        if (stored.style) {
            key.values.push_back({"WallpaperStyle", reg::Sz, *stored.style});
        }
        data.keys["control panel"] = RegistryFileKey{"Control Panel", {}};
        data.keys[CanonicalKeyPath(kDesktopKey)] = key;
        data.keys[""] = RegistryFileKey{"", {}};
        std::ofstream(registryFile_, std::ios::binary | std::ios::trunc)
            << FormatRegistryFile(data);
    }

    Stored Read() const {
        std::ifstream in(registryFile_, std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        const auto data = ParseRegistryFile(text);
        Stored stored;
        if (!data) {
            return stored;
        }
        const auto key = data->keys.find(CanonicalKeyPath(kDesktopKey));
        if (key == data->keys.end()) {
            return stored;
        }
        for (const RegistryFileValue& value : key->second.values) {
            if (value.name == "TileWallpaper") {
                stored.tile = value.bytes;
            } else if (value.name == "WallpaperStyle") {
                stored.style = value.bytes;
            }
        }
        return stored;
    }

    // Runs ApplyWallpaper once with the given check-box states.
    void Apply(int tile, int stretch, int aspect, std::int32_t currentIndex = 1) {
        RegistryFileOptions options;
        options.userFile = registryFile_;
        options.userReadOnly = readOnly_;
        RegistryFileStore store(options);
        CountingRegistry counting(store);
        reporterOwner_ = std::make_unique<ForwardingReporter>(*this);
        clsRegEdit registry(counting, *reporterOwner_);
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
        ApplyWallpaper apply(
            *reporterOwner_, boxes, registry,
            [this](const std::string& path) {
                composed_.push_back(path);
                events_.push_back("compose");
                if (composeWrites_) {
                    std::ofstream(bitmap_, std::ios::binary) << "BM composed from " << path;
                }
            },
            [currentIndex] { return currentIndex; },
            [this](std::int32_t row) {
                return row >= 0 && static_cast<std::size_t>(row) < rows_.size()
                           ? rows_[static_cast<std::size_t>(row)]
                           : std::string();
            },
            desktop_, bitmap_);
        apply();
        registryCalls_ = counting.calls;
        registryWrites_ = counting.writes;
        placementSeen_ = {apply.TileWallpaperSeen(), apply.WallpaperStyleSeen()};
    }

    // Reports land in one sequence with the messages, so their order can be checked.
    class ForwardingReporter final : public ErrorReporter {
    public:
        explicit ForwardingReporter(ApplyWallpaperTest& test) : test_(test) {}
        void ShowErrorReport(int location, std::int32_t number,
                             const std::string& description) override {
            test_.reporter_.ShowErrorReport(location, number, description);
            test_.events_.push_back("report:" + std::to_string(location) + ":" + description);
        }

    private:
        ApplyWallpaperTest& test_;
    };

    QTemporaryDir folder_;
    std::string registryFile_;
    std::string bitmap_;
    std::string image_;
    std::vector<std::string> rows_;
    std::optional<RegValue> previousRead_;
    bool composeWrites_ = true;
    bool readOnly_ = false;
    test::RecordingReporter reporter_;
    std::unique_ptr<ForwardingReporter> reporterOwner_;
    RecordingDesktop desktop_;
    std::vector<ShownMessage> messages_;
    std::vector<std::string> events_;
    std::vector<std::string> composed_;
    int registryCalls_ = 0;
    int registryWrites_ = 0;
    std::pair<std::string, std::string> placementSeen_;
};

struct FlipCase {
    const char* what;
    int tile, stretch, aspect;
    Stored before;
    Stored after;
    int writes;
    Placement placement;
};

class ApplyWallpaperFlips : public ApplyWallpaperTest,
                            public ::testing::WithParamInterface<FlipCase> {};

TEST_P(ApplyWallpaperFlips, BringsTheStyleValuesInLineWithTheOptions) {
    const FlipCase& c = GetParam();
    Seed(c.before);
    Apply(c.tile, c.stretch, c.aspect);
    const Stored after = Read();
    EXPECT_EQ(after.tile, c.after.tile);
    EXPECT_EQ(after.style, c.after.style);
    EXPECT_EQ(registryWrites_, c.writes);
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(reporter_.reports.empty());
    ASSERT_EQ(composed_, std::vector<std::string>{image_});
    ASSERT_EQ(desktop_.calls.size(), 1U);
    EXPECT_EQ(desktop_.calls[0].path, bitmap_);
    EXPECT_EQ(PlacementName(desktop_.calls[0].placement), std::string(PlacementName(c.placement)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ApplyWallpaperFlips,
    ::testing::Values(
        FlipCase{"tile on flips 0 to 1, style 2 to 0",
                 1,
                 0,
                 1,
                 {"0", "2"},
                 {"1", "0"},
                 2,
                 Placement::Tiled},
        FlipCase{"tile off flips 1 to 0", 0, 0, 1, {"1", "0"}, {"0", "0"}, 1, Placement::Centred},
        FlipCase{"stretch without aspect flips 0 to 2",
                 0,
                 1,
                 0,
                 {"0", "0"},
                 {"0", "2"},
                 1,
                 Placement::Stretched},
        FlipCase{"stretch with aspect flips 2 to 0",
                 0,
                 1,
                 1,
                 {"0", "2"},
                 {"0", "0"},
                 1,
                 Placement::Centred},
        FlipCase{"neither flips 2 to 0", 0, 0, 0, {"0", "2"}, {"0", "0"}, 1, Placement::Centred},
        FlipCase{"matching values are not written",
                 0,
                 1,
                 0,
                 {"0", "2"},
                 {"0", "2"},
                 0,
                 Placement::Stretched},
        FlipCase{
            "matching tile is not written", 1, 0, 0, {"1", "0"}, {"1", "0"}, 0, Placement::Tiled},
        FlipCase{
            "another style is left alone", 0, 1, 0, {"0", "6"}, {"0", "6"}, 0, Placement::Centred},
        FlipCase{"another tile text is left alone",
                 1,
                 0,
                 0,
                 {"x", "0"},
                 {"x", "0"},
                 0,
                 Placement::Centred},
        FlipCase{
            "an empty value is left alone", 1, 0, 0, {"", ""}, {"", ""}, 0, Placement::Centred},
        FlipCase{"a longer text is judged by its first character",
                 0,
                 0,
                 0,
                 {"10", "22"},
                 {"0", "0"},
                 2,
                 Placement::Centred},
        FlipCase{"NUL-terminated 0 counts as 0",
                 1,
                 0,
                 0,
                 {std::string("0\0", 2), std::string("2\0", 2)},
                 {"1", "0"},
                 2,
                 Placement::Tiled},
        FlipCase{"tile checked with any non-zero state",
                 2,
                 0,
                 0,
                 {"0", "0"},
                 {"1", "0"},
                 1,
                 Placement::Tiled},
        FlipCase{"stretch counts only when exactly 1",
                 0,
                 2,
                 0,
                 {"0", "2"},
                 {"0", "0"},
                 1,
                 Placement::Centred},
        FlipCase{"aspect counts as off only when 0",
                 0,
                 1,
                 2,
                 {"0", "2"},
                 {"0", "0"},
                 1,
                 Placement::Centred}),
    [](const ::testing::TestParamInfo<FlipCase>& param) {
        std::string name;
        for (const char ch : std::string(param.param.what)) {
            name += std::isalnum(static_cast<unsigned char>(ch)) != 0 ? ch : '_';
        }
        return name;
    });

TEST_F(ApplyWallpaperTest, CurrentIndexZeroTouchesNothing) {
    Seed({"0", "2"});
    Apply(1, 0, 0, 0);
    EXPECT_EQ(registryCalls_, 0);
    EXPECT_EQ(Read().tile, "0");
    EXPECT_TRUE(composed_.empty());
    EXPECT_TRUE(desktop_.calls.empty());
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(reporter_.reports.empty());
}

TEST_F(ApplyWallpaperTest, AMissingValueIsReportedThenTheMessageFollows) {
    // The previous read left "1" behind; that must not be taken for the missing value.
    Seed({std::nullopt, "0"});
    previousRead_ = RegValue{std::string("1")};
    Apply(0, 0, 1);
    EXPECT_EQ(Read().tile, std::nullopt) << "no value may be written from another value's data";
    EXPECT_EQ(Read().style, "0");
    ASSERT_GE(events_.size(), 2U);
    EXPECT_EQ(events_[0], "report:64:Bad Or Missing Registry Key");
    EXPECT_EQ(events_[1], "message:" + kTileMessage.toStdString());
    ASSERT_EQ(messages_.size(), 1U);
    EXPECT_EQ(messages_[0].icon, MessageIcon::None);
    EXPECT_EQ(messages_[0].title, kApplicationTitle);
    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].number, errnum::Registry);
    // The operation goes on and still sets the wallpaper.
    EXPECT_EQ(desktop_.calls.size(), 1U);
}

TEST_F(ApplyWallpaperTest, BothValuesMissingGiveBothMessagesInOrder) {
    Seed({std::nullopt, std::nullopt});
    Apply(1, 0, 0);
    std::vector<std::string> messageTexts;
    for (const ShownMessage& message : messages_) {
        messageTexts.push_back(message.text.toStdString());
    }
    EXPECT_EQ(messageTexts,
              (std::vector<std::string>{kTileMessage.toStdString(), kStyleMessage.toStdString()}));
    EXPECT_EQ(reporter_.reports.size(), 2U);
    EXPECT_EQ(registryWrites_, 0);
    ASSERT_EQ(desktop_.calls.size(), 1U);
    EXPECT_EQ(desktop_.calls[0].placement, Placement::Centred);
}

TEST_F(ApplyWallpaperTest, TheRowsFileDeletedUpdatesValuesButNothingElse) {
    Seed({"0", "0"});
    std::filesystem::remove(image_);
    Apply(0, 1, 0);
    EXPECT_EQ(Read().style, "2");
    EXPECT_TRUE(composed_.empty());
    EXPECT_TRUE(desktop_.calls.empty());
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(reporter_.reports.empty());
}

TEST_F(ApplyWallpaperTest, FoldersHiddenFilesAndRowsOutOfRangeCountAsMissing) {
    Seed({"0", "0"});
    const std::string hidden = folder_.path().toStdString() + "/.secret.jpg";
    std::ofstream(hidden) << "picture";
    for (const std::string& path : {folder_.path().toStdString(), hidden, std::string()}) {
        rows_ = {"", path};
        Apply(0, 0, 0);
        EXPECT_TRUE(composed_.empty()) << path;
    }
    Apply(0, 0, 0, 7);
    Apply(0, 0, 0, -3);
    EXPECT_TRUE(composed_.empty());
    EXPECT_TRUE(desktop_.calls.empty());
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ApplyWallpaperTest, ARefusingDesktopIsReportedUnderLocation13) {
    Seed({"0", "0"});
    desktop_.refuse = true;
    Apply(0, 0, 0);
    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].location, loc::ApplyWallpaper);
    EXPECT_EQ(reporter_.reports[0].number, errnum::DesktopRefused);
    EXPECT_NE(reporter_.reports[0].description.find("No such schema"), std::string::npos);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ApplyWallpaperTest, ABitmapThatWasNeverWrittenIsReportedNotHandedOver) {
    Seed({"0", "0"});
    composeWrites_ = false;
    Apply(0, 0, 0);
    EXPECT_EQ(composed_.size(), 1U);
    EXPECT_TRUE(desktop_.calls.empty());
    ASSERT_EQ(reporter_.reports.size(), 1U);
    EXPECT_EQ(reporter_.reports[0].location, loc::ApplyWallpaper);
    EXPECT_EQ(reporter_.reports[0].number, errnum::FileNotFound);
}

TEST_F(ApplyWallpaperTest, APreviousBitmapIsHandedOverAgainWhenCompositionFails) {
    // A failing composition reports itself and leaves the previous bitmap in place.
    Seed({"0", "0"});
    std::ofstream(bitmap_) << "BM previous";
    composeWrites_ = false;
    Apply(0, 0, 0);
    ASSERT_EQ(desktop_.calls.size(), 1U);
    EXPECT_TRUE(reporter_.reports.empty());
}

TEST_F(ApplyWallpaperTest, ADamagedRegistryStillSetsTheWallpaperAfterBothMessages) {
    std::ofstream(registryFile_, std::ios::binary | std::ios::trunc) << "not a registry file\n";
    Apply(1, 0, 0);
    EXPECT_EQ(messages_.size(), 2U);
    EXPECT_FALSE(reporter_.reports.empty());
    for (const test::Report& report : reporter_.reports) {
        EXPECT_EQ(report.location, loc::RegistryCheckError);
    }
    EXPECT_EQ(desktop_.calls.size(), 1U);
}

TEST_F(ApplyWallpaperTest, AWriteThatFailsGivesItsMessageAndTheOptionsStillDecideThePlacement) {
    Seed({"0", "0"});
    readOnly_ = true;
    Apply(1, 0, 0);
    EXPECT_EQ(Read().tile, "0");
    std::vector<std::string> texts;
    for (const ShownMessage& message : messages_) {
        texts.push_back(message.text.toStdString());
    }
    // Only the value that needed writing complains; the style value already matched.
    EXPECT_EQ(texts, std::vector<std::string>{kTileMessage.toStdString()});
    ASSERT_FALSE(reporter_.reports.empty());
    EXPECT_EQ(reporter_.reports.front().location, loc::RegistryCheckError);
    ASSERT_EQ(desktop_.calls.size(), 1U);
    EXPECT_EQ(desktop_.calls[0].placement, Placement::Tiled);
}

}  // namespace
}  // namespace tavrino
