// The option rules: write-back at load, Tile and Stretch clearing each other, damaged values.
#include <gtest/gtest.h>

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

TEST(Options, AnEmptyStoreWritesBackTheSixCheckedKeysAndFailuresAreReportedWhereTheyHappen) {
    Fixture f;
    EXPECT_EQ(f.boxes.LoadFromStore(loc::MainLoad), "5");
    EXPECT_EQ(f.store.saveLog,
              (Keys{"AutoStart", "AutoUpdate", "Aspect", "Minimize", "Rotate", "Stretch"}));
    for (const std::string& key : f.store.saveLog) {
        EXPECT_EQ(*f.store.Find(key), "1") << key;
    }
    f.store.Put("RotateMinutes", "12abc");
    EXPECT_EQ(f.boxes.LoadFromStore(loc::MainLoad), "12abc") << "handed back unchanged";
    f.store.failSaves = true;
    f.boxes.SetState(Option::Random, 1);
    EXPECT_TRUE(f.boxes.Checked(Option::Random));
    // The start-up's reading: names match in any case; a damaged value gives the default.
    f.store.Put("AutoStart", "0");
    EXPECT_EQ(ReadNumberSetting(f.store, "AUTOSTART", 1, f.reporter, loc::StartUp), 0.0);
    f.store.Put("AutoStart", "off");
    EXPECT_EQ(ReadNumberSetting(f.store, "AutoStart", 1, f.reporter, loc::StartUp), 1.0);
    EXPECT_EQ(f.reporter.Locations(), (std::vector<int>{loc::ChkRandomClick, 59}));
}

TEST(Options, StoredStatesAreRoundedNumbersAndADamagedOneFallsBackToTheDefault) {
    // clang-format off
    const std::tuple<const char*, int, std::int32_t> cases[] = {  // stored Random, state, reported
        {"2", 2, 0}, {"0.5", 0, 0}, {"1.5", 2, 0}, {"yes", 0, errnum::TypeMismatch},
        {"3", 0, errnum::InvalidPropertyValue}, {"-1", 0, errnum::InvalidPropertyValue},
        {"1e999", 0, errnum::Overflow},
    };
    // clang-format on
    for (const auto& [stored, state, reported] : cases) {
        SCOPED_TRACE(stored);
        Fixture f;
        f.store.Put("Random", stored);
        f.store.Put("Tile", "1");
        f.boxes.LoadFromStore(loc::MainLoad);
        EXPECT_EQ(f.boxes.State(Option::Random), state);
        EXPECT_TRUE(f.boxes.Checked(Option::Tile)) << "later keys still load";
        EXPECT_EQ(f.reporter.Locations(), std::vector<int>(reported != 0 ? 1 : 0, loc::MainLoad));
        EXPECT_TRUE(reported == 0 || f.reporter.reports[0].number == reported);
    }
}

TEST(Options, CheckingTileOrStretchClearsTheOtherFirstAndUncheckingChangesNothingElse) {
    Fixture f;
    f.store.Put("Tile", "1");  // Stretch and Tile both stored as 1: Tile wins
    f.boxes.LoadFromStore(loc::MainLoad);
    EXPECT_EQ(*f.store.Find("Stretch"), "0");
    std::string told;
    f.boxes.onStateChanged = [&told](Option o, int s) {
        told += (o == Option::Tile ? "T" : o == Option::Stretch ? "S" : "?") + std::to_string(s);
    };
    f.store.saveLog.clear();
    f.boxes.SetState(Option::Tile, 0);
    f.boxes.SetState(Option::Stretch, 1);
    f.boxes.SetState(Option::Tile, 1);
    EXPECT_EQ(*f.store.Find("Stretch") + *f.store.Find("Tile"), "01");
    f.boxes.SetState(Option::Stretch, 1);
    EXPECT_EQ(*f.store.Find("Stretch") + *f.store.Find("Tile"), "10");
    EXPECT_EQ(f.store.saveLog, (Keys{"Tile", "Stretch", "Stretch", "Tile", "Tile", "Stretch"}));
    EXPECT_EQ(told, "T0S1T1S0S1T0");
}

}  // namespace
}  // namespace tavrino
