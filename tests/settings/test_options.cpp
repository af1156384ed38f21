// The option rules: defaults, write-back when a state changes, Tile and Stretch exclusion,
// and damaged values that must never stop the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "settings/Options.h"

namespace tavrino {
namespace {

using test::MemorySettingsStore;
using test::RecordingReporter;

struct Fixture {
    MemorySettingsStore store;
    RecordingReporter reporter;
    OptionBoxes boxes{store, reporter};
};

TEST(OptionLoad, EmptyStoreWritesExactlyTheSixCheckedKeys) {
    Fixture f;
    const std::string minutes = f.boxes.LoadFromStore(loc::MainLoad);
    EXPECT_EQ(minutes, "5");
    for (const char* key : {"AutoStart", "AutoUpdate", "Aspect", "Minimize", "Rotate", "Stretch"}) {
        ASSERT_NE(f.store.Find(key), nullptr) << key;
        EXPECT_EQ(*f.store.Find(key), "1") << key;
    }
    for (const char* key : {"Random", "Tile", "RotateMinutes"}) {
        EXPECT_EQ(f.store.Find(key), nullptr) << key;
    }
    EXPECT_EQ(f.store.saveLog, (std::vector<std::string>{"AutoStart", "AutoUpdate", "Aspect",
                                                         "Minimize", "Rotate", "Stretch"}));
    EXPECT_FALSE(f.boxes.Checked(Option::Random));
    EXPECT_FALSE(f.boxes.Checked(Option::Tile));
    EXPECT_TRUE(f.reporter.reports.empty());
}

TEST(OptionLoad, StretchAndTileBothSetEndsWithTileOnly) {
    Fixture f;
    f.store.Put("Stretch", "1");
    f.store.Put("Tile", "1");
    f.boxes.LoadFromStore(loc::MainLoad);
    EXPECT_FALSE(f.boxes.Checked(Option::Stretch));
    EXPECT_TRUE(f.boxes.Checked(Option::Tile));
    EXPECT_EQ(*f.store.Find("Stretch"), "0");
    EXPECT_EQ(*f.store.Find("Tile"), "1");
}

TEST(OptionLoad, StoredValuesAreReadAsNumbersAndWrittenBack) {
    struct Row {
        const char* stored;
        int state;
    };
    const std::vector<Row> rows{{"1", 1},   {"0", 0},   {"2", 2},  {" 1 ", 1}, {"1.0", 1},
                                {"0.5", 0}, {"1.5", 2}, {"+1", 1}, {"1e0", 1}};
    for (const Row& row : rows) {
        Fixture f;
        f.store.Put("Random", row.stored);
        f.boxes.LoadFromStore(loc::MainLoad);
        EXPECT_EQ(f.boxes.State(Option::Random), row.state) << row.stored;
        EXPECT_TRUE(f.reporter.reports.empty()) << row.stored;
    }
}

TEST(OptionLoad, ADamagedValueIsReportedAndTheDefaultUsedWhileTheLoadGoesOn) {
    struct Row {
        const char* stored;
        std::int32_t number;
    };
    const std::vector<Row> rows{
        {"yes", errnum::TypeMismatch},       {"", errnum::TypeMismatch},
        {"1x", errnum::TypeMismatch},        {"-", errnum::TypeMismatch},
        {"3", errnum::InvalidPropertyValue}, {"-1", errnum::InvalidPropertyValue},
        {"1e999", errnum::Overflow}};
    for (const Row& row : rows) {
        Fixture f;
        f.store.Put("AutoUpdate", row.stored);
        f.store.Put("Random", "1");
        f.boxes.LoadFromStore(loc::MainLoad);
        ASSERT_EQ(f.reporter.reports.size(), 1U) << row.stored;
        EXPECT_EQ(f.reporter.reports[0].location, loc::MainLoad) << row.stored;
        EXPECT_EQ(f.reporter.reports[0].number, row.number) << row.stored;
        EXPECT_TRUE(f.boxes.Checked(Option::AutoUpdate)) << "default applies for " << row.stored;
        EXPECT_TRUE(f.boxes.Checked(Option::Random))
            << "later keys still load after " << row.stored;
    }
}

TEST(OptionLoad, RotateMinutesIsHandedBackUnchanged) {
    Fixture f;
    f.store.Put("RotateMinutes", "12abc");
    EXPECT_EQ(f.boxes.LoadFromStore(loc::MainLoad), "12abc");
}

TEST(OptionClicks, CheckingTileClearsStretchAndUncheckingChangesNothingElse) {
    Fixture f;
    f.boxes.LoadFromStore(loc::MainLoad);
    ASSERT_TRUE(f.boxes.Checked(Option::Stretch));
    f.boxes.SetState(Option::Tile, 1);
    EXPECT_EQ(*f.store.Find("Stretch"), "0");
    EXPECT_EQ(*f.store.Find("Tile"), "1");
    f.boxes.SetState(Option::Tile, 0);
    EXPECT_FALSE(f.boxes.Checked(Option::Stretch));
    EXPECT_EQ(*f.store.Find("Stretch"), "0");
    EXPECT_EQ(*f.store.Find("Tile"), "0");
    f.boxes.SetState(Option::Stretch, 1);
    EXPECT_EQ(*f.store.Find("Stretch"), "1");
    EXPECT_EQ(*f.store.Find("Tile"), "0");
}

TEST(OptionClicks, ClearingTheOtherBoxIsSavedBeforeTheClickedOne) {
    Fixture f;
    f.boxes.SetState(Option::Tile, 1);
    f.store.saveLog.clear();
    f.boxes.SetState(Option::Stretch, 1);
    EXPECT_EQ(f.store.saveLog, (std::vector<std::string>{"Tile", "Stretch"}));
}

TEST(OptionClicks, ASaveThatFailsIsReportedWithTheBoxLocationAndTheStateStays) {
    Fixture f;
    f.store.failSaves = true;
    f.boxes.SetState(Option::Random, 1);
    EXPECT_TRUE(f.boxes.Checked(Option::Random));
    ASSERT_EQ(f.reporter.reports.size(), 1U);
    EXPECT_EQ(f.reporter.reports[0].location, loc::ChkRandomClick);
    EXPECT_EQ(f.reporter.reports[0].number, errnum::PermissionDenied);
}

TEST(OptionClicks, ViewsAreToldOfEveryChangeIncludingTheExclusion) {
    Fixture f;
    std::vector<std::pair<Option, int>> seen;
    f.boxes.onStateChanged = [&seen](Option o, int s) { seen.emplace_back(o, s); };
    f.boxes.SetState(Option::Stretch, 1);
    f.boxes.SetState(Option::Tile, 1);
    const std::vector<std::pair<Option, int>> expected{
        {Option::Stretch, 1}, {Option::Tile, 1}, {Option::Stretch, 0}};
    EXPECT_EQ(seen, expected);
}

TEST(ReadNumberSetting, ReportsUnderTheReadersLocationAndFallsBackToTheDefault) {
    MemorySettingsStore store;
    RecordingReporter reporter;
    store.Put("AutoStart", "off");
    EXPECT_EQ(ReadNumberSetting(store, "AutoStart", 1, reporter, loc::StartUp), 1.0);
    ASSERT_EQ(reporter.reports.size(), 1U);
    EXPECT_EQ(reporter.reports[0].location, 59);
    store.Put("AutoStart", "0");
    EXPECT_EQ(ReadNumberSetting(store, "AUTOSTART", 1, reporter, loc::StartUp), 0.0);
    EXPECT_EQ(ReadNumberSetting(store, "AutoUpdate", 1, reporter, loc::TmrInitializeAppTick), 1.0);
    EXPECT_EQ(reporter.reports.size(), 1U);
}

}  // namespace
}  // namespace tavrino
