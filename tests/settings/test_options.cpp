// The option rules: write-back at load, Tile and Stretch clearing each other, and damaged values
// that are reported without stopping the program.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/TestSupport.h"
#include "settings/Options.h"

namespace tavrino {
namespace {

using Keys = std::vector<std::string>;

struct Fixture {
    test::MemorySettingsStore store;
    test::RecordingReporter reporter;
    OptionBoxes boxes{store, reporter};
};

TEST(Options, AnEmptyStoreWritesBackExactlyTheSixCheckedKeys) {
    Fixture f;
    EXPECT_EQ(f.boxes.LoadFromStore(loc::MainLoad), "5");
    EXPECT_EQ(f.store.saveLog,
              (Keys{"AutoStart", "AutoUpdate", "Aspect", "Minimize", "Rotate", "Stretch"}));
    for (const std::string& key : f.store.saveLog) {
        EXPECT_EQ(*f.store.Find(key), "1") << key;
    }
    EXPECT_TRUE(f.reporter.reports.empty());
    f.store.Put("RotateMinutes", "12abc");
    EXPECT_EQ(f.boxes.LoadFromStore(loc::MainLoad), "12abc") << "handed back unchanged";
}

TEST(Options, StoredStatesAreRoundedNumbersAndADamagedOneFallsBackToTheDefault) {
    struct Case {
        const char* stored;
        int state;              // of Random, whose default is 0
        std::int32_t reported;  // 0: nothing reported
    };
    // clang-format off
    const Case cases[] = {
        {"1", 1, 0}, {"2", 2, 0}, {" 1 ", 1, 0}, {"1.0", 1, 0}, {"0.5", 0, 0}, {"1.5", 2, 0},
        {"+1", 1, 0}, {"1e0", 1, 0},
        {"yes", 0, errnum::TypeMismatch}, {"", 0, errnum::TypeMismatch},
        {"3", 0, errnum::InvalidPropertyValue}, {"-1", 0, errnum::InvalidPropertyValue},
        {"1e999", 0, errnum::Overflow},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        Fixture f;
        f.store.Put("Random", c.stored);
        f.store.Put("Tile", "1");
        f.boxes.LoadFromStore(loc::MainLoad);
        EXPECT_EQ(f.boxes.State(Option::Random), c.state);
        EXPECT_TRUE(f.boxes.Checked(Option::Tile)) << "later keys still load";
        ASSERT_EQ(f.reporter.reports.size(), c.reported != 0 ? 1U : 0U);
        if (c.reported != 0) {
            EXPECT_EQ(f.reporter.reports[0].location, loc::MainLoad);
            EXPECT_EQ(f.reporter.reports[0].number, c.reported);
        }
    }
}

TEST(Options, CheckingTileOrStretchClearsTheOtherFirstAndUncheckingChangesNothingElse) {
    Fixture f;
    f.store.Put("Tile", "1");  // Stretch and Tile both stored as 1: Tile wins
    f.boxes.LoadFromStore(loc::MainLoad);
    EXPECT_EQ(*f.store.Find("Stretch"), "0");
    std::vector<std::pair<Option, int>> seen;
    f.boxes.onStateChanged = [&seen](Option o, int s) { seen.emplace_back(o, s); };
    f.store.saveLog.clear();
    f.boxes.SetState(Option::Tile, 0);
    f.boxes.SetState(Option::Stretch, 1);
    f.boxes.SetState(Option::Tile, 1);
    EXPECT_EQ(*f.store.Find("Stretch"), "0");
    EXPECT_EQ(*f.store.Find("Tile"), "1");
    f.boxes.SetState(Option::Stretch, 1);
    EXPECT_EQ(*f.store.Find("Stretch"), "1");
    EXPECT_EQ(*f.store.Find("Tile"), "0");
    EXPECT_EQ(f.store.saveLog, (Keys{"Tile", "Stretch", "Stretch", "Tile", "Tile", "Stretch"}));
    const std::vector<std::pair<Option, int>> told{{Option::Tile, 0},    {Option::Stretch, 1},
                                                   {Option::Tile, 1},    {Option::Stretch, 0},
                                                   {Option::Stretch, 1}, {Option::Tile, 0}};
    EXPECT_EQ(seen, told);
}

TEST(Options, FailuresAreReportedUnderTheirReadersLocation) {
    Fixture f;
    f.store.failSaves = true;
    f.boxes.SetState(Option::Random, 1);
    EXPECT_TRUE(f.boxes.Checked(Option::Random));
    ASSERT_EQ(f.reporter.reports.size(), 1U);
    EXPECT_EQ(f.reporter.reports[0].location, loc::ChkRandomClick);
    // The start-up's reading: names match in any case; a damaged value gives the default.
    f.store.Put("AutoStart", "0");
    EXPECT_EQ(ReadNumberSetting(f.store, "AUTOSTART", 1, f.reporter, loc::StartUp), 0.0);
    f.store.Put("AutoStart", "off");
    EXPECT_EQ(ReadNumberSetting(f.store, "AutoStart", 1, f.reporter, loc::StartUp), 1.0);
    ASSERT_EQ(f.reporter.reports.size(), 2U);
    EXPECT_EQ(f.reporter.reports[1].location, 59);
}

}  // namespace
}  // namespace tavrino
