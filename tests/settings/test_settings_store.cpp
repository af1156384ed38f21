// The real settings store: values survive, names match without regard to case, and a damaged
// or unwritable file is reported without stopping the program or losing the file.
#include <gtest/gtest.h>

#include <QFile>

#include "common/TestSupport.h"
#include "settings/QtSettingsStore.h"

namespace tavrino {
namespace {

TEST(QtSettingsStore, ValuesSurviveANewInstanceAndNamesIgnoreCase) {
    test::TempFolder dir;
    const QString ini = QString::fromStdString((dir / "settings.ini").string());
    test::RecordingReporter reporter;
    QtSettingsStore(reporter, ini).Save("Varnello", "Settings", "AutoStart", "0");
    QtSettingsStore again(reporter, ini);
    EXPECT_EQ(again.Get("VARNELLO", "settings", "AUTOSTART", 1), "0");
    EXPECT_EQ(again.Get("Varnello", "Settings", "RotateMinutes", 5), "5");
    again.Save("varnello", "SETTINGS", "autostart", "1");  // replaces, adds no second key
    EXPECT_EQ(QtSettingsStore(reporter, ini).Get("Varnello", "Settings", "AutoStart", 0), "1");
    EXPECT_TRUE(reporter.reports.empty());
}

TEST(QtSettingsStore, ADamagedFileIsSetAsideReportedAndDefaultsUsed) {
    test::TempFolder dir;
    const std::string garbage("\x00\xff\xfe[Varnello]\nSettings\\AutoStart=\x00\x01", 32);
    test::WriteBytes(dir / "settings.ini", garbage);
    test::RecordingReporter reporter;
    QtSettingsStore store(reporter, QString::fromStdString((dir / "settings.ini").string()));
    ASSERT_EQ(reporter.reports.size(), 1U);
    EXPECT_EQ(reporter.reports[0].number, errnum::SettingsUnreadable);
    EXPECT_EQ(store.Get("Varnello", "Settings", "AutoStart", 1), "1");
    EXPECT_EQ(test::ReadBytes(store.SetAsidePath().toStdString()), garbage);
    store.Save("Varnello", "Settings", "Tile", "1");
    EXPECT_EQ(store.Get("Varnello", "Settings", "Tile", 0), "1");
}

TEST(QtSettingsStore, AnUnwritableLocationFailsTheSaveLoudly) {
    test::TempFolder dir;
    test::WriteBytes(dir / "not-a-folder", "x");  // a folder that cannot be created, by anyone
    test::RecordingReporter reporter;
    QtSettingsStore store(reporter,
                          QString::fromStdString((dir / "not-a-folder" / "settings.ini").string()));
    EXPECT_EQ(store.Get("Varnello", "Settings", "Aspect", 1), "1");
    EXPECT_THROW(store.Save("Varnello", "Settings", "Aspect", "0"), Error);
}

}  // namespace
}  // namespace tavrino
